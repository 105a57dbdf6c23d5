// Whole-program tests: archives inside archives, unpacked depth first.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_fixture.h"

using namespace clitest;

namespace {


class NestedCli : public CliTest {};

// ui/menu.dat holding two files, then after.txt.
Archive MenuArchive(const Bytes& menu) {
    return Of({Named("ui/menu.dat", menu), Named("after.txt", "z")});
}

TEST_F(NestedCli, NestedArchiveUnpacksBesideItsName) {
    const Bytes menu = Of({Named("a.txt", "AAA"), Named("sub/b.txt", "BB")}).Build();
    EXPECT_TRUE(Gave(Unpack(MenuArchive(menu)), 0,
                     "ui/menu.dat " + N(menu.size()) +
                         " bytes\nui/menu/a.txt 3 bytes\nui/menu/sub/b.txt 2 bytes\nafter.txt 1 bytes\n",
                     {{"ui/", ""}, {"ui/menu/", ""}, {"ui/menu/a.txt", "AAA"}, {"ui/menu/sub/", ""},
                      {"ui/menu/sub/b.txt", "BB"}, {"after.txt", "z"}}));
}

// "q/x.txt" cannot be created while the file "q" stands; once a GIM image
// written as "q" has been renamed to "q.gim", a later entry makes the folder
// "q" after all.  The folders a run remembers are only real folders.  (A
// nested archive named "q" is never unpacked into "q/" and is kept, so this
// takes a renamed file.)
TEST_F(NestedCli, FolderWhereAFileStoodIsMadeLater) {
    const Archive a = Of({Named("q", "plain"), Named("q/x.txt", "X"), Named("q", "MIG.gim"), Named("q/z.txt", "Z")});
    EXPECT_TRUE(Gave(Unpack(a), 1,
                     "q 5 bytes\nq/x.txt 1 bytes\nerror : cannot create " + Printed(Path("out/q/x.txt")) +
                         "\nq 7 bytes\nq/z.txt 1 bytes\n",
                     {{"q.gim", "MIG.gim"}, {"q/", ""}, {"q/z.txt", "Z"}}));
}

TEST_F(NestedCli, SkipOptionKeepsNestedArchive) {
    const Bytes menu = Of({Named("a.txt", "AAA")}).Build();
    MenuArchive(menu).Write(Path("x.dat"));
    for (const char* letters : {"s", "S"}) {
        RemoveTree(Path("out"));
        EXPECT_TRUE(Gave(Run(letters), 0, "ui/menu.dat " + N(menu.size()) + " bytes\nafter.txt 1 bytes\n",
                         {{"ui/", ""}, {"ui/menu.dat", ToString(menu)}, {"after.txt", "z"}}))
            << letters;
    }
}

TEST_F(NestedCli, TwoLevelsWithGzipMembersDepthFirst) {
    GzipOptions named;
    named.fname = "g1.txt";
    const Bytes deep = Gzip(ToBytes("deep"));
    const Bytes lvl2 = Of({Named("d.txt.gz", deep)}).Build();
    const Bytes lvl2gz = Gzip(lvl2);
    const Bytes g1 = Gzip(ToBytes("g1"), named);
    const Bytes lvl1 = Of({Named("g1", g1), Named("lvl2.dat.gz", lvl2gz)}).Build();
    EXPECT_TRUE(Gave(Unpack(Of({Named("first.txt", "f"), Named("lvl1.dat", lvl1), Named("last.txt", "l")})), 0,
                     "first.txt 1 bytes\n"
                     "lvl1.dat " + N(lvl1.size()) + " bytes\n"
                     "lvl1/g1 " + N(g1.size()) + " bytes to 2 bytes\n"
                     "lvl1/lvl2.dat.gz " + N(lvl2gz.size()) + " bytes to " + N(lvl2.size()) + " bytes\n"
                     "lvl1/lvl2/d.txt.gz " + N(deep.size()) + " bytes to 4 bytes\n"
                     "last.txt 1 bytes\n",
                     {{"first.txt", "f"}, {"lvl1/", ""}, {"lvl1/g1.txt", "g1"}, {"lvl1/lvl2/", ""},
                      {"lvl1/lvl2/d.txt", "deep"}, {"last.txt", "l"}}));
}

// A nested file is removed only when nothing failed while it was unpacked,
// deeper levels included; otherwise it stays, so that its data survive.
TEST_F(NestedCli, NestedFileIsKeptWhenAnythingFailed) {
    Archive wrongSize = Of({Named("a.txt", "AAA")});
    wrongSize.fileSize = static_cast<uint32_t>(wrongSize.Build().size() + 1);
    Archive outOfRange = Of({Named("ok.txt", "ok"), Named("bad.bin", "xyz")});
    outOfRange.entries[1].size = 1000;
    const Bytes deep = outOfRange.Build();
    const Bytes badDeflate = Cat(PlainGzipHeader(), {0x07, 0, 0, 0, 0, 0, 0, 0, 0});
    const Bytes plain = Of({Named("a.txt", "AAA")}).Build();
    const std::string menuPath = Printed(Path("out/ui/menu.dat"));
    struct Case {
        std::string name;  // of the entry holding the nested archive, under "ui/"
        Bytes nested;
        std::string lines;  // after the nested entry's own line
        TreeMap unpacked;   // besides ui/, the kept file and after.txt
        std::string kept = "ui/menu.dat";
    };
    const Case cases[] = {
        {"menu.dat", wrongSize.Build(), "error : unknown format " + menuPath + "\n", {}},
        {"menu.dat", deep,
         "ui/menu/ok.txt 2 bytes\nui/menu/bad.bin 1000 bytes\nerror : entry out of range " + menuPath + "\n",
         {{"ui/menu/", ""}, {"ui/menu/ok.txt", "ok"}}},
        {"menu.dat", Of({Named("deep.dat", deep)}).Build(),
         "ui/menu/deep.dat " + N(deep.size()) + " bytes\nui/menu/deep/ok.txt 2 bytes\n"
         "ui/menu/deep/bad.bin 1000 bytes\nerror : entry out of range " + Printed(Path("out/ui/menu/deep.dat")) + "\n",
         {{"ui/menu/", ""}, {"ui/menu/deep.dat", ToString(deep)}, {"ui/menu/deep/", ""},
          {"ui/menu/deep/ok.txt", "ok"}}},
        {"menu.dat", Of({Named("bad.gz", badDeflate)}).Build(),
         "ui/menu/bad.gz " + N(badDeflate.size()) + " bytes-3\n to 0 bytes\n", {{"ui/menu/", ""}, {"ui/menu/bad", ""}}},
        // Without a '.' to cut, the nested folder would be the file itself.
        {"menu", plain, "error : cannot unpack nested archive into itself " + Printed(Path("out/ui/menu")) + "\n", {},
         "ui/menu"},
        {"menu.gz", plain, "error : cannot unpack nested archive into itself " + Printed(Path("out/ui/menu")) + "\n",
         {}, "ui/menu"},
    };
    for (const Case& c : cases) {
        TreeMap want = c.unpacked;
        want.insert({{"ui/", ""}, {c.kept, ToString(c.nested)}, {"after.txt", "z"}});
        EXPECT_TRUE(Gave(Unpack(Of({Named("ui/" + c.name, c.nested), Named("after.txt", "z")})), 1,
                         "ui/" + c.name + " " + N(c.nested.size()) + " bytes\n" + c.lines + "after.txt 1 bytes\n",
                         want))
            << c.lines;
    }
}

TEST_F(NestedCli, UnnamedEntriesTakeTheNestedFileName) {
    const Bytes inner = Of({Unnamed(ToBytes("p")), Unnamed(ToBytes("q"))}).Build();
    const std::string n = N(inner.size());
    EXPECT_TRUE(Gave(Unpack(Of({Named("menu.dat", inner), Unnamed(inner)})), 0,
                     "menu.dat " + n + " bytes\nmenu/menu_01.dat 1 bytes\nmenu/menu_02.dat 1 bytes\n"
                     "x_02.dat " + n + " bytes\nx_02/x_02_01.dat 1 bytes\nx_02/x_02_02.dat 1 bytes\n",
                     {{"menu/", ""}, {"menu/menu_01.dat", "p"}, {"menu/menu_02.dat", "q"}, {"x_02/", ""},
                      {"x_02/x_02_01.dat", "p"}, {"x_02/x_02_02.dat", "q"}}));
}

// Archives nested 33 levels deep: the 33rd level is not unpacked, and every
// file on the way is kept.
TEST_F(NestedCli, NestingStopsAtThirtyTwoLevels) {
    std::vector<Bytes> level(34);
    level[33] = Of({Named("leaf.txt", "x")}).Build();
    for (size_t k = 33; k-- > 0;) level[k] = Of({Named("d.dat", level[k + 1])}).Build();
    std::string expected, prefix;
    TreeMap want;
    for (size_t k = 1; k <= 33; ++k, prefix += "d/") {
        expected += prefix + "d.dat " + N(level[k].size()) + " bytes\n";
        want[prefix + "d.dat"] = ToString(level[k]);
        if (k < 33) want[prefix + "d/"] = "";
    }
    expected += "error : nesting too deep " + Printed(Path("out/" + prefix.substr(2) + "d.dat")) + "\n";
    EXPECT_TRUE(Gave(UnpackBytes(level[0]), 1, expected, want));
}

// An entry spanning its whole archive holds the archive itself; unpacking it
// would repeat the walk that led to it without end.
TEST_F(NestedCli, ArchiveThatContainsItselfIsNotUnpackedAgain) {
    Archive a = Of({Named("self.dat", Bytes{}), Named("b.dat", Bytes{})});
    const uint32_t length = static_cast<uint32_t>(a.Build().size());
    a.entries[0].offset = 0;
    a.entries[0].size = length;
    const Bytes top = a.Build();
    EXPECT_TRUE(Gave(UnpackBytes(top), 1,
                     "self.dat " + N(length) + " bytes\nerror : archive contains itself " + Printed(Path("out/self.dat")) +
                         "\nb.dat 0 bytes\n",
                     {{"self.dat", ToString(top)}, {"b.dat", ""}}));
}

TEST_F(NestedCli, DotsOnlyNameGivesUnsafePrefix) {
    if (WindowsTool()) GTEST_SKIP() << "'...' is itself an unsafe name on Windows";
    const Bytes inner = Of({Named("a.txt", "A"), Named("b.txt", "B")}).Build();
    EXPECT_TRUE(Gave(Unpack(Of({Named("...", inner)})), 1,
                     "... " + N(inner.size()) + " bytes\n../a.txt 1 bytes\nerror : unsafe path " +
                         Printed(Path("out/../a.txt")) + "\n../b.txt 1 bytes\nerror : unsafe path " +
                         Printed(Path("out/../b.txt")) + "\n",
                     {{"...", ToString(inner)}}));
    EXPECT_FALSE(Exists("a.txt"));
}

// A nested archive named ".x" gets the prefix "/": its entries still land
// in the destination (or, without one, in the folder the tool works in).
TEST_F(NestedCli, NestedPrefixThatIsOnlyASeparatorStaysInside) {
    const Bytes inner = Of({Named("in.bin", "IN")}).Build();
    const Archive top = Of({Named(".x", inner)});
    const std::string lines = ".x " + N(inner.size()) + " bytes\n/in.bin 2 bytes\n";
    EXPECT_TRUE(Gave(Unpack(top), 0, lines, {{"in.bin", "IN"}}));
    const std::string tool = CopyTool("tool");
    const RunResult r = RunToolAt(tool, {ToolPath(Path("x.dat"))}, Path("tool"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Lines(lines));
    EXPECT_EQ(ReadFile(Path("tool/in.bin")), ToBytes("IN"));
}

// The top archive lies inside the destination, where a nested archive's
// entry would be written.
TEST_F(NestedCli, NestedEntryNamingTheTopArchiveIsRefused) {
    const Bytes inner = Of({Named("top.dat", "evil"), Named("b.txt", "B")}).Build();
    const Archive top = Of({Named("in.dat", inner)});
    const Bytes topBytes = top.Build();
    std::filesystem::create_directories(Path("out/in"));
    top.Write(Path("out/in/top.dat"));
    EXPECT_TRUE(Gave(Run("", "out/in/top.dat"), 1,
                     "in.dat " + N(inner.size()) + " bytes\nin/top.dat 4 bytes\nerror : cannot create " +
                         Printed(Path("out/in/top.dat")) + "\nin/b.txt 1 bytes\n",
                     {{"in.dat", ToString(inner)}, {"in/", ""}, {"in/top.dat", ToString(topBytes)}, {"in/b.txt", "B"}}));
}

// 'a.b/' + 'c' has its last '.' in the folder part: the prefix becomes 'a/'.
TEST_F(NestedCli, NestedPrefixCutsAtLastDotAnywhere) {
    const Bytes leaf = Of({Named("x.txt", "1")}).Build();
    const Bytes mid = Of({Named("c", leaf)}).Build();
    EXPECT_TRUE(Gave(Unpack(Of({Named("a.b.dat", mid)})), 0,
                     "a.b.dat " + N(mid.size()) + " bytes\na.b/c " + N(leaf.size()) + " bytes\na/x.txt 1 bytes\n",
                     {{"a.b/", ""}, {"a/", ""}, {"a/x.txt", "1"}}));
}

}  // namespace
