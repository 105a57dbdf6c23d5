// The platform layer: the multibyte code page, option and destination
// syntax, and the refusal to overwrite a file that is being read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "dat_writer.h"
#include "platform/platform.h"
#ifndef _WIN32
#include "platform/cp932.h"
#endif
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
    EXPECT_EQ(plat::FindLastOf("\x95/x", "/", plat::NameForm::kRaw), 1u);
}
#endif

// Raw names are searched character by character, decoded ones byte by byte.
TEST(Platform, SearchesSkipTrailBytesOfRawNamesOnly) {
    constexpr auto kRaw = plat::NameForm::kRaw;
    constexpr auto kDecoded = plat::NameForm::kDecoded;
    struct Case { std::string s; const char* what; plat::NameForm form; size_t last, first, text; };
    for (const Case& c : {
             Case{"a\\b", "\\", kRaw, 1, 1, 1},
             Case{"\x95\x5C" "x", "\\", kRaw, npos, npos, npos},
             Case{"\x95\x5C" "x", "\\", kDecoded, 1, 1, 1},
             Case{"\x95\x5C\\\x95\x5C", "\\", kRaw, 2, 2, 2},
             Case{"\x95\x5C\\\x95\x5C", "\\", kDecoded, 4, 1, 1},
             Case{"a\x81\x40 ", " ", kRaw, 3, 3, 3},
             Case{"", ".", kRaw, npos, npos, npos},
             // After a trail byte the next character starts on the following byte.
             Case{"\x81\x81\x81", "\x81", kRaw, 2, 0, 0},
             Case{"x.gz.gz", ".gz", kRaw, npos, npos, 1},
             Case{"\x95\x5Cgz\\gz", "\\gz", kRaw, npos, npos, 4},
             Case{"\x95\x5Cgz\\gz", "\\gz", kDecoded, npos, npos, 1},
             Case{".g", ".gz", kRaw, npos, npos, npos},
         }) {
        const size_t n = std::strlen(c.what);
        if (n == 1) {
            EXPECT_EQ(plat::FindLastOf(c.s, c.what, c.form), c.last) << c.s;
            EXPECT_EQ(plat::FindFirstOf(c.s, c.what, 0, c.form), c.first) << c.s;
        }
        EXPECT_EQ(plat::FindText(c.s, c.what, c.form), c.text) << c.s;
    }
    EXPECT_EQ(plat::FindLastOf("a/b\\c", "/\\", kRaw), 3u);
    EXPECT_EQ(plat::FindFirstOf("a/b/c", "/", 2, kRaw), 3u);
}

// Folders are created below a Windows path's root: a drive, a share, or a
// prefix with what follows it.
TEST(Platform, WindowsRootLength) {
    struct Case { const char* path; size_t root; };
    for (const Case& c : {Case{"", 0}, Case{"out\\x", 0}, Case{"C:\\out\\x", 3}, Case{"c:/out", 3},
                          Case{"C:out\\x", 2}, Case{"C:", 2}, Case{"\\out\\x", 1},
                          Case{"\\\\server\\share\\dir\\x", 15}, Case{"//server/share/dir", 15},
                          Case{"\\\\server", 8}, Case{"\\\\server\\share", 14},
                          Case{"\\\\srv\\\x95\x5C\\d", 9},  // a double-byte share name
                          Case{"\\\\?\\C:\\out\\x", 7}, Case{"\\\\.\\C:\\out", 7},
                          Case{"\\\\?\\Volume{1}\\out", 14}, Case{"\\\\?\\UNC\\server\\share\\out", 21},
                          Case{"\\\\?\\unc\\s\\t", 11}, Case{"\\\\?\\UNCx\\out", 9}}) {
        EXPECT_EQ(plat::WindowsRootLength(c.path), c.root) << c.path;
    }
}

#ifndef _WIN32

struct TempDir {
    std::string path = testdat::MakeTempDir();
    ~TempDir() { testdat::RemoveTree(path); }
};

