// Gzip members: the header is stepped over by hand, the deflate data run
// through the raw inflater.  Both are read from the source in pieces and the
// output leaves through a fixed window, so memory does not grow with the
// member.  The trailer's CRC-32 and length are not checked: packers of such
// archives are known to write bogus trailers over good data.
#include "extract/gzip.h"

#include <algorithm>
#include <memory>

#include "extract/background.h"
#include "extract/deflate_check.h"
#include "extract/extract.h"
#include "io/cbuffer.h"

namespace {

constexpr int kFhcrc = 0x02;
constexpr int kFextra = 0x04;
constexpr int kFname = 0x08;
constexpr int kFcomment = 0x10;
constexpr int kFixedHeader = 10;
constexpr size_t kWindowSize = 256 * 1024;
// A file name longer than any file system takes is treated as a broken
// header rather than collected without bound.
constexpr size_t kMaxHeaderName = 64 * 1024;

GzipHeaderResult Ended(int c) { return c == -1 ? GzipHeaderResult::kBad : GzipHeaderResult::kUnreadable; }

// Reads n bytes into out.
GzipHeaderResult Take(ByteSource& src, uint8_t* out, int n) {
    for (int k = 0; k < n; ++k) {
        int c = src.NextByte();
        if (c < 0) return Ended(c);
        out[k] = static_cast<uint8_t>(c);
    }
    return GzipHeaderResult::kOk;
}

// Skips n bytes.
GzipHeaderResult Skip(ByteSource& src, uint64_t n) {
    while (n > 0) {
        int more = src.Fill();
        if (more <= 0) return more == 0 ? GzipHeaderResult::kBad : GzipHeaderResult::kUnreadable;
        size_t step = static_cast<size_t>(std::min<uint64_t>(n, src.Available()));
        src.Consume(step);
        n -= step;
    }
    return GzipHeaderResult::kOk;
}

// Reads a zero-terminated field, keeping its text when text is not null.
GzipHeaderResult ZeroTerminated(ByteSource& src, std::string* text) {
    for (;;) {
        int c = src.NextByte();
        if (c < 0) return Ended(c);
        if (c == 0) return GzipHeaderResult::kOk;
        if (text == nullptr) continue;
        if (text->size() == kMaxHeaderName) return GzipHeaderResult::kBad;
        text->push_back(static_cast<char>(c));
    }
}

}  // namespace

GzipHeaderResult ReadGzipHeader(ByteSource& src, std::optional<std::string>* fileName) {
    uint8_t fixed[kFixedHeader];
    GzipHeaderResult r = Take(src, fixed, kFixedHeader);
    const int flags = fixed[3];
    if (r == GzipHeaderResult::kOk && (flags & kFextra)) {
        uint8_t xlen[2];
        r = Take(src, xlen, 2);
        if (r == GzipHeaderResult::kOk) r = Skip(src, ReadLE16(xlen));
    }
    if (r == GzipHeaderResult::kOk && (flags & kFname)) {
        fileName->emplace();
        r = ZeroTerminated(src, &**fileName);
    }
    if (r == GzipHeaderResult::kOk && (flags & kFcomment)) r = ZeroTerminated(src, nullptr);
    if (r == GzipHeaderResult::kOk && (flags & kFhcrc)) r = Skip(src, 2);
    return r;
}

namespace {

// Runs one back end over the rest of src into sink through window.
InflateOutcome Inflate(ByteSource& src, ByteSink& sink, InflateBackEnd backEnd, Cbuffer& window) {
    InflateOutcome outcome{InflateOutcome::kCode, kInflateNoMemory, 0};
    std::unique_ptr<Inflater> inflater;
    int ret = NewInflater(backEnd, &inflater);
    if (ret != 0) {
        outcome.code = ret;
        return outcome;
    }
    bool inputEnded = false;
    for (;;) {
        if (src.Available() == 0 && !inputEnded) {
            int more = src.Fill();
            if (more < 0) {
                outcome.stop = InflateOutcome::kReadFailed;
                return outcome;
            }
            inputEnded = more == 0;
        }
        const size_t given = src.Available();
        size_t consumed = 0, produced = 0;
        ret = inflater->Run(given > 0 ? src.Data() : nullptr, given, &consumed, window.data, window.size, &produced);
        src.Consume(consumed);
        if (produced > 0 && sink.Write(window.data, produced) != 0) {
            outcome.stop = InflateOutcome::kWriteFailed;
            return outcome;
        }
        outcome.produced += produced;
        if (ret == kInflateEnd) {
            outcome.stop = InflateOutcome::kEnd;
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

// Passes on what comes after the first `skip` bytes, counting everything.
class SkippingSink : public ByteSink {
public:
    SkippingSink(ByteSink& sink, uint64_t skip) : sink_(sink), skip_(skip) {}

    int Write(const uint8_t* data, size_t len) override {
        size_t dropped = static_cast<size_t>(std::min<uint64_t>(len, skip_));
        skip_ -= dropped;
        return len > dropped ? sink_.Write(data + dropped, len - dropped) : 0;
    }
    int Truncate(uint64_t) override { return -1; }  // not needed

private:
    ByteSink& sink_;
    uint64_t skip_;
};

}  // namespace

InflateOutcome InflateMember(ByteSource& src, ByteSink& sink, InflateBackEnd backEnd) {
    Cbuffer window;
    if (window.Alloc(kWindowSize) == nullptr) return InflateOutcome{InflateOutcome::kCode, kInflateNoMemory, 0};
    if (backEnd == InflateBackEnd::kZlib) return Inflate(src, sink, backEnd, window);
    // The listing shows zlib's code and count.  ISA-L lets through some data
    // zlib refuses, and on broken data it may stop some bytes before or
    // after zlib's stop.  So a stream ISA-L finishes is walked as well, on
    // a second thread over a second reader where the source offers one, to
    // see that zlib would finish it too; every other stream is decoded again
    // by zlib: the bytes both wrote are the same, the ones zlib writes past
    // ISA-L's stop are added, the ones ISA-L wrote past zlib's are dropped.
    // Only broken members pay for the second decoding.
    const uint64_t start = src.Position();
    std::unique_ptr<ByteSource> second = src.Fork();
    std::unique_ptr<BackgroundJob> check;
    if (second)
        check.reset(new BackgroundJob([&second](const std::atomic<bool>& stop) { return ZlibWouldAccept(*second, &stop); }));
    const InflateOutcome first = Inflate(src, sink, backEnd, window);
    if (first.stop == InflateOutcome::kReadFailed || first.stop == InflateOutcome::kWriteFailed) return first;
    bool accepted = false;
    if (first.stop == InflateOutcome::kEnd) {
        if (check) {
            accepted = check->Result();
        } else {
            if (src.Rewind(start) != 0) return InflateOutcome{InflateOutcome::kReadFailed, 0, first.produced};
            accepted = ZlibWouldAccept(src);
        }
    }
    if (check) check->Cancel();
    if (accepted) return first;
    if (src.Rewind(start) != 0) return InflateOutcome{InflateOutcome::kReadFailed, 0, first.produced};
    SkippingSink rest(sink, first.produced);
    InflateOutcome again = Inflate(src, rest, InflateBackEnd::kZlib, window);
    if (again.produced < first.produced && again.stop != InflateOutcome::kReadFailed &&
        sink.Truncate(again.produced) != 0)
        again.stop = InflateOutcome::kWriteFailed;
    return again;
}
