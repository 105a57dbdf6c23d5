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

// "Z:\dir\out" and "Z:/dir/out" name one folder; printed paths use '\'.
TEST_F(WindowsCli, DestinationWithEitherSeparator) {
    Of({Named("a.bin", "A"), Named("../x", "X")}).Write(Path("x.dat"));
    for (const std::string& dest : {ToolPath(Path("out")), Slashes(ToolPath(Path("out"))),
                                    ToolPath(Path("out")) + "\\", Slashes(ToolPath(Path("out"))) + "/"}) {
        EXPECT_TRUE(Gave(RunTool({ToolPath(Path("x.dat")), dest}), 1,
                         "a.bin 1 bytes\n../x 1 bytes\nerror : unsafe path " + Printed(Path("out/../x")) + "\n",
                         {{"a.bin", "A"}}))
            << dest;
        RemoveTree(Path("out"));
    }
}

// Made-up names take their base after the last '\' only: an archive path
// written with '/' gives a name that starts with the drive, which is unsafe.
TEST_F(WindowsCli, DriveQualifiedArchivePath) {
    EXPECT_TRUE(Gave(Unpack(Of({Named("n.txt", "1"), Unnamed(ToBytes("2"))}), "pack.dat"), 0,
                     "n.txt 1 bytes\npack_02.dat 1 bytes\n", {{"n.txt", "1"}, {"pack_02.dat", "2"}}));
    RemoveTree(Path("out"));

    const std::string slashed = Slashes(ToolPath(Path("pack.dat")));
    const std::string made = slashed.substr(0, slashed.size() - 4) + "_02.dat";
    EXPECT_TRUE(Gave(RunTool({slashed, ToolPath(Path("out"))}), 1,
                     "n.txt 1 bytes\n" + made + " 1 bytes\nerror : unsafe path " + Printed(Path("out")) + "\\" +
                         Printed(Path("pack_02.dat")) + "\n",
                     {{"n.txt", "1"}}));

    RunResult r = RunTool({Slashes(ToolPath(Path("missing.dat")))});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("error : cannot open " + Slashes(ToolPath(Path("missing.dat"))) + "\n"));
}

TEST_F(WindowsCli, SlashStartsAnOption) {
    const Bytes inner = Of({Named("b.txt", "bb")}).Build();
    Of({Named("inner.dat", inner)}).Write(Path("x.dat"));
    struct Case { std::string option; bool recurse; };
    for (const Case& c : {Case{"/s", false}, Case{"/S", false}, Case{"/x", true}, Case{"-s", false}}) {
        const RunResult r = RunTool({c.option, ToolPath(Path("x.dat")), ToolPath(Path("out"))});
        EXPECT_TRUE(c.recurse ? Gave(r, 0, "inner.dat 43 bytes\ninner/b.txt 2 bytes\n",
                                     {{"inner/", ""}, {"inner/b.txt", "bb"}})
                              : Gave(r, 0, "inner.dat 43 bytes\n", {{"inner.dat", ToString(inner)}}))
            << c.option;
        RemoveTree(Path("out"));
    }
}

// The archive lies in the destination; an entry names it, in any case.  Its
// sharing mode refuses the output file.
TEST_F(WindowsCli, ArchiveInTheDestinationIsNeverOverwritten) {
    for (const std::string name : {"x.dat", "X.DAT"}) {
        const Bytes before = Of({Named(name, "new"), Named("ok.txt", "2")}).Build();
        std::filesystem::create_directories(Path("out"));
        WriteFile(Path("out/x.dat"), before);
        EXPECT_TRUE(Gave(Run("", "out/x.dat"), 1,
                         name + " 3 bytes\nerror : cannot create " + Printed(Path("out/" + name)) + "\nok.txt 1 bytes\n",
                         {{"x.dat", ToString(before)}, {"ok.txt", "2"}}))
            << name;
        RemoveTree(Path("out"));
    }
}

// "TEX.GIM" becomes "TEX.gim": the same file on a file system that ignores
// case.  Wine may keep the old case; either way the image must survive.
TEST_F(WindowsCli, GimRenamedOnlyInCaseSurvives) {
    const std::string gim = "MIG.00.1PSP";
    RunResult r = Unpack(Of({Named("TEX.GIM", gim), Named("sub/Pic.Gim", gim)}));
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
        // A stored name ends at its last space.
        EXPECT_TRUE(Gave(Unpack(Of({Named(name + " ", "1"), Named("ok.txt", "2")})), 1,
                         name + " 1 bytes\nerror : unsafe path " + Printed(Path("out/" + Slashes(name))) +
                             "\nok.txt 1 bytes\n",
                         {{"ok.txt", "2"}}))
            << name;
    }
    for (const std::string name : {"console.txt", "com10", "lpt", "nul_", "auxa/b", "conin", ".x", "a..b"}) {
        RunResult r = Unpack(Of({Named(name, "1")}));
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.out, Lines(name + " 1 bytes\n")) << name;
        EXPECT_EQ(Out().count(name), 1u) << name;
    }
}

// A "\\?\" destination: its folders are made below the prefix and the
// drive, and a GIM image there replaces the file of its new name.
TEST_F(WindowsCli, ExtendedLengthDestination) {
    const std::string gim = "MIG.00.1PSP";
    Of({Named("tex.gim", "plain"), Named("tex.bin", gim), Named("sub/a.txt", "A")}).Write(Path("x.dat"));
    EXPECT_TRUE(Gave(RunTool({ToolPath(Path("x.dat")), "\\\\?\\" + ToolPath(Path("out/new"))}), 0,
                     "tex.gim 5 bytes\ntex.bin 11 bytes\nsub/a.txt 1 bytes\n",
                     {{"tex.gim", gim}, {"sub/", ""}, {"sub/a.txt", "A"}}, "out/new"));
}

// 0x95 0x5C is one character of code page 932: neither a folder break nor a
// name end, as a file or as a folder.
TEST_F(WindowsCli, ShiftJisTrailByteIsNoSeparator) {
    const std::string hyo = "\x95\x5C";
    const std::string host = HostName(hyo);
    ASSERT_EQ(host, "\xE8\xA1\xA8");
    EXPECT_TRUE(Gave(Unpack(Of({Named(hyo + ".txt", "1"), Named(hyo + "\\in.txt", "2"), Named("d/" + hyo, "3")})), 0,
                     Listed(hyo + ".txt 1 bytes\n" + hyo + "\\in.txt 1 bytes\nd/" + hyo + " 1 bytes\n"),
                     {{host + ".txt", "1"}, {host + "/", ""}, {host + "/in.txt", "2"}, {"d/", ""}, {"d/" + host, "3"}}));
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
        std::filesystem::create_directories(std::filesystem::path(Path(c.archive)).parent_path());
        Of({Named(c.name, "N"), Named("../x", "X"), Unnamed(ToBytes("U"))}).Write(Path(c.archive));
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
    Of({Named(deep + "/file.txt", "N")}).Write(Path("x.dat"));
    RunResult r = Run("r");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines(deep + "/file.txt 1 bytes\nerror : cannot create " + Printed(Path("out/" + deep + "/file.txt")) + "\n"));
    EXPECT_EQ(Out().count(deep + "/file.txt"), 0u);
}

}  // namespace
}  // namespace clitest
