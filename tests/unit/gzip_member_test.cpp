// Expanding gzip members with each back end the build has: the same bytes
// and the same stop (zlib's) on good, cut and broken deflate data, whatever
// the sizes of the pieces the input comes in; and the trailer's verdict.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dat_writer.h"
#include "gzip/gzip_member.h"
#include "gzip/inflater.h"
#include "memory_streams.h"

namespace {

using testdat::Bytes;

// Deflate bits, lowest first; Huffman codes go highest bit first.
class BitWriter {
public:
    void Put(uint32_t value, int n) {
        for (int k = 0; k < n; ++k) Bit((value >> k) & 1);
    }
    void Code(uint32_t code, int n) {
        for (int k = n - 1; k >= 0; --k) Bit((code >> k) & 1);
    }
    // A symbol of the fixed literal/length code.
    void Fixed(uint32_t sym) {
        if (sym < 144) Code(0x30 + sym, 8);
        else if (sym < 256) Code(0x190 + sym - 144, 9);
        else if (sym < 280) Code(sym - 256, 7);
        else Code(0xC0 + sym - 280, 8);
    }
    Bytes Done() const { return bytes_; }

private:
    void Bit(uint32_t b) {
        if (used_ % 8 == 0) bytes_.push_back(0);
        bytes_.back() |= static_cast<uint8_t>(b << (used_ % 8));
        ++used_;
    }
    Bytes bytes_;
    int used_ = 0;
};

// A final fixed block: 'a', 'b', then `then`.
Bytes FixedBlock(void (*then)(BitWriter&)) {
    BitWriter w;
    w.Put(1, 1);
    w.Put(1, 2);
    w.Fixed('a');
    w.Fixed('b');
    then(w);
    return w.Done();
}

Bytes Text(size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i) s += "entry " + std::to_string(i * 7919 % 1000) + " of the table\n";
    s.resize(n);
    return testdat::ToBytes(s);
}

struct Case {
    const char* what;
    Bytes deflate;
    InflateOutcome::Stop stop;
    int code;
    size_t produced;
};

std::vector<Case> Cases() {
    const Bytes text = Text(300000);
    Bytes cut = testdat::Deflate(text, false);
    cut.resize(cut.size() / 2);
    Bytes garbage = testdat::Deflate(Text(1000), false);
    for (uint8_t b : Bytes{0x07, 0xAA, 0x55, 0xAA, 0x55}) garbage.push_back(b);  // block type 3
    // Found by the differential fuzzer: ISA-L finishes a block whose
    // distance code zlib refuses as incomplete ...
    const Bytes incompleteDistances = {
        0x45, 0xd3, 0x3b, 0x0e, 0x5b, 0x49, 0x14, 0x03, 0xd1, 0xdc, 0xab, 0x98, 0x25, 0x88, 0x45, 0xbd, 0xdf, 0x82,
        0x26, 0x30, 0x60, 0x78, 0xff, 0xa1, 0x3d, 0x10, 0x4b, 0x13, 0x31, 0x2b, 0x74, 0x5f, 0x01, 0x00, 0x7f, 0xfc,
        0x18, 0xcd, 0xf8, 0x18, 0xe0, 0xfc, 0xfa, 0xf9, 0xfb, 0xdf, 0x7f, 0x5e, 0x3f, 0x7e, 0xfd, 0x37, 0xf9, 0x0c,
        0x9f, 0xe9, 0x67, 0xde, 0x9f, 0x39, 0x3e, 0x73, 0x7e, 0xe6, 0xfa, 0xcc, 0xfd, 0x99, 0xe7, 0x33, 0x31, 0xb3,
        0x4e, 0x16, 0xca, 0x4a, 0x59, 0xbd, 0x6b, 0xbd, 0x6b, 0xbd, 0xd1, 0x53, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
        0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x16, 0x85, 0x45};
    // ... and a stored block after a dynamic header whose code-length code
    // zlib refuses as incomplete.
    Bytes incompleteLengthCode = {0x34, 0x01, 0x01, 0x00, 0x10};
    incompleteLengthCode.resize(incompleteLengthCode.size() + 120, 0);
    for (uint8_t b : Bytes{0x01, 0x00, 0x61, 0x20, 0x00, 0x00, 0x28, 0xc0, 0x00}) incompleteLengthCode.push_back(b);

    const auto kEnd = InflateOutcome::kEnd, kCode = InflateOutcome::kCode;
    return {
        {"good", testdat::Deflate(text), kEnd, 0, text.size()},
        {"cut", cut, kCode, kInflateTruncated, 0},
        {"block type 3", garbage, kCode, kInflateDataError, 1000},
        {"distance too far back", FixedBlock([](BitWriter& w) { w.Fixed(257), w.Code(2, 5), w.Fixed(256); }),
         kCode, kInflateDataError, 2},
        {"fixed length code 286", FixedBlock([](BitWriter& w) { w.Fixed(286), w.Fixed(256); }), kCode,
         kInflateDataError, 2},
        {"fixed distance code 30", FixedBlock([](BitWriter& w) { w.Fixed(257), w.Code(30, 5), w.Fixed(256); }),
         kCode, kInflateDataError, 2},
        {"no end of block", FixedBlock([](BitWriter&) {}), kCode, kInflateTruncated, 2},
        {"incomplete distance code", incompleteDistances, kCode, kInflateDataError, 0},
        {"incomplete code-length code", incompleteLengthCode, kCode, kInflateDataError, 0},
    };
}

