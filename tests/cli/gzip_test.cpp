// Whole-program tests: gzip members (header fields, expansion, inflate
// errors, broken headers).
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "cli_fixture.h"

using namespace clitest;

namespace {

// Compressible data that still never repeats exactly.
Bytes Text(size_t n) {
    std::mt19937 rng(7);
    Bytes b(n);
    for (uint8_t& c : b) c = static_cast<uint8_t>("abcdefgh \n"[rng() % 10]);
    return b;
}

class GzipCli : public CliTest {};

TEST_F(GzipCli, HeaderFileNameNamesTheOutput) {
    const Bytes data = Text(5000);
    GzipOptions all;
    all.extra = Bytes{1, 2, 3, 4, 5, 6};
    all.fname = "all.txt";
    all.comment = "a comment";
    all.headerCrc = true;
    struct Case {
        GzipOptions options;
        std::string stored, written;
    };
    const Case cases[] = {
        {GzipOptions{std::string("tex01.gim"), {}, {}, false, 6}, "x", "tex01.gim"},
        {GzipOptions{std::string("pack.dat.gz"), {}, {}, false, 6}, "p", "pack.dat"},
        {all, "y", "all.txt"},
        {GzipOptions{}, "keep.bin.gz", "keep.bin"},
    };
    for (const Case& c : cases) {
        const Bytes member = Gzip(data, c.options);
        EXPECT_TRUE(Gave(Unpack(Of({Named(c.stored, member)})), 0,
                         c.stored + " " + N(member.size()) + " bytes to 5000 bytes\n", {{c.written, ToString(data)}}))
            << c.written;
    }
}

TEST_F(GzipCli, UnusableHeaderFileNames) {
    struct Case {
        std::string fname, error;
    };
    const Case cases[] = {
        {"", "cannot create " + Printed(Path("out/"))},
        {"../evil", "unsafe path " + Printed(Path("out/../evil"))},
        {"/abs", "unsafe path " + Printed(Path("out//abs"))},
    };
    for (const Case& c : cases) {
        GzipOptions o;
        o.fname = c.fname;
        const Bytes member = Gzip(ToBytes("data"), o);
        EXPECT_TRUE(Gave(Unpack(Of({Named("x", member), Named("next.txt", "ok")})), 1,
                         "x " + N(member.size()) + " bytes\nerror : " + c.error + "\nnext.txt 2 bytes\n",
                         {{"next.txt", "ok"}}))
            << c.fname;
        EXPECT_FALSE(Exists("evil"));
    }
}

TEST_F(GzipCli, MemberEndingAfterItsHeaderGivesEmptyFile) {
    Bytes named = {0x1F, 0x8B, 8, 0x08 | 0x02, 0, 0, 0, 0, 0, 3, 'e', '.', 't', 'x', 't', 0, 0x12, 0x34};
    EXPECT_TRUE(Gave(Unpack(Of({Named("plain", PlainGzipHeader()), Named("n", named)})), 0,
                     "plain 10 bytes to 0 bytes\nn 18 bytes to 0 bytes\n", {{"plain", ""}, {"e.txt", ""}}));
}

TEST_F(GzipCli, OnlyTheFirstDeflateStreamIsExpanded) {
    GzipOptions first, second;
    first.fname = "first.txt";
    second.fname = "second.txt";
    const Bytes member = Cat(Gzip(ToBytes("one"), first), Gzip(ToBytes("two"), second));
    EXPECT_TRUE(Gave(Unpack(Of({Named("x", member)})), 0, "x " + N(member.size()) + " bytes to 3 bytes\n",
                     {{"first.txt", "one"}}));
}

// Sizes at and around the edges of the output window and of common chunk
// sizes, compressible and not, with and without a trailer, are written whole.
TEST_F(GzipCli, ExpandedSizesAroundWindowEdges) {
    struct Case {
        size_t size;
        int level;
        bool random;
    };
    const Case cases[] = {
        {4094, 6, false},   {4095, 6, false},   {4096, 6, false},    {4095 * 64, 6, false},
        {4095 * 65, 6, false}, {262143, 6, false}, {262144, 6, false}, {262145, 6, false},
        {524288, 6, false}, {262144, 0, false}, {262145, 0, true},   {1000003, 6, true},
    };
    for (const Case& c : cases) {
        const Bytes data = c.random ? Noise(c.size, 1) : Text(c.size);
        GzipOptions o;
        o.level = c.level;
        const Bytes member = Gzip(data, o);
        // The same member without its trailer: the deflate data ends the entry.
        const Bytes bare(member.begin(), member.end() - 8);
        EXPECT_TRUE(Gave(Unpack(Of({Named("d.bin", member), Named("t.bin", bare)})), 0,
                         "d.bin " + N(member.size()) + " bytes to " + N(c.size) + " bytes\nt.bin " + N(bare.size()) +
                             " bytes to " + N(c.size) + " bytes\n",
                         {{"d.bin", ToString(data)}, {"t.bin", ToString(data)}}))
            << c.size << " level " << c.level << (c.random ? " random" : "");
    }
}

TEST_F(GzipCli, LargeMemberWithFileName) {
    const Bytes data = Text(5 * 1024 * 1024);
    GzipOptions o;
    o.fname = "big.bin";
    const Bytes member = Gzip(data, o);
    EXPECT_TRUE(Gave(Unpack(Of({Named("x", member)})), 0, "x " + N(member.size()) + " bytes to 5242880 bytes\n",
                     {{"big.bin", ToString(data)}}));
}

// Inflate errors: the code, then every byte inflated before it.
TEST_F(GzipCli, InflateErrorsKeepWhatWasInflated) {
    // A block header with the reserved type 3, after a sync flush.
    const Bytes garbage = {0x07, 0xAA, 0x55, 0xAA, 0x55};
    struct Case {
        size_t good;     // bytes that decode before the stream breaks
        bool truncated;  // stream just stops instead of turning to garbage
    };
    const Case cases[] = {{0, false}, {1000, false}, {300000, false},
                          {1000, true}, {300000, true}, {600000, true}};
    for (const Case& c : cases) {
        const Bytes data = Text(c.good);
        Bytes member = Cat(PlainGzipHeader(), Deflate(data, false));
        if (!c.truncated) member = Cat(member, garbage);
        EXPECT_TRUE(Gave(Unpack(Of({Named("x", member), Named("next.txt", "ok")})), 1,
                         "x " + N(member.size()) + " bytes" + (c.truncated ? "-5" : "-3") + "\n to " + N(c.good) +
                             " bytes\nnext.txt 2 bytes\n",
                         {{"x", ToString(data)}, {"next.txt", "ok"}}))
            << c.good << (c.truncated ? " truncated" : " corrupt");
    }
}

TEST_F(GzipCli, MemberCutMidStreamKeepsAPrefix) {
    const Bytes data = Noise(1 << 20, 3);
    GzipOptions o;
    o.level = 0;
    Bytes member = Gzip(data, o);
    member.resize(member.size() / 2);
    RunResult r = Unpack(Of({Named("x", member)}));
    EXPECT_EQ(r.status, 1);
    const std::string head = "x " + N(member.size()) + " bytes-5\n to ";
    ASSERT_EQ(r.out.compare(0, Lines(head).size(), Lines(head)), 0) << r.out;
    const std::string out = Out()["x"];
    EXPECT_GT(out.size(), 0u);
    EXPECT_EQ(r.out, Lines(head + N(out.size()) + " bytes\n"));
    EXPECT_TRUE(out == ToString(data).substr(0, out.size()));
}

TEST_F(GzipCli, BadHeadersAreReportedAndTheWalkGoesOn) {
    auto header = [](uint8_t flags, const Bytes& rest) {
        Bytes b = PlainGzipHeader();
        b[3] = flags;
        return Cat(b, rest);
    };
    const Bytes cases[] = {
        {0x1F, 0x8B},
        {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0},
        header(0x04, {}),                      // FEXTRA without XLEN
        header(0x04, {6}),                     // half an XLEN
        header(0x04, {6, 0, 1, 2, 3}),         // XLEN past the end
        header(0x04, {0xFF, 0xFF, 1, 2}),
        header(0x08, ToBytes("name")),         // FNAME without its zero
        header(0x10, ToBytes("comment")),      // FCOMMENT without its zero
        header(0x18, Bytes{'n', 0, 'c'}),        // FCOMMENT after FNAME without its zero
        header(0x08, Cat(Bytes(64 * 1024 + 1, 'a'), Bytes{0})),  // a file name no system takes
        header(0x02, {}),                      // FHCRC past the end
        header(0x02, {0x12}),
        header(0x0C, Cat(Bytes{2, 0, 1, 2}, ToBytes("abc"))),
    };
    for (const Bytes& member : cases)
        EXPECT_TRUE(Gave(Unpack(Of({Named("x", member), Named("next.txt", "ok")})), 1,
                         "x " + N(member.size()) + " bytes\nerror : bad gzip header " + Dat() + "\nnext.txt 2 bytes\n",
                         {{"next.txt", "ok"}}))
            << member.size();
}

// The 8 bytes after the deflate data, when there are 8, must be the CRC-32
// and the length of the expanded bytes.  A mismatch is reported after the
// entry's line; the file stays whole.  Fewer bytes, or 8 zero bytes (a
// trailer never filled in), leave nothing to check.
TEST_F(GzipCli, TrailerIsChecked) {
    const Bytes data = Text(3000);
    const std::string d = ToString(data);
    Bytes badCrc = Gzip(data), badLength = Gzip(data), noTrailer = Gzip(data), zeros = Gzip(data), seven = Gzip(data);
    badCrc[badCrc.size() - 8] ^= 0xFF;
    badLength[badLength.size() - 1] ^= 0x40;
    noTrailer.resize(noTrailer.size() - 8);
    seven.resize(seven.size() - 1);
    std::fill(zeros.end() - 8, zeros.end(), 0);
    struct Case { const char* what; Bytes member; bool bad; };
    for (const Case& c : {Case{"crc", badCrc, true}, Case{"length", badLength, true},
                          Case{"no trailer", noTrailer, false}, Case{"zero trailer", zeros, false},
                          Case{"trailer cut short", seven, false}}) {
        EXPECT_TRUE(Gave(Unpack(Of({Named("c.bin", c.member), Named("next.txt", "ok")})), c.bad ? 1 : 0,
                         "c.bin " + N(c.member.size()) + " bytes to 3000 bytes\n" +
                             (c.bad ? "error : bad gzip checksum " + Printed(Path("out/c.bin")) + "\n" : "") +
                             "next.txt 2 bytes\n",
                         {{"c.bin", d}, {"next.txt", "ok"}}))
            << c.what;
    }
}

// A nested archive whose own member fails the check is unpacked, after the
// error line, and kept.
TEST_F(GzipCli, NestedArchiveWithABadChecksumIsKept) {
    const Bytes inner = Of({Named("in.txt", "inside")}).Build();
    Bytes member = Gzip(inner);
    member[member.size() - 5] ^= 1;
    EXPECT_TRUE(Gave(Unpack(Of({Named("n.dat", member)})), 1,
                     "n.dat " + N(member.size()) + " bytes to " + N(inner.size()) + " bytes\nerror : bad gzip checksum " +
                         Printed(Path("out/n.dat")) + "\nn/in.txt 6 bytes\n",
                     {{"n.dat", ToString(inner)}, {"n/", ""}, {"n/in.txt", "inside"}}));
}

}  // namespace
