// Whole-program tests of what only the Windows build does: drive paths and
// either separator on the command line, "\\?\" destinations, '/' options,
// sharing modes, a file system that ignores case, names Windows reserves, code
// page 932 names, paths past MAX_PATH and paths in any characters.
#include <filesystem>

#include "cli_fixture.h"

namespace clitest {
namespace {

class WindowsCli : public CliTest {
protected:
    void SetUp() override {
        if (!WindowsTool()) GTEST_SKIP() << "Windows build only";
        CliTest::SetUp();
    }
};

std::string Slashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

// "Z:\dir\out" and "Z:/dir/out" name one folder; printed paths use '\'.
TEST_F(WindowsCli, DestinationWithEitherSeparator) {
    Archive a;
    a.entries = {Named("a.bin", "A"), Named("../x", "X")};
    a.Write(Path("x.dat"));
    for (const std::string& dest : {ToolPath(Path("out")), Slashes(ToolPath(Path("out"))),
                                    ToolPath(Path("out")) + "\\", Slashes(ToolPath(Path("out"))) + "/"}) {
        RunResult r = RunTool({ToolPath(Path("x.dat")), dest});
        EXPECT_EQ(r.status, 1) << dest;
        EXPECT_EQ(r.out, Lines("a.bin 1 bytes\n../x 1 bytes\nerror : unsafe path " + Printed(Path("out/../x")) +
                               "\n")) << dest;
        EXPECT_EQ(Out(), (TreeMap{{"a.bin", "A"}})) << dest;
        RemoveTree(Path("out"));
    }
}

// Made-up names take their base after the last '\' only: an archive path
// written with '/' gives a name that starts with the drive, which is unsafe.
TEST_F(WindowsCli, DriveQualifiedArchivePath) {
    Archive a;
    a.entries = {Named("n.txt", "1"), Unnamed(ToBytes("2"))};
    a.Write(Path("pack.dat"));
    RunResult r = RunTool({ToolPath(Path("pack.dat")), ToolPath(Path("out"))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Lines("n.txt 1 bytes\npack_02.dat 1 bytes\n"));
    EXPECT_EQ(Out(), (TreeMap{{"n.txt", "1"}, {"pack_02.dat", "2"}}));
    RemoveTree(Path("out"));

    const std::string slashed = Slashes(ToolPath(Path("pack.dat")));
    const std::string made = slashed.substr(0, slashed.size() - 4) + "_02.dat";
    r = RunTool({slashed, ToolPath(Path("out"))});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("n.txt 1 bytes\n" + made + " 1 bytes\nerror : unsafe path " + Printed(Path("out")) +
                           "\\" + Printed(Path("pack_02.dat")) + "\n"));
    EXPECT_EQ(Out(), (TreeMap{{"n.txt", "1"}}));

    r = RunTool({Slashes(ToolPath(Path("missing.dat")))});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("error : cannot open " + Slashes(ToolPath(Path("missing.dat"))) + "\n"));
}

TEST_F(WindowsCli, SlashStartsAnOption) {
    Archive inner;
    inner.entries.push_back(Named("b.txt", "bb"));
    Archive outer;
    outer.entries.push_back(Named("inner.dat", inner.Build()));
    outer.Write(Path("x.dat"));
    struct Case { std::string option; bool recurse; };
    for (const Case& c : {Case{"/s", false}, Case{"/S", false}, Case{"/x", true}, Case{"-s", false}}) {
        RunResult r = RunTool({c.option, ToolPath(Path("x.dat")), ToolPath(Path("out"))});
        EXPECT_EQ(r.status, 0) << c.option;
        if (c.recurse) {
            EXPECT_EQ(r.out, Lines("inner.dat 43 bytes\ninner/b.txt 2 bytes\n")) << c.option;
            EXPECT_EQ(Out(), (TreeMap{{"inner/", ""}, {"inner/b.txt", "bb"}})) << c.option;
        } else {
            EXPECT_EQ(r.out, Lines("inner.dat 43 bytes\n")) << c.option;
            EXPECT_EQ(Out(), (TreeMap{{"inner.dat", ToString(inner.Build())}})) << c.option;
        }
        RemoveTree(Path("out"));
    }
}

// The archive lies in the destination; an entry names it, in any case.  Its
// sharing mode refuses the output file.
TEST_F(WindowsCli, ArchiveInTheDestinationIsNeverOverwritten) {
    for (const char* name : {"x.dat", "X.DAT"}) {
        Archive a;
        a.entries = {Named(name, "new"), Named("ok.txt", "2")};
        std::filesystem::create_directories(Path("out"));
        a.Write(Path("out/x.dat"));
        const Bytes before = ReadFile(Path("out/x.dat"));
        RunResult r = RunTool({ToolPath(Path("out/x.dat")), ToolPath(Path("out"))});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.out, Lines(std::string(name) + " 3 bytes\nerror : cannot create " +
                               Printed(Path(std::string("out/") + name)) + "\nok.txt 1 bytes\n")) << name;
        EXPECT_EQ(Out(), (TreeMap{{"x.dat", ToString(before)}, {"ok.txt", "2"}})) << name;
        RemoveTree(Path("out"));
    }
}

