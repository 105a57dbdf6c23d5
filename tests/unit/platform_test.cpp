// The platform layer: the multibyte code page, option and destination
// syntax, and the refusal to overwrite a file that is being read.
#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "dat_writer.h"
#include "platform/platform.h"
#include "tool_runner.h"

namespace {

constexpr size_t npos = std::string::npos;

TEST(Platform, CharLengthKnowsTheLeadBytes) {
    struct Case { unsigned char lead; size_t length; };
    for (const Case& c : {Case{0x81, 2}, Case{0x9F, 2}, Case{0xE0, 2}, Case{0xFC, 2}, Case{0x95, 2},
                          Case{0x80, 1}, Case{0xA0, 1}, Case{0xDF, 1}, Case{0xFD, 1}, Case{0xFF, 1},
                          Case{'A', 1}, Case{0x5C, 1}, Case{0x7F, 1}}) {
        const char two[] = {static_cast<char>(c.lead), 0x5C, 0};
        EXPECT_EQ(plat::CharLength(two), c.length) << std::hex << int(c.lead);
        const char alone[] = {static_cast<char>(c.lead), 0};
        EXPECT_EQ(plat::CharLength(alone), 1u) << std::hex << int(c.lead);  // never over the NUL
    }
}

#ifndef _WIN32
// A byte that cannot be a trail byte stays a character of its own, so a
// separator or '.' after a stray lead byte is still seen by the searches.
TEST(Platform, StrayLeadByteNeverSwallowsSeparatorOrDot) {
    for (char next : {'/', '.', ' ', '\x7F', '\x3F'}) {
        const char two[] = {'\x95', next, 0};
        EXPECT_EQ(plat::CharLength(two), 1u) << int(next);
    }
    EXPECT_EQ(plat::FindLastChar("\x95/x", '/'), 1u);
}
#endif

TEST(Platform, SearchesSkipTrailBytes) {
    EXPECT_EQ(plat::FindLastChar("a\\b", '\\'), 1u);
    EXPECT_EQ(plat::FindLastChar("\x95\x5C" "x", '\\'), npos);
    EXPECT_EQ(plat::FindLastChar("\x95\x5C\\\x95\x5C", '\\'), 2u);
    EXPECT_EQ(plat::FindLastChar("a\x81\x40 ", ' '), 3u);
    EXPECT_EQ(plat::FindLastChar("", '.'), npos);
    // After a trail byte the next character starts on the following byte.
    EXPECT_EQ(plat::FindLastChar("\x81\x81\x81", '\x81'), 2u);

    EXPECT_EQ(plat::FindText("a\\gz", "\\gz"), 1u);
    EXPECT_EQ(plat::FindText("\x95\x5Cgz", "\\gz"), npos);
    EXPECT_EQ(plat::FindText("\x95\x5C\\gz", "\\gz"), 2u);
    EXPECT_EQ(plat::FindText("x.gz.gz", ".gz"), 1u);
    EXPECT_EQ(plat::FindText(".g", ".gz"), npos);
}

#ifndef _WIN32

struct TempDir {
    std::string path = testdat::MakeTempDir();
    ~TempDir() { testdat::RemoveTree(path); }
};

std::string Contents(const std::string& path) { return testdat::ToString(testdat::ReadFile(path)); }

TEST(PlatformPosix, OptionsStartWithADash) {
    EXPECT_TRUE(plat::IsOption("-s"));
    EXPECT_TRUE(plat::IsOption("-"));
    EXPECT_FALSE(plat::IsOption("/home/x.dat"));
    EXPECT_FALSE(plat::IsOption("x-y"));
    EXPECT_FALSE(plat::IsOption(""));
}

TEST(PlatformPosix, DestinationEndsInASeparator) {
    struct Case { const char* dir; const char* want; };
    for (const Case& c : {Case{"", ""}, Case{"out", "out/"}, Case{"out/", "out/"}, Case{"out\\", "out\\"},
                          Case{"/", "/"}, Case{"d\x95\x5C", "d\x95\x5C/"}, Case{"d\x95\x5C\\", "d\x95\x5C\\"}}) {
        EXPECT_EQ(plat::WithTrailingSeparator(c.dir), c.want) << c.dir;
    }
}

TEST(PlatformPosix, OutputRefusedForAFileBeingReadUnderAnyName) {
    TempDir tmp;
    const std::string file = tmp.path + "/arc", hard = tmp.path + "/hard", soft = tmp.path + "/soft";
    testdat::WriteFile(file, testdat::ToBytes("keep"));
    ASSERT_EQ(link(file.c_str(), hard.c_str()), 0);
    ASSERT_EQ(symlink(file.c_str(), soft.c_str()), 0);

    int first = plat::OpenForReading(hard);
    int second = plat::OpenForReading(file);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    for (const std::string& name : {file, hard, soft, tmp.path + "/./arc"})
        EXPECT_EQ(plat::OpenForOutput(name), -1) << name;
    EXPECT_EQ(Contents(file), "keep");

    plat::CloseFile(first);  // still held by the second reader
    EXPECT_EQ(plat::OpenForOutput(soft), -1);
    EXPECT_EQ(Contents(file), "keep");

    plat::CloseFile(second);
    int out = plat::OpenForOutput(soft);
    ASSERT_GE(out, 0);
    plat::CloseFile(out);
    EXPECT_EQ(Contents(file), "");
}

TEST(PlatformPosix, ReplaceFileSparesAFileBeingRead) {
    TempDir tmp;
    const std::string from = tmp.path + "/new", to = tmp.path + "/arc";
    testdat::WriteFile(from, testdat::ToBytes("N"));
    testdat::WriteFile(to, testdat::ToBytes("archive"));

    int reader = plat::OpenForReading(to);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(plat::ReplaceFile(from, to), -1);
    EXPECT_EQ(Contents(to), "archive");
    EXPECT_EQ(Contents(from), "N");

    plat::CloseFile(reader);
    EXPECT_EQ(plat::ReplaceFile(from, to), 0);
    EXPECT_EQ(Contents(to), "N");
    EXPECT_NE(access(from.c_str(), F_OK), 0);
}

TEST(PlatformPosix, ReplaceFileBetweenTwoLinksKeepsTheFile) {
    TempDir tmp;
    const std::string a = tmp.path + "/a", b = tmp.path + "/b";
    testdat::WriteFile(a, testdat::ToBytes("only copy"));
    ASSERT_EQ(link(a.c_str(), b.c_str()), 0);
    EXPECT_EQ(plat::ReplaceFile(a, b), 0);
    EXPECT_EQ(Contents(b), "only copy");
}

#endif  // _WIN32

}  // namespace