std::string Contents(const std::string& path) { return testdat::ToString(testdat::ReadFile(path)); }

// Names from archives become UTF-8 one code page 932 character at a time;
// whatever is no character becomes U+30FB, and the next byte starts afresh.
TEST(PlatformPosix, DecodesCp932NamesToUtf8) {
    const std::string dot = "\xE3\x83\xBB";  // U+30FB
    struct Case { std::string bytes, utf8; };
    for (const Case& c : {
             Case{"a/b\\c.txt", "a/b\\c.txt"},
             Case{"\x95\x5C", "\xE8\xA1\xA8"},                   // trail byte 0x5C
             Case{"\x83\x7E", "\xE3\x83\x9F"},                   // trail byte 0x7E
             Case{"\x81\x4E", "\xC2\xA8"},                       // below U+0800
             Case{"\x81\x5F\x81\x60", "\xEF\xBC\xBC\xEF\xBD\x9E"},  // Microsoft's, not U+005C U+301C
             Case{"\x87\x40\xED\x40\xFA\x40", "\xE2\x91\xA0\xE7\xBA\x8A\xE2\x85\xB0"},  // NEC, IBM rows
             Case{"\xF0\x40", "\xEE\x80\x80"},                   // user-defined area
             Case{"\xA1\xB1\xDF", "\xEF\xBD\xA1\xEF\xBD\xB1\xEF\xBE\x9F"},  // half-width katakana
             Case{"\x85\x40", dot},                             // a pair without a character
             Case{"\x95.txt", dot + ".txt"},                     // a lead byte without a trail byte
             Case{"\x81 x", dot + " x"},
             Case{"\x80\xA0\xFD\xFF", dot + dot + dot + dot},
             Case{"ab\x95", "ab" + dot},                         // a lead byte at the end
             Case{"\x95\x95\x5C", "\xE5\xB0\x81\\"},               // the second 0x95 is a trail byte
         }) {
        EXPECT_EQ(plat::DecodeCp932(c.bytes), c.utf8) << c.bytes;
    }
}

TEST(PlatformPosix, OptionsStartWithADash) {
    EXPECT_TRUE(plat::IsOption("-s"));
    EXPECT_TRUE(plat::IsOption("-"));
    EXPECT_FALSE(plat::IsOption("/home/x.dat"));
    EXPECT_FALSE(plat::IsOption("x-y"));
    EXPECT_FALSE(plat::IsOption(""));
}

TEST(PlatformPosix, DestinationEndsInASeparator) {
    constexpr auto kRaw = plat::NameForm::kRaw;
    struct Case { const char* dir; const char* want; plat::NameForm form = plat::NameForm::kDecoded; };
    for (const Case& c : {Case{"", ""}, Case{"out", "out/"}, Case{"out/", "out/"}, Case{"out\\", "out\\"},
                          Case{"/", "/"}, Case{"d\x95\x5C", "d\x95\x5C"}, Case{"d\x95\x5C", "d\x95\x5C/", kRaw},
                          Case{"d\x95\x5C\\", "d\x95\x5C\\", kRaw}}) {
        EXPECT_EQ(plat::WithTrailingSeparator(c.dir, c.form), c.want) << c.dir;
    }
}

TEST(PlatformPosix, OutputRefusedForAFileBeingReadUnderAnyName) {
    TempDir tmp;
    const std::string file = tmp.path + "/arc", hard = tmp.path + "/hard", soft = tmp.path + "/soft";
    testdat::WriteFile(file, testdat::ToBytes("keep"));
    ASSERT_EQ(link(file.c_str(), hard.c_str()), 0);
    ASSERT_EQ(symlink(file.c_str(), soft.c_str()), 0);

    int64_t length = 0;
    int first = plat::OpenForReading(hard, &length);
    int second = plat::OpenForReading(file, &length);
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

    int64_t length = 0;
    int reader = plat::OpenForReading(to, &length);
    EXPECT_EQ(length, 7);
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
