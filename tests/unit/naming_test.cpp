// Entry names, output paths and the refusal of unsafe names.
//
// Double-byte characters are written as separate literals ("\x95\x5C" "b")
// so that a following hex digit is not taken into the escape.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "dat_writer.h"
#include "extract/extract.h"
#include "platform/platform.h"
#include "tool_runner.h"

namespace {

const std::string kSep(1, plat::kSeparator);
// Most cases are raw names: the decoded form only drops the trail-byte rule.
constexpr plat::NameForm kRaw = plat::NameForm::kRaw;
constexpr plat::NameForm kDecoded = plat::NameForm::kDecoded;

struct TempDir {
    std::string path = testdat::MakeTempDir();
    ~TempDir() { testdat::RemoveTree(path); }
};

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
    struct Case { const char* prefix; const char* name; bool unsafe; plat::NameForm form = kRaw; };
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
         }) {
        EXPECT_EQ(IsUnsafeEntryPath(c.prefix, c.name, c.form), c.unsafe) << c.prefix << "|" << c.name;
    }
}

TEST(Naming, NormaliseSeparatorsKeepsTrailBytes) {
    EXPECT_EQ(NormaliseSeparators("a\\b/c", kRaw), "a" + kSep + "b" + kSep + "c");
    EXPECT_EQ(NormaliseSeparators("\x95\x5C" "x", kRaw), "\x95\x5C" "x");
    EXPECT_EQ(NormaliseSeparators("\x95\x5C\\x/", kRaw), "\x95\x5C" + kSep + "x" + kSep);
    EXPECT_EQ(NormaliseSeparators("tail\x95", kRaw), "tail\x95");
}

TEST(Naming, CreatePathDirsMakesEveryFolderButTheLast) {
    TempDir tmp;
    std::string path = tmp.path + "/a//b\\c/\x95\x5C" "d/file.bin";
    ASSERT_EQ(CreatePathDirs(path, kRaw), 0);
    EXPECT_EQ(path, NormaliseSeparators(tmp.path, kRaw) + kSep + "a" + kSep + kSep + "b" + kSep + "c" + kSep +
                        "\x95\x5C" "d" + kSep + "file.bin");
    std::map<std::string, std::string> want{
        {"a/", ""}, {"a/b/", ""}, {"a/b/c/", ""}, {"a/b/c/\x95\x5C" "d/", ""}};
    EXPECT_EQ(testdat::Tree(tmp.path), want);

    // Folders that exist already are fine; so is a path ending in a separator.
    std::string again = tmp.path + "/a/b/new/";
    EXPECT_EQ(CreatePathDirs(again, kRaw), 0);
    EXPECT_EQ(testdat::Tree(tmp.path).count("a/b/new/"), 1u);
}

TEST(Naming, CreatePathDirsThroughAFileLeavesTheFile) {
    // Only a missing parent stops the walk; the later open reports the failure.
    TempDir tmp;
    testdat::WriteFile(tmp.path + "/f", testdat::ToBytes("data"));
    std::string path = tmp.path + "/f/sub/x";
    EXPECT_EQ(CreatePathDirs(path, kRaw), 0);
    std::map<std::string, std::string> want{{"f", "data"}};
    EXPECT_EQ(testdat::Tree(tmp.path), want);
}

#ifndef _WIN32
TEST(Naming, CreatePathDirsStopsWhenAParentIsMissing) {
    TempDir tmp;
    ASSERT_EQ(symlink((tmp.path + "/nowhere").c_str(), (tmp.path + "/dangling").c_str()), 0);
    std::string path = tmp.path + "/dangling/sub/deeper/x";
    EXPECT_EQ(CreatePathDirs(path, kRaw), -1);
    EXPECT_NE(access((tmp.path + "/nowhere").c_str(), F_OK), 0);
}
#endif

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