TEST(GzipMember, EveryBackEndStopsWhereZlibStops) {
    const std::vector<Case> cases = Cases();
    for (InflateBackEnd backEnd : {InflateBackEnd::kZlib, InflateBackEnd::kIsal}) {
        if (backEnd != InflateBackEnd::kZlib && backEnd != DefaultInflateBackEnd()) continue;  // not in this build
        for (const Case& c : cases) {
            for (uint32_t seed : {1u, 2u, 3u}) {
                SCOPED_TRACE(std::string(c.what) + (backEnd == InflateBackEnd::kIsal ? " ISA-L" : " zlib") +
                             " seed " + std::to_string(seed));
                testdat::PieceSource src(c.deflate.data(), c.deflate.size(), seed);
                testdat::KeepingSink sink;
                const InflateOutcome out = ExpandMember(src, sink, backEnd);
                EXPECT_EQ(out.stop, c.stop);
                if (c.stop == InflateOutcome::kCode) {
                    EXPECT_EQ(out.code, c.code);
                }
                // A cut stream gives whatever its bits hold; both back ends
                // give the same, checked against zlib's run.
                testdat::PieceSource again(c.deflate.data(), c.deflate.size(), seed + 100);
                testdat::KeepingSink zlib;
                const InflateOutcome z = ExpandMember(again, zlib, InflateBackEnd::kZlib);
                EXPECT_EQ(out.produced, z.produced);
                EXPECT_TRUE(sink.bytes == zlib.bytes);
                if (c.produced > 0) {
                    EXPECT_EQ(out.produced, c.produced);
                }
            }
        }
    }
}

Bytes Le32(uint32_t v) {
    Bytes b(4);
    testdat::PutLE32(b, 0, v);
    return b;
}

Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The 8 bytes after the final block, when there are 8, are the CRC-32 and
// the length of the expanded bytes.  ISA-L's output stands only on a
// matching trailer; every other member is expanded again by zlib.
TEST(GzipMember, TrailerVerdict) {
    const Bytes text = Text(100000);
    const Bytes deflate = testdat::Deflate(text);
    const Bytes gzip = testdat::Gzip(text);
    const Bytes crc(gzip.end() - 8, gzip.end() - 4), length = Le32(100000);
    struct TrailerCase {
        const char* what;
        Bytes after;  // what follows the deflate data
        GzipChecksum checksum;
    };
    const TrailerCase cases[] = {
        {"trailer", Join(crc, length), GzipChecksum::kOk},
        {"trailer then more", Join(Join(crc, length), gzip), GzipChecksum::kOk},
        {"wrong crc", Join(Le32(0x12345678), length), GzipChecksum::kBad},
        {"wrong length", Join(crc, Le32(100001)), GzipChecksum::kBad},
        {"zero trailer", Bytes(8, 0), GzipChecksum::kNone},
        {"seven bytes", Bytes(crc.begin(), crc.end() - 1), GzipChecksum::kNone},
        {"nothing", {}, GzipChecksum::kNone},
    };
    for (InflateBackEnd backEnd : {InflateBackEnd::kZlib, InflateBackEnd::kIsal}) {
        if (backEnd != InflateBackEnd::kZlib && backEnd != DefaultInflateBackEnd()) continue;  // not in this build
        for (const TrailerCase& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (backEnd == InflateBackEnd::kIsal ? " ISA-L" : " zlib"));
            const Bytes member = Join(deflate, c.after);
            testdat::PieceSource src(member.data(), member.size(), 7);
            testdat::KeepingSink sink;
            const InflateOutcome out = ExpandMember(src, sink, backEnd);
            EXPECT_EQ(out.stop, InflateOutcome::kEnd);
            EXPECT_EQ(out.checksum, c.checksum);
            EXPECT_EQ(out.produced, text.size());
            EXPECT_TRUE(sink.bytes == std::basic_string<uint8_t>(text.begin(), text.end()));
            // Only an unproven ISA-L result is expanded a second time.
            const bool again = backEnd == InflateBackEnd::kIsal && c.checksum != GzipChecksum::kOk;
            EXPECT_EQ(sink.restarts, again ? 1 : 0);
        }
    }
}

}  // namespace
