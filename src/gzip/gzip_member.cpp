// Gzip members: the deflate data run through the raw inflater, from the
// source in pieces and out through a fixed window, so memory does not grow
// with the member; the CRC-32 of the output is taken as it passes.
#include "gzip/gzip_member.h"

#include <memory>

#include "gzip/crc32.h"
#include "io/heap_buffer.h"
#include "io/little_endian.h"

namespace {

constexpr size_t kWindowSize = 256 * 1024;
constexpr size_t kTrailerSize = 8;

// Reads the trailer after the final block (the bytes the inflater read
// ahead first, then src) and compares it with what was expanded.
GzipChecksum CheckTrailer(const Inflater& inflater, ByteSource& src, uint32_t crc, uint64_t produced,
                          bool* readFailed) {
    static_assert(Inflater::kMaxUnusedInput >= kTrailerSize, "the trailer fits the read-ahead buffer");
    uint8_t trailer[Inflater::kMaxUnusedInput];
    size_t have = inflater.UnusedInput(trailer);
    for (; have < kTrailerSize; ++have) {
        int c = src.NextByte();
        if (c == -2) *readFailed = true;
        if (c < 0) return GzipChecksum::kNone;
        trailer[have] = static_cast<uint8_t>(c);
    }
    if (ReadLE32(trailer) == crc && ReadLE32(trailer + 4) == static_cast<uint32_t>(produced)) return GzipChecksum::kOk;
    // A writer that never filled the trailer in: only empty data have this
    // CRC and length, and those matched above.
    if (ReadLE32(trailer) == 0 && ReadLE32(trailer + 4) == 0) return GzipChecksum::kNone;
    return GzipChecksum::kBad;
}

// Makes src's next piece available when it has none left, noting in
// *ended that the input is used up.  Returns 0, or -1 when it cannot be
// read.
int Refill(ByteSource& src, bool* ended) {
    if (src.Available() > 0 || *ended) return 0;
    const int more = src.Fill();
    if (more < 0) return -1;
    *ended = more == 0;
    return 0;
}

// Runs one back end over the rest of src into sink through window.
InflateOutcome Inflate(ByteSource& src, ByteSink& sink, InflateBackEnd backEnd, HeapBuffer& window) {
    InflateOutcome outcome{InflateOutcome::kCode, kInflateNoMemory, 0, GzipChecksum::kNone};
    std::unique_ptr<Inflater> inflater;
    int ret = NewInflater(backEnd, &inflater);
    if (ret != 0) {
        outcome.code = ret;
        return outcome;
    }
    uint32_t crc = 0;
    bool inputEnded = false;
    for (;;) {
        if (Refill(src, &inputEnded) != 0) {
            outcome.stop = InflateOutcome::kReadFailed;
            return outcome;
        }
        const size_t given = src.Available();
        size_t consumed = 0, produced = 0;
        ret = inflater->Run(given > 0 ? src.Data() : nullptr, given, &consumed, window.Data(), window.Size(), &produced);
        src.Consume(consumed);
        if (produced > 0 && sink.Write(window.Data(), produced) != 0) {
            outcome.stop = InflateOutcome::kWriteFailed;
            return outcome;
        }
        crc = Crc32(crc, window.Data(), produced);
        outcome.produced += produced;
        if (ret == kInflateEnd) {
            bool readFailed = false;
            outcome.checksum = CheckTrailer(*inflater, src, crc, outcome.produced, &readFailed);
            outcome.stop = readFailed ? InflateOutcome::kReadFailed : InflateOutcome::kEnd;
            return outcome;
        }
        if (ret != kInflateMore) {
            outcome.code = ret;
            return outcome;
        }
        // No progress: either the input is used up before the final block,
        // or (never seen) the inflater is stuck on the bytes it was given.
        if (consumed == 0 && produced == 0 && (inputEnded || given > 0)) {
            outcome.code = inputEnded ? kInflateTruncated : kInflateDataError;
            return outcome;
        }
    }
}

}  // namespace

InflateOutcome ExpandMember(ByteSource& src, ByteSink& sink, InflateBackEnd backEnd) {
    HeapBuffer window;
    if (window.Allocate(kWindowSize) != 0) return InflateOutcome{InflateOutcome::kCode, kInflateNoMemory, 0, GzipChecksum::kNone};
    if (backEnd == InflateBackEnd::kZlib) return Inflate(src, sink, backEnd, window);
    // ISA-L decodes some data zlib refuses (Huffman codes with unused
    // codes) and on broken data may stop a little before or after zlib.  A
    // matching trailer shows its bytes are the ones the writer meant; every
    // other member, broken ones first of all, is expanded again by zlib,
    // whose bytes and code stand.
    const uint64_t start = src.Position();
    const InflateOutcome first = Inflate(src, sink, backEnd, window);
    if (first.stop == InflateOutcome::kReadFailed || first.stop == InflateOutcome::kWriteFailed) return first;
    if (first.stop == InflateOutcome::kEnd && first.checksum == GzipChecksum::kOk) return first;
    if (src.Rewind(start) != 0) return InflateOutcome{InflateOutcome::kReadFailed, 0, first.produced, GzipChecksum::kNone};
    if (sink.Restart() != 0) return InflateOutcome{InflateOutcome::kWriteFailed, 0, first.produced, GzipChecksum::kNone};
    return Inflate(src, sink, InflateBackEnd::kZlib, window);
}

size_t ExpandHead(ByteSource& src, uint8_t* out, size_t want) {
    std::unique_ptr<Inflater> inflater;
    if (NewInflater(InflateBackEnd::kZlib, &inflater) != 0) return 0;
    size_t got = 0;
    while (got < want) {
        if (src.Fill() <= 0) break;
        size_t consumed = 0, produced = 0;
        int ret = inflater->Run(src.Data(), src.Available(), &consumed, out + got, want - got, &produced);
        src.Consume(consumed);
        got += produced;
        if (ret != kInflateMore || (consumed == 0 && produced == 0)) break;
    }
    return got;
}