// "TEX.GIM" becomes "TEX.gim": the same file on a file system that ignores
// case.  Wine may keep the old case; either way the image must survive.
TEST_F(WindowsCli, GimRenamedOnlyInCaseSurvives) {
    const std::string gim = "MIG.00.1PSP";
    Archive a;
    a.entries = {Named("TEX.GIM", gim), Named("sub/Pic.Gim", gim)};
    RunResult r = Unpack(a);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Lines("TEX.GIM 11 bytes\nsub/Pic.Gim 11 bytes\n"));
    TreeMap tree = Out();
    EXPECT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree.count("TEX.GIM") + tree.count("TEX.gim"), 1u);
    EXPECT_EQ(tree.count("sub/Pic.Gim") + tree.count("sub/Pic.gim"), 1u);
    for (const auto& [path, contents] : tree) {
        if (path == "sub/") continue;
        EXPECT_EQ(contents, gim) << path;
    }
}

// Streams, devices and names Windows would cut to "." or ".." are refused,
// whatever the case, extension or trailing spaces; near misses are fine.
TEST_F(WindowsCli, NamesWindowsReserves) {
    for (const std::string name : {"a:b", "x/s:t", "CON", "con", "nul.txt", "NUL.tar.bz2", "com1", "LPT9.dat",
                                   "prn", "Aux.", "con .txt", "a/aux/b", "CONIN$", "conout$.txt", "...", ". .",
                                   "a/.../b", "a/ ../b"}) {
        Archive a;
        a.entries = {Named(name + " ", "1"), Named("ok.txt", "2")};  // a stored name ends at its last space
        RunResult r = Unpack(a);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.out, Lines(name + " 1 bytes\nerror : unsafe path " + Printed(Path("out/" + Slashes(name))) +
                               "\nok.txt 1 bytes\n")) << name;
        EXPECT_EQ(Out(), (TreeMap{{"ok.txt", "2"}})) << name;
        RemoveTree(Path("out"));
    }
    for (const std::string name : {"console.txt", "com10", "lpt", "nul_", "auxa/b", "conin", ".x", "a..b"}) {
        Archive a;
        a.entries = {Named(name, "1")};
        RunResult r = Unpack(a);
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.out, Lines(name + " 1 bytes\n")) << name;
        EXPECT_EQ(Out().count(name), 1u) << name;
        RemoveTree(Path("out"));
    }
}

