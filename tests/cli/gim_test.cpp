// Whole-program tests: GIM images ("MIG." at the start) get the ".gim"
// extension.
#include <gtest/gtest.h>

#include <filesystem>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include "cli_fixture.h"
#include "gim_writer.h"

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
        RemoveTree(Path(c.dest));
        Of(c.entries).Write(Path("x.dat"));
        EXPECT_TRUE(Gave(Run("", "x.dat", c.dest), 0, c.out, c.tree, c.dest)) << c.out;
    }
}

TEST_F(GimCli, NeverReplacesTheOpenArchive) {
    const Bytes archive = Of({Named("tex.bin", kGim)}).Build();
    std::filesystem::create_directories(Path("out"));
    WriteFile(Path("out/tex.gim"), archive);
    EXPECT_TRUE(
        Gave(Run("", "out/tex.gim"), 0, "tex.bin 11 bytes\n", {{"tex.bin", kGim}, {"tex.gim", ToString(archive)}}));
}

// A 3x5 RGBA image whose pixels are p(x, y), and its GIM file.
Bytes Rgba3x5(uint8_t seed, std::vector<uint8_t>* pixels) {
    testgim::Level image;
    image.width = 3;
    image.height = 5;
    for (int y = 0; y < 5; ++y) {
        testgim::Bytes row;
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 4; ++c) row.push_back(static_cast<uint8_t>(seed + 40 * x + 7 * y + 60 * c));
        pixels->insert(pixels->end(), row.begin(), row.end());
        image.rows.push_back(row);
    }
    return testgim::BuildGim(image, std::nullopt).bytes;
}

// The pixels of a PNG file (8-bit RGBA), or none when it is not one.
std::vector<uint8_t> PngPixels(const std::string& png) {
    int w = 0, h = 0, channels = 0;
    uint8_t* p = stbi_load_from_memory(reinterpret_cast<const uint8_t*>(png.data()), static_cast<int>(png.size()), &w,
                                       &h, &channels, 4);
    if (p == nullptr) return {};
    std::vector<uint8_t> pixels(p, p + size_t(w) * size_t(h) * 4);
    stbi_image_free(p);
    return pixels;
}

// With -g every GIM image, stored, in a gzip member or in a nested archive,
// gets a PNG named after the whole GIM file name; an image the converter
// cannot handle gets an error line and no PNG, and keeps its .gim.
TEST_F(GimCli, ImagesBecomePngBesideThem) {
    std::vector<uint8_t> a, b, c;
    const Bytes stored = Rgba3x5(1, &a), packed = Rgba3x5(2, &b), nestedImage = Rgba3x5(3, &c);
    Bytes broken = stored;
    broken.resize(broken.size() - 30);
    const Bytes inner = Of({Named("in.bin", nestedImage)}).Build();
    const Bytes gz = Gzip(packed);
    Of({Named("t/tex_03.dat", stored), Named("p.bin.gz", gz), Named("n.dat", inner), Named("bad.bin", broken),
        Named("t/tex_03.png", "the archive's own")})
        .Write(Path("x.dat"));
    const TreeMap before = Tree(dir_);
    RunResult test = Run("tg");
    EXPECT_EQ(Tree(dir_), before);
    RunResult r = Run("g");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("t/tex_03.dat " + N(stored.size()) + " bytes\np.bin.gz " + N(gz.size()) + " bytes to " +
                           N(packed.size()) + " bytes\nn.dat " + N(inner.size()) + " bytes\nn/in.bin " +
                           N(nestedImage.size()) + " bytes\nbad.bin " + N(broken.size()) +
                           " bytes\nerror : cannot convert " + Printed(Path("out/bad.gim")) +
                           "\nt/tex_03.png 17 bytes\n"));
    EXPECT_EQ(test.out, r.out);
    EXPECT_EQ(test.status, r.status);
    const TreeMap out = Out();
    EXPECT_EQ(PngPixels(out.at("t/tex_03.gim.png")), a);
    EXPECT_EQ(PngPixels(out.at("p.gim.png")), b);
    EXPECT_EQ(PngPixels(out.at("n/in.gim.png")), c);
    EXPECT_EQ(out.at("t/tex_03.png"), "the archive's own");
    EXPECT_EQ(out.at("bad.gim"), ToString(broken));
    EXPECT_EQ(out.count("bad.gim.png"), 0u);
    EXPECT_EQ(out.count("n.dat"), 0u);  // unpacked without a failure, so removed
    // JSON names the PNG of a converted entry.
    RunResult j = Run("gj");
    EXPECT_NE(j.out.find("tex_03.gim.png\"}"), std::string::npos) << j.out;
}

}  // namespace
