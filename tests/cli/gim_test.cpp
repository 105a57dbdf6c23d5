// Whole-program tests: GIM images ("MIG." at the start) get the ".gim"
// extension.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_fixture.h"

using namespace clitest;

namespace {

const std::string kGim = "MIG.00.1PSP";  // 11 bytes

class GimCli : public CliTest {};

TEST_F(GimCli, RenamesImagesToGim) {
    const Bytes gz = Gzip(ToBytes(kGim));
    GzipOptions named;
    named.fname = "pic.bin";
    const Bytes gzNamed = Gzip(ToBytes(kGim), named);
    struct Case {
        std::vector<Entry> entries;
        std::string out;
        TreeMap tree;
        bool posixOnly = false;
        std::string dest = "out";
    };
    const Case cases[] = {
        {{Named("tex_03.dat", kGim)}, "tex_03.dat 11 bytes\n", {{"tex_03.gim", kGim}}},
        {{Named("tex.gim", kGim), Named("a.gim.bak", kGim)}, "tex.gim 11 bytes\na.gim.bak 11 bytes\n",
         {{"tex.gim", kGim}, {"a.gim.bak", kGim}}},
        // An existing file of the new name is replaced.
        {{Named("tex.gim", "plain"), Named("tex.bin", kGim)}, "tex.gim 5 bytes\ntex.bin 11 bytes\n",
         {{"tex.gim", kGim}}},
        {{Named("tex.a.b", kGim)}, "tex.a.b 11 bytes\n", {{"tex.a.gim", kGim}}},
        {{Named("TEX.GIM", kGim)}, "TEX.GIM 11 bytes\n", {{"TEX.gim", kGim}}, true},
        {{Named("tex", kGim)}, "tex 11 bytes\n", {{"tex.gim", kGim}}},
        {{Named("x.y/tex", kGim)}, "x.y/tex 11 bytes\n", {{"x.y/", ""}, {"x.y/tex.gim", kGim}}},
        {{Named("a.gim/tex.bin", kGim)}, "a.gim/tex.bin 11 bytes\n", {{"a.gim/", ""}, {"a.gim/tex.bin", kGim}}},
        // Only the archive's part of the path counts, never the destination.
        {{Named("tex.bin", kGim)}, "tex.bin 11 bytes\n", {{"tex.gim", kGim}}, false, "my.gimages/out"},
        {{Named("m3.bin", "MIG"), Named("m4.bin", "MIG."), Named("m5.bin", "MIGA")},
         "m3.bin 3 bytes\nm4.bin 4 bytes\nm5.bin 4 bytes\n",
         {{"m3.bin", "MIG"}, {"m4.gim", "MIG."}, {"m5.bin", "MIGA"}}},
        {{Unnamed(ToBytes(kGim))}, "x_01.dat 11 bytes\n", {{"x_01.gim", kGim}}},
        {{Named("img.dat", gz), Named("p", gzNamed)},
         "img.dat " + std::to_string(gz.size()) + " bytes to 11 bytes\np " + std::to_string(gzNamed.size()) +
             " bytes to 11 bytes\n",
         {{"img.gim", kGim}, {"pic.gim", kGim}}},
    };
    for (const Case& c : cases) {
        if (c.posixOnly && WindowsTool()) continue;
        SCOPED_TRACE(c.out);
        RemoveTree(Path(c.dest));
        Archive a;
        a.entries = c.entries;
        a.Write(Path("x.dat"));
        RunResult r = RunTool({ToolPath(Path("x.dat")), ToolPath(Path(c.dest))});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, Lines(c.out));
        EXPECT_EQ(Tree(Path(c.dest)), c.tree);
    }
}

TEST_F(GimCli, NeverReplacesTheOpenArchive) {
    Archive a;
    a.entries.push_back(Named("tex.bin", kGim));
    const Bytes archive = a.Build();
    std::filesystem::create_directories(Path("out"));
    a.Write(Path("out/tex.gim"));
    RunResult r = RunTool({ToolPath(Path("out/tex.gim")), ToolPath(Path("out"))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Lines("tex.bin 11 bytes\n"));
    EXPECT_EQ(Tree(Path("out")), (TreeMap{{"tex.bin", kGim}, {"tex.gim", ToString(archive)}}));
}

}  // namespace
