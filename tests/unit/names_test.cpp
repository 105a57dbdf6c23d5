// Names and paths: code page 932 stepping and decoding, the searches, entry
// names, output paths and the refusal of unsafe names, by either system's
// rules.
//
// Double-byte characters are written as separate literals ("\x95\x5C" "b")
// so that a following hex digit is not taken into the escape.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "names/names.h"

namespace {

constexpr size_t npos = std::string::npos;

// Most cases are raw names: the decoded form only drops the trail-byte rule.
const NameRules kRaw{NameForm::kRaw, PathStyle::kPosix, nullptr};
const NameRules kDecoded{NameForm::kDecoded, PathStyle::kPosix, nullptr};
const NameRules kWindows{NameForm::kRaw, PathStyle::kWindows, nullptr};

TEST(Names, CharLengthKnowsTheLeadBytes) {
    struct Case { unsigned char lead; size_t length; };
    for (const Case& c : {Case{0x81, 2}, Case{0x9F, 2}, Case{0xE0, 2}, Case{0xFC, 2}, Case{0x95, 2},
                          Case{0x80, 1}, Case{0xA0, 1}, Case{0xDF, 1}, Case{0xFD, 1}, Case{0xFF, 1},
                          Case{'A', 1}, Case{0x5C, 1}, Case{0x7F, 1}}) {
        const char two[] = {static_cast<char>(c.lead), 0x5C, 0};
        EXPECT_EQ(Cp932CharLength(two), c.length) << std::hex << int(c.lead);
        const char alone[] = {static_cast<char>(c.lead), 0};
        EXPECT_EQ(Cp932CharLength(alone), 1u) << std::hex << int(c.lead);  // never over the NUL
    }
}

TEST(Names, StrayLeadByteNeverSwallowsSeparatorOrDot) {
    for (char next : {'/', '.', ' ', '\x7F', '\x3F'}) {
        const char two[] = {'\x95', next, 0};
        EXPECT_EQ(Cp932CharLength(two), 1u) << int(next);
    }
    EXPECT_EQ(FindLastOf("\x95/x", "/", kRaw), 1u);
}

TEST(Names, SearchesSkipTrailBytesOfRawNamesOnly) {
    struct Case { std::string s; const char* what; NameRules form; size_t last, first, text; };
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
            EXPECT_EQ(FindLastOf(c.s, c.what, c.form), c.last) << c.s;
            EXPECT_EQ(FindFirstOf(c.s, c.what, 0, c.form), c.first) << c.s;
        }
        EXPECT_EQ(FindText(c.s, c.what, c.form), c.text) << c.s;
    }
    EXPECT_EQ(FindLastOf("a/b\\c", "/\\", kRaw), 3u);
    EXPECT_EQ(FindFirstOf("a/b/c", "/", 2, kRaw), 3u);
}

TEST(Names, WindowsRootLength) {
    struct Case { const char* path; size_t root; };
    for (const Case& c : {Case{"", 0}, Case{"out\\x", 0}, Case{"C:\\out\\x", 3}, Case{"c:/out", 3},
                          Case{"C:out\\x", 2}, Case{"C:", 2}, Case{"\\out\\x", 1},
                          Case{"\\\\server\\share\\dir\\x", 15}, Case{"//server/share/dir", 15},
                          Case{"\\\\server", 8}, Case{"\\\\server\\share", 14},
                          Case{"\\\\srv\\\x95\x5C\\d", 9},  // a double-byte share name
                          Case{"\\\\?\\C:\\out\\x", 7}, Case{"\\\\.\\C:\\out", 7},
                          Case{"\\\\?\\Volume{1}\\out", 14}, Case{"\\\\?\\UNC\\server\\share\\out", 21},
                          Case{"\\\\?\\unc\\s\\t", 11}, Case{"\\\\?\\UNCx\\out", 9}}) {
        EXPECT_EQ(RootLength(c.path, kWindows), c.root) << c.path;
    }
}

TEST(Names, DecodesCp932NamesToUtf8) {
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
        EXPECT_EQ(DecodeCp932(c.bytes), c.utf8) << c.bytes;
    }
}

TEST(Names, DestinationEndsInASeparator) {
    struct Case { const char* dir; const char* want; NameRules form = kDecoded; };
    for (const Case& c : {Case{"", ""}, Case{"out", "out/"}, Case{"out/", "out/"}, Case{"out\\", "out\\"},
                          Case{"/", "/"}, Case{"d\x95\x5C", "d\x95\x5C"}, Case{"d\x95\x5C", "d\x95\x5C/", kRaw},
                          Case{"d\x95\x5C\\", "d\x95\x5C\\", kRaw}}) {
        EXPECT_EQ(WithTrailingSeparator(c.dir, c.form), c.want) << c.dir;
    }
}

