// Gzip headers: a fixed part of ten bytes, then the optional fields in the
// order their flags give.  The method byte and the header CRC are not
// checked: a member is judged by its deflate data and its trailer.
#include "gzip/gzip_header.h"

#include <algorithm>

#include "io/little_endian.h"

namespace {

constexpr int kFhcrc = 0x02;
constexpr int kFextra = 0x04;
constexpr int kFname = 0x08;
constexpr int kFcomment = 0x10;
constexpr int kFixedHeader = 10;
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

GzipHeaderResult ReadGzipHeader(ByteSource& src, GzipHeader* header) {
    uint8_t fixed[kFixedHeader];
    GzipHeaderResult r = Take(src, fixed, kFixedHeader);
    if (r != GzipHeaderResult::kOk) return r;
    header->flags = fixed[3];
    header->mtime = ReadLE32(fixed + 4);
    header->extraFlags = fixed[8];
    header->os = fixed[9];
    const int flags = header->flags;
    if (flags & kFextra) {
        uint8_t xlen[2];
        r = Take(src, xlen, 2);
        if (r == GzipHeaderResult::kOk) r = Skip(src, ReadLE16(xlen));
    }
    if (r == GzipHeaderResult::kOk && (flags & kFname)) {
        header->fileName.emplace();
        r = ZeroTerminated(src, &*header->fileName);
    }
    if (r == GzipHeaderResult::kOk && (flags & kFcomment)) r = ZeroTerminated(src, nullptr);
    if (r == GzipHeaderResult::kOk && (flags & kFhcrc)) r = Skip(src, 2);
    return r;
}
