// Writes the seed archives of the extractor's fuzzer: one of each kind of
// entry the walk treats differently; with a second folder, also the seeds of
// the inflater's differential fuzzer (four seed bytes, then deflate data);
// with a third, GIM images for the GIM decoder's fuzzer.
// Usage: make_corpus <folder> [deflate seed folder [gim seed folder]]
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "dat_writer.h"
#include "gim_writer.h"

using namespace testdat;

namespace {

Bytes GimImage() {
    Bytes b = ToBytes("MIG.00.1PSP");
    b.resize(32, 0x11);
    return b;
}

// Small GIM images of the main kinds: indexed with a palette, swizzled;
// 32-bit colour; DXT1 blocks.
std::vector<std::pair<std::string, Bytes>> Textures() {
    testgim::Level index4;
    index4.format = 4;
    index4.width = index4.height = 8;
    index4.swizzled = true;
    for (int y = 0; y < 8; ++y) index4.rows.push_back(testgim::Bytes(4, static_cast<uint8_t>(0x10 * y + y)));
    testgim::Level palette;
    palette.format = 3;
    palette.width = 16;
    palette.rows.push_back(testgim::Bytes(64, 0x7F));
    testgim::Level rgba;
    rgba.format = 3;
    rgba.width = 3;
    rgba.height = 2;
    rgba.rows = {testgim::Bytes(12, 0x40), testgim::Bytes(12, 0xC0)};
    testgim::Level dxt1;
    dxt1.format = 8;
    dxt1.width = 8;
    dxt1.height = 4;
    dxt1.rows = {testgim::Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xF8, 0x1F, 0x00, 0xAA, 0xAA, 0xAA, 0xAA, 0x00, 0xF8, 0x1F, 0x00}};
    return {{"index4.gim", testgim::BuildGim(index4, palette).bytes},
            {"rgba.gim", testgim::BuildGim(rgba, std::nullopt).bytes},
            {"dxt1.gim", testgim::BuildGim(dxt1, std::nullopt).bytes}};
}

Bytes Text(int lines) {
    std::string s;
    for (int i = 0; i < lines; ++i) s += "line " + std::to_string(i) + "\n";
    return ToBytes(s);
}

std::vector<std::pair<std::string, Archive>> Seeds() {
    std::vector<std::pair<std::string, Archive>> seeds;

    Archive stored;
    stored.entries = {Named("a.txt", "alpha\n"), Named("dir/sub\\b.bin ignored", "beta"),
                      Named("one", "1"), Named("empty", "")};
    seeds.emplace_back("stored.dat", stored);

    GzipOptions all;
    all.fname = "inner.txt.gz";
    all.extra = Bytes{'A', 'B', 2, 0, 'x', 'y'};
    all.comment = "a comment";
    all.headerCrc = true;
    GzipOptions storedBlocks;
    storedBlocks.level = 0;
    Archive gzip;
    gzip.entries = {Named("packed.bin.gz", Gzip(Text(50), all)), Named("plain.gz", Gzip(Text(3))),
                    Named("level0.gz", Gzip(Text(20), storedBlocks))};
    seeds.emplace_back("gzip.dat", gzip);

    Archive inner;
    inner.entries = {Named("deep.txt", "deep\n"), Unnamed(GimImage())};
    Archive middle;
    middle.entries = {Named("mid.txt", "middle\n"), Named("inner.dat", inner.Build())};
    Archive nested;
    nested.entries = {Named("middle.pack", middle.Build()), Named("zipped.dat.gz", Gzip(middle.Build()))};
    seeds.emplace_back("nested.dat", nested);

    Archive gim;
    gim.entries = {Named("tex/image.bin", GimImage()), Named("noext", GimImage()),
                   Named("already.gim.x", GimImage())};
    seeds.emplace_back("gim.dat", gim);

    // Header byte 9 odd: the check converts GIM images to PNG (-g).
    Archive textures;
    for (const auto& [name, data] : Textures()) textures.entries.push_back(Named(name, data));
    textures.entries.push_back(Named("packed.bin", Gzip(Textures()[0].second)));
    seeds.emplace_back("textures.dat", textures);

    Archive unnamed;
    unnamed.entries = {Unnamed(ToBytes("first")), Unnamed(Gzip(Text(5))), Named("named", "n")};
    seeds.emplace_back("unnamed.dat", unnamed);

    return seeds;
}

// Deflate data of every kind the inflaters treat differently: stored,
// fixed and dynamic blocks, a stream cut short, one that turns to garbage.
std::vector<std::pair<std::string, Bytes>> DeflateSeeds() {
    const Bytes text = Text(400);
    std::vector<std::pair<std::string, Bytes>> seeds;
    for (int level : {0, 1, 6, 9}) seeds.emplace_back("level" + std::to_string(level), Deflate(text, true, level));
    seeds.emplace_back("short", Deflate(ToBytes("ab"), true, 6));
    Bytes cut = Deflate(text, false, 6);
    seeds.emplace_back("unfinished", cut);
    cut.resize(cut.size() / 2);
    seeds.emplace_back("cut", cut);
    Bytes garbage = Deflate(text, false, 6);
    for (uint8_t b : Bytes{0x07, 0xAA, 0x55, 0xAA, 0x55}) garbage.push_back(b);
    seeds.emplace_back("garbage", garbage);
    for (auto& [name, data] : seeds) data.insert(data.begin(), {0x12, 0x34, 0x56, 0x78});
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: make_corpus <folder> [deflate seed folder [gim seed folder]]\n");
        return 2;
    }
    try {
        for (const auto& [name, archive] : Seeds()) {
            Bytes bytes = archive.Build();
            if (name == "textures.dat") bytes[9] = 1;
            WriteFile(std::string(argv[1]) + "/" + name, bytes);
        }
        if (argc >= 3)
            for (const auto& [name, data] : DeflateSeeds()) WriteFile(std::string(argv[2]) + "/" + name, data);
        if (argc == 4)
            for (const auto& [name, data] : Textures()) WriteFile(std::string(argv[3]) + "/" + name, data);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_corpus: %s\n", e.what());
        return 1;
    }
    return 0;
}