TEST(Naming, StoredNameEndsBeforeLastSpace) {
    struct Case { const char* text; const char* name; };
    for (const Case& c : {Case{"title.gim extra", "title.gim"}, Case{"a b c", "a b"}, Case{" x", ""},
                          Case{"plain", "plain"}, Case{"\x83\x20z", "\x83"},
                          Case{"a \x83\x20z", "a \x83"}, Case{"\x82\xA0 x", "\x82\xA0"},
                          Case{"\x83\x5C \x95\x5C", "\x83\x5C"}, Case{"trailing ", "trailing"}}) {
        EXPECT_EQ(FinishStoredName(c.text, kRaw), c.name) << c.text;
    }
}

TEST(Naming, MadeUpNameTakesArchiveBaseAndNumber) {
    struct Case { const char* datPath; int i; const char* name; };
    for (const Case& c : {
             Case{"pack.dat", 0, "pack_01.dat"},
             Case{"pack.dat", 11, "pack_12.dat"},
             Case{"pack.dat", 99, "pack_100.dat"},
             Case{"/data/sub/pack.dat", 0, "pack_01.dat"},
             Case{"C:\\data\\pack.dat", 1, "pack_02.dat"},
             Case{"dir\\mixed/pack.dat", 0, "pack_01.dat"},
             Case{"pack", 0, "pack_01.dat"},
             Case{"a.b/pack", 0, "pack_01.dat"},
             Case{"pack.bin.dat", 0, "pack.bin_01.dat"},
             Case{"dir/\x95\x5C" "file.dat", 0, "\x95\x5C" "file_01.dat"},
             Case{"\x95\x5C" "x.dat", 2, "\x95\x5C" "x_03.dat"},
         }) {
        EXPECT_EQ(MadeUpName(c.datPath, c.i, kRaw), c.name) << c.datPath << " #" << c.i;
    }
    // On Windows only '\\' ends the folder part.
    EXPECT_EQ(MadeUpName("C:\\data/pack.dat", 0, kWindows), "data/pack_01.dat");
}

TEST(Naming, CutGzAtFirstGz) {
    struct Case { const char* name; const char* cut; };
    for (const Case& c : {Case{"model.bin.gz", "model.bin"}, Case{"a.gzip", "a"}, Case{"x.gz.y", "x"},
                          Case{"a.gz.gz", "a"}, Case{"MODEL.BIN.GZ", "MODEL.BIN.GZ"}, Case{"gz", "gz"},
                          Case{".gz", ""}, Case{"dir.gz/f", "dir"}, Case{"\x82\xA0.gz", "\x82\xA0"}}) {
        EXPECT_EQ(CutGz(c.name, kRaw), c.cut) << c.name;
    }
}

TEST(Naming, NestedPrefixCutsAtLastDot) {
    struct Case { const char* prefix; const char* name; const char* nested; };
    for (const Case& c : {Case{"ui/", "menu.dat", "ui/menu/"}, Case{"a.b/", "c", "a/"},
                          Case{"", "pack", "pack/"}, Case{"", "x.tar.dat", "x.tar/"},
                          Case{"p/", "\x83\x5C" ".dat", "p/\x83\x5C/"}}) {
        EXPECT_EQ(NestedPrefix(c.prefix, c.name, kRaw), c.nested) << c.prefix << c.name;
    }
}

TEST(Naming, UnsafeEntryPaths) {
    struct Case { const char* prefix; const char* name; bool unsafe; NameRules form = kRaw; };
    for (const Case& c : {
             Case{"", "..", true},
             Case{"", "../x", true},
             Case{"", "a/../x", true},
             Case{"", "a\\..\\x", true},
             Case{"", "x/..", true},
             Case{"", "x\\..", true},
             Case{"", "/x", true},
             Case{"", "\\x", true},
             Case{"", "C:x", true},
             Case{"", "c:", true},
             Case{"../", "x", true},
             Case{"a/../", "x", true},
             Case{"/", "x", false},              // the prefix of a nested ".x": OutputPath drops the "/"
             Case{"", "...", false},
             Case{"", "a..b", false},
             Case{"", "..a", false},
             Case{"", "a..", false},
             Case{"", ".", false},
             Case{"", "a//b", false},
             Case{"", "ab:c", false},
             Case{"ui/", "x", false},
             Case{"", "", false},
             Case{"", "\x95\x5C..", false},      // one component: the 0x5C is a trail byte
             Case{"", "a\x95\x5C..\\x", false},
             Case{"", "\x95\x5C\\..", true},     // a real '\' after the character
             Case{"", "\x95\x5C", false},
             Case{"", "\x95\x5C..", true, kDecoded},  // byte-wise, 0x5C is a separator
             Case{"", "\xE8\xA1\xA8..", false, kDecoded},
             // Windows reserves streams, devices and names of dots and spaces.
             Case{"", "a:b", true, kWindows},
             Case{"x:y/", "f", true, kWindows},
             Case{"", "d/nul.txt", true, kWindows},
             Case{"", "Com1", true, kWindows},
             Case{"", "CON  .x", true, kWindows},
             Case{"", "lpt0", false, kWindows},
             Case{"", "console", false, kWindows},
             Case{"", ". .", true, kWindows},
             Case{"", "a/.../b", true, kWindows},
             Case{"", ".", false, kWindows},
             Case{"", "./a/./b", false, kWindows},
             // Windows keeps no trailing dot or space in its own path rules.
             Case{"", "readme.", true, kWindows},
             Case{"", "dir /f", true, kWindows},
             Case{"x. /", "f", true, kWindows},
             Case{"", "a.b/ c", false, kWindows},
             Case{"", "readme.", false},
         }) {
        EXPECT_EQ(IsUnsafeEntryPath(c.prefix, c.name, c.form), c.unsafe) << c.prefix << "|" << c.name;
    }
}