// A "\\?\" destination: its folders are made below the prefix and the
// drive, and a GIM image there replaces the file of its new name.
TEST_F(WindowsCli, ExtendedLengthDestination) {
    const std::string gim = "MIG.00.1PSP";
    Archive a;
    a.entries = {Named("tex.gim", "plain"), Named("tex.bin", gim), Named("sub/a.txt", "A")};
    a.Write(Path("x.dat"));
    RunResult r = RunTool({ToolPath(Path("x.dat")), "\\\\?\\" + ToolPath(Path("out/new"))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Lines("tex.gim 5 bytes\ntex.bin 11 bytes\nsub/a.txt 1 bytes\n"));
    EXPECT_EQ(Tree(Path("out/new")), (TreeMap{{"tex.gim", gim}, {"sub/", ""}, {"sub/a.txt", "A"}}));
}

// 0x95 0x5C is one character of code page 932: neither a folder break nor a
// name end, as a file or as a folder.
TEST_F(WindowsCli, ShiftJisTrailByteIsNoSeparator) {
    const std::string hyo = "\x95\x5C";
    Archive a;
    a.entries = {Named(hyo + ".txt", "1"), Named(hyo + "\\in.txt", "2"), Named("d/" + hyo, "3")};
    RunResult r = Unpack(a);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Lines(Listed(hyo + ".txt 1 bytes\n" + hyo + "\\in.txt 1 bytes\nd/" + hyo + " 1 bytes\n")));
    const std::string host = HostName(hyo);
    ASSERT_EQ(host, "\xE8\xA1\xA8");
    EXPECT_EQ(Out(), (TreeMap{{host + ".txt", "1"}, {host + "/", ""}, {host + "/in.txt", "2"}, {"d/", ""},
                              {"d/" + host, "3"}}));
}

// Paths the ANSI functions could not take: an archive and a destination in
// Japanese whatever the system's code page (the tool reads its command line
// as Unicode), and a tree deeper than MAX_PATH.  Error lines show the path
// as given, never in the extended-length form the system is handed.
TEST_F(WindowsCli, PathsInAnyCharactersAndOfAnyLength) {
    std::string deep = "deep";
    for (int i = 0; i < 12; ++i) deep += "/folder_number_" + std::to_string(i) + "_of_a_deep_tree";
    ASSERT_GT(deep.size(), 300u);
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
    struct Case { std::string archive, dest, name; };
    for (const Case& c : {Case{japanese + ".dat", "out/" + japanese, "a.txt"},
                          Case{"x.dat", "out/" + japanese + "/" + deep, deep + "/file.txt"},
                          Case{japanese + "/x.dat", "out", deep + "/" + deep + "/file.txt"}}) {
        SCOPED_TRACE(c.archive + " " + c.dest);
        Archive a;
        a.entries = {Named(c.name, "N"), Named("../x", "X"), Unnamed(ToBytes("U"))};
        std::filesystem::create_directories(std::filesystem::path(Path(c.archive)).parent_path());
        a.Write(Path(c.archive));
        RunResult r = RunTool({ToolPath(Path(c.archive)), ToolPath(Path(c.dest))});
        const std::string base = std::filesystem::path(c.archive).stem().string();
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, Lines(c.name + " 1 bytes\n../x 1 bytes\nerror : unsafe path " + Printed(Path(c.dest + "/../x")) +
                               "\n" + base + "_03.dat 1 bytes\n"));
        const TreeMap tree = Tree(Path(c.dest));
        EXPECT_EQ(tree.count(c.name) == 1 ? tree.at(c.name) : "missing", "N");
        EXPECT_EQ(tree.count(base + "_03.dat") == 1 ? tree.at(base + "_03.dat") : "missing", "U");
        RemoveTree(Path("out"));
    }
    // -r keeps the ANSI functions' limit of MAX_PATH.
    Archive a;
    a.entries = {Named(deep + "/file.txt", "N")};
    a.Write(Path("x.dat"));
    RunResult r = RunTool({"-r", ToolPath(Path("x.dat")), ToolPath(Path("out"))});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines(deep + "/file.txt 1 bytes\nerror : cannot create " + Printed(Path("out/" + deep + "/file.txt")) + "\n"));
    EXPECT_EQ(Out().count(deep + "/file.txt"), 0u);
}

}  // namespace
}  // namespace clitest
