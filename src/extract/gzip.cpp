// Gzip members: the header is stepped over by hand, the deflate data run
// through zlib's raw inflater straight into the output file.  Both are read
// from the archive in chunks, so memory does not grow with the member.  The
// trailer's CRC-32 and length are not checked: packers of such archives are
// known to write bogus trailers over good data.
#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include "extract/extract.h"
#include "extract/walk.h"
#include "platform/platform.h"

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

enum HeaderResult { kHeaderOk, kHeaderBad, kHeaderUnreadable };

// Skips n bytes of the member.
HeaderResult Skip(MemberStream& src, uint64_t n) {
    while (n > 0) {
        int more = src.Fill();
        if (more <= 0) return more == 0 ? kHeaderBad : kHeaderUnreadable;
        size_t step = static_cast<size_t>(std::min<uint64_t>(n, src.Available()));
        src.Consume(step);
        n -= step;
    }
    return kHeaderOk;
}

// Reads a zero-terminated field, keeping its text when text is not null.
HeaderResult ZeroTerminated(MemberStream& src, std::string* text) {
    for (;;) {
        int c = src.NextByte();
        if (c < 0) return c == -1 ? kHeaderBad : kHeaderUnreadable;
        if (c == 0) return kHeaderOk;
        if (text == nullptr) continue;
        if (text->size() == kMaxHeaderName) return kHeaderBad;
        text->push_back(static_cast<char>(c));
    }
}

// Steps over the gzip header, leaving src at the deflate data.  Takes the
// header's file name, in the run's name form, into *name when it carries one.
HeaderResult ReadGzipHeader(MemberStream& src, std::string* name, plat::NameForm form) {
    uint8_t fixed[kFixedHeader];
    for (int k = 0; k < kFixedHeader; ++k) {
        int c = src.NextByte();
        if (c < 0) return c == -1 ? kHeaderBad : kHeaderUnreadable;
        fixed[k] = static_cast<uint8_t>(c);
    }
    const int flags = fixed[3];
    HeaderResult r = kHeaderOk;
    if (flags & kFextra) {
        uint8_t xlen[2];
        for (uint8_t& b : xlen) {
            int c = src.NextByte();
            if (c < 0) return c == -1 ? kHeaderBad : kHeaderUnreadable;
            b = static_cast<uint8_t>(c);
        }
        r = Skip(src, ReadLE16(xlen));
    }
    if (r == kHeaderOk && (flags & kFname)) {
        std::string bytes;
        r = ZeroTerminated(src, &bytes);
        *name = plat::NameFromArchive(bytes, form);
    }
    if (r == kHeaderOk && (flags & kFcomment)) r = ZeroTerminated(src, nullptr);
    if (r == kHeaderOk && (flags & kFhcrc)) r = Skip(src, 2);
    return r;
}

enum class Stop { kEnd, kCode, kReadFailed, kWriteFailed };

struct InflateOutcome {
    Stop stop;
    int code;  // the zlib result that stopped inflation, for kCode
};

// Inflates the rest of src into out, counting the bytes written in
// *produced.  Every byte inflated is written, also when inflation stops on
// an error.  Input that ends before the final block stops with Z_BUF_ERROR.
InflateOutcome InflateMember(MemberStream& src, Cfile& out, uint64_t* produced) {
    *produced = 0;
    Cbuffer window;
    if (window.Alloc(kWindowSize) == nullptr) return {Stop::kCode, Z_MEM_ERROR};
    z_stream z{};
    int ret = inflateInit2(&z, -15);
    if (ret != Z_OK) return {Stop::kCode, ret};
    InflateOutcome outcome{Stop::kEnd, Z_OK};
    for (;;) {
        if (z.avail_in == 0) {
            int more = src.Fill();
            if (more < 0) {
                outcome = {Stop::kReadFailed, 0};
                break;
            }
            z.next_in = const_cast<Bytef*>(src.Data());
            z.avail_in = static_cast<uInt>(src.Available());
            src.Consume(src.Available());
        }
        z.next_out = window.data;
        z.avail_out = static_cast<uInt>(window.size);
        ret = inflate(&z, Z_NO_FLUSH);
        size_t have = window.size - z.avail_out;
        if (have > 0 && out.Write(window.data, have) != 0) {
            outcome = {Stop::kWriteFailed, 0};
            break;
        }
        *produced += have;
        if (ret == Z_STREAM_END) break;
        if (ret == Z_OK) continue;
        if (ret == Z_BUF_ERROR && z.avail_in == 0 && src.Remaining() > 0) continue;
        outcome = {Stop::kCode, ret};
        break;
    }
    inflateEnd(&z);
    return outcome;
}

}  // namespace

int WriteGzipEntry(ArchiveWalk& w, MemberStream& src, std::string& name, std::string* outPath,
                   uint8_t head[kHeadSize]) {
    switch (ReadGzipHeader(src, &name, w.run.names)) {
        case kHeaderOk:
            break;
        case kHeaderBad:
            ReportFailure(w, "\nerror : bad gzip header %s\n", w.datPath);
            return -1;
        case kHeaderUnreadable:
            ReportFailure(w, "\nerror : cannot read %s\n", w.datPath);
            return -1;
    }
    name = CutGz(name, w.run.names);
    if (CreateOutputFile(w, name, outPath) != 0) return -1;
    uint64_t produced = 0;
    if (src.Remaining() > 0) {
        InflateOutcome outcome = InflateMember(src, w.out, &produced);
        if (outcome.stop == Stop::kReadFailed || outcome.stop == Stop::kWriteFailed) {
            AbandonOutputFile(w, *outPath, outcome.stop == Stop::kReadFailed);
            return -1;
        }
        if (outcome.stop == Stop::kCode) {
            std::printf("%d\n", outcome.code);
            w.failed = true;
        }
    }
    FinishOutputFile(w, head);
    std::printf(" to %llu bytes", static_cast<unsigned long long>(produced));
    return 0;
}