TEST(Naming, NormaliseSeparatorsKeepsTrailBytes) {
    EXPECT_EQ(NormaliseSeparators("a\\b/c", kRaw), "a/b/c");
    EXPECT_EQ(NormaliseSeparators("a\\b/c", kWindows), "a\\b\\c");
    EXPECT_EQ(NormaliseSeparators("\x95\x5C" "x", kRaw), "\x95\x5C" "x");
    EXPECT_EQ(NormaliseSeparators("\x95\x5C\\x/", kWindows), "\x95\x5C\\x\\");
    EXPECT_EQ(NormaliseSeparators("tail\x95", kRaw), "tail\x95");
}

// Folders are made below the root, outermost first, never the file itself.
TEST(Naming, FoldersAlongAPath) {
    using V = std::vector<std::string>;
    EXPECT_EQ(FoldersAlong("/t/a//b/\x95\x5C" "d/file.bin", kRaw), (V{"/t", "/t/a", "/t/a//b", "/t/a//b/\x95\x5C" "d"}));
    EXPECT_EQ(FoldersAlong("out/x/", kRaw), (V{"out", "out/x"}));
    EXPECT_EQ(FoldersAlong("file", kRaw), V{});
    EXPECT_EQ(FoldersAlong("C:\\out\\\x95\x5C\\f", kWindows), (V{"C:\\out", "C:\\out\\\x95\x5C"}));
    EXPECT_EQ(FoldersAlong("\\\\srv\\share\\d\\f", kWindows), (V{"\\\\srv\\share\\d"}));
}

// Paths that the system takes for one file share a key; on Windows case
// and trailing dots and spaces do not count, but a trail byte stays itself.
TEST(Naming, PathKeyNamesOneFileOneWay) {
    struct Case { const char* path; const char* key; NameRules form; };
    const Case cases[] = {
        {"a//b/./c.txt", "a/b/c.txt", kRaw},
        {"A\\B.txt", "A\\B.txt", kDecoded},
        {"A\\B.TXT", "a/b.txt", kWindows},
        {"dir. /Name .\\x", "dir/name/x", kWindows},
        {"\x83\x41" "B/\x95\x5C" "C", "\x83\x41" "b/\x95\x5C" "c", kWindows},
        {"\x95\x5C" "D", "\x95\x5C" "D", kRaw},
    };
    for (const Case& c : cases) EXPECT_EQ(PathKey(c.path, c.form), c.key) << c.path;
}




TEST(Naming, GimPathReplacesTheLastExtension) {
    // out is also the path relative to the destination, except where a
    // destination is given in front of it.
    struct Case { const char* out; const char* gim; const char* dest = ""; };
    for (const Case& c : {
             Case{"a/tex_03.dat", "a/tex_03.gim"},
             Case{"tex", "tex.gim"},
             Case{"x.y/tex", "x.y/tex.gim"},
             Case{"x.y\\tex", "x.y\\tex.gim"},
             Case{"tex.a.b", "tex.a.gim"},
             Case{"TEX.GIM", "TEX.gim"},
             Case{"a.gim.bak", ""},
             Case{"d.gim/t.bin", ""},
             Case{"x.gimp", ""},
             Case{"d/.hidden", "d/.gim"},
             Case{"d.\x95\x5C" "x", "d.gim"},          // the 0x5C is no separator
             Case{"d\x95\x5C.x", "d\x95\x5C.gim"},
             Case{"tex.bin", "my.gimages/out/tex.gim", "my.gimages/out/"},  // only prefix + name count
             Case{"a.gim/t.bin", "", "out/"},
         }) {
        const std::string dest = c.dest;
        EXPECT_EQ(GimPath(dest + c.out, c.out, kRaw), c.gim) << c.out;
    }
}

}  // namespace
