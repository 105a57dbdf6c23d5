// The GIM decoder against images whose pixels are known: every pixel and
// palette format, linear and swizzled, odd sizes, the ways blocks can be
// laid out; broken files refused; the PNG output read back.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <sstream>
#include <string>

#include "gim/gim_image.h"
#include "gim/png_writer.h"
#include "gim_writer.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb/stb_image.h>

namespace {

using gim::GimError;
using testgim::Bytes;
using testgim::PutLE16;
using testgim::PutLE32;
using Rgba = std::array<uint8_t, 4>;

struct Rng {
    uint32_t state;
    uint32_t operator()(uint32_t n) { return ((state = state * 1103515245u + 12345u) >> 8) % n; }
};

// Values each channel width stores exactly (top bits repeated below).
// Scaling by 255/31 or 255/63 instead misses some: 24 (5 bits) and 44 (6
// bits) when rounded, 33 when truncated, 231 either way.
const std::vector<uint8_t> k1 = {0, 255}, k4 = {0, 17, 34, 119, 255}, k5 = {0, 24, 33, 107, 231, 255},
                           k6 = {0, 4, 44, 65, 195, 255}, k8 = {0, 1, 127, 128, 200, 255};

// A random colour that word format f (0-3) stores exactly.
Rgba ColourFor(unsigned f, Rng& rng) {
    auto pick = [&rng](const std::vector<uint8_t>& v) { return v[rng(static_cast<uint32_t>(v.size()))]; };
    if (f == 0) return {pick(k5), pick(k6), pick(k5), 255};
    if (f == 1) return {pick(k5), pick(k5), pick(k5), pick(k1)};
    if (f == 2) return {pick(k4), pick(k4), pick(k4), pick(k4)};
    return {pick(k8), pick(k8), pick(k8), pick(k8)};
}

// Appends c as a word of format f (red in the low bits).
void PutWord(unsigned f, Rgba rgba, Bytes& out) {
    const uint32_t c[4] = {rgba[0], rgba[1], rgba[2], rgba[3]};
    const uint32_t word = f == 0   ? c[0] >> 3 | c[1] >> 2 << 5 | c[2] >> 3 << 11
                          : f == 1 ? c[0] >> 3 | c[1] >> 3 << 5 | c[2] >> 3 << 10 | c[3] >> 7 << 15
                          : f == 2 ? c[0] >> 4 | c[1] >> 4 << 4 | c[2] >> 4 << 8 | c[3] >> 4 << 12
                                   : c[0] | c[1] << 8 | c[2] << 16 | c[3] << 24;
    for (unsigned k = 0; k < (f == 3 ? 4u : 2u); ++k) out.push_back(static_cast<uint8_t>(word >> 8 * k));
}

// Appends the index of pixel x of a row (INDEX4: left pixel in the low nibble).
void PutIndex(unsigned format, uint32_t x, uint32_t index, Bytes& row) {
    if (format == 4 && x % 2 == 1) {
        row.back() = static_cast<uint8_t>(row.back() | index << 4);
        return;
    }
    for (unsigned k = 0; k < (format == 4 || format == 5 ? 1u : format == 6 ? 2u : 4u); ++k) {
        row.push_back(static_cast<uint8_t>(index >> 8 * k));
    }
}

// DXT colour parts with their four colours worked out by hand.
struct ColourPart {
    uint16_t c0, c1;
    Rgba colours[4];
};
const ColourPart kColourParts[] = {
    {0xF800, 0x001F, {{255, 0, 0, 255}, {0, 0, 255, 255}, {170, 0, 85, 255}, {85, 0, 170, 255}}},
    {0x001F, 0xF800, {{0, 0, 255, 255}, {255, 0, 0, 255}, {127, 0, 127, 255}, {0, 0, 0, 0}}},
    {0x2104, 0x0000, {{33, 32, 33, 255}, {0, 0, 0, 255}, {22, 21, 22, 255}, {11, 10, 11, 255}}},
    {0x7BEF, 0x7BEF, {{123, 125, 123, 255}, {123, 125, 123, 255}, {123, 125, 123, 255}, {0, 0, 0, 0}}},
};
// DXT5 alpha endpoints with their eight alphas worked out by hand.
struct AlphaPart {
    uint8_t a0, a1, alphas[8];
};
const AlphaPart kAlphaParts[] = {{200, 100, {200, 100, 185, 171, 157, 142, 128, 114}},
                                 {50, 150, {50, 150, 70, 90, 110, 130, 0, 255}}};

// One DXT block in the PSP's order, its texels' colours in texels.
Bytes DxtBlock(unsigned format, Rng& rng, Rgba* texels) {
    const ColourPart& part = kColourParts[rng(4)];
    const AlphaPart& alpha = kAlphaParts[rng(2)];
    Bytes block(4, 0);
    uint64_t alphaBits = 0;
    for (unsigned i = 0; i < 16; ++i) {
        const uint32_t colour = rng(4), a = rng(format == 9 ? 16 : 8);
        block[i / 4] = static_cast<uint8_t>(block[i / 4] | colour << 2 * (i % 4));
        alphaBits |= static_cast<uint64_t>(a) << (format == 9 ? 4 : 3) * i;
        texels[i] = part.colours[colour];
        if (format != 8) texels[i][3] = format == 9 ? static_cast<uint8_t>(a * 17) : alpha.alphas[a];
    }
    for (uint16_t c : {part.c0, part.c1}) block.insert(block.end(), {uint8_t(c), uint8_t(c >> 8)});
    for (unsigned k = 0; k < (format == 9 ? 8u : format == 10 ? 6u : 0u); ++k) {
        block.push_back(static_cast<uint8_t>(alphaBits >> 8 * k));
    }
    if (format == 10) block.insert(block.end(), {alpha.a0, alpha.a1});
    return block;
}

struct Case {
    const char* name;
    uint16_t format, width, height;
    bool swizzled;
    int paletteFormat;       // -1: none
    uint32_t paletteCount;   // entries; past 65535 written as 2 rows
    uint32_t indexRange;     // indices drawn below it; 0: below paletteCount
    testgim::Layout layout;
    uint16_t pitchAlign;
};

struct Made {
    testgim::Level image;
    std::optional<testgim::Level> palette;
    Bytes expected;  // RGBA
};

// The image of a case, stored and as the decoder must show it.
Made Make(const Case& c) {
    Rng rng{c.width * 7919u + c.height};
    Made m;
    m.image = {c.format, c.width, c.height, c.swizzled, c.pitchAlign, {}};
    m.expected.resize(size_t{c.width} * c.height * 4);
    std::vector<Rgba> colours;
    if (c.paletteFormat >= 0) {
        const auto pf = static_cast<uint16_t>(c.paletteFormat);
        const uint16_t rows = c.paletteCount > 65535 ? 2 : 1;
        Bytes entries;
        for (uint32_t i = 0; i < c.paletteCount; ++i) PutWord(pf, colours.emplace_back(ColourFor(pf, rng)), entries);
        m.palette = testgim::Level{pf, static_cast<uint16_t>(c.paletteCount / rows), rows, false, 16, {entries}};
    }
    const bool dxt = (c.format & 0xFF) >= 8;
    const unsigned side = dxt ? 4 : 1;
    for (uint32_t top = 0; top < c.height; top += side) {
        Bytes row;
        for (uint32_t left = 0; left < c.width; left += side) {
            Rgba texels[16];
            if (dxt) {
                const Bytes block = DxtBlock(c.format & 0xFF, rng, texels);
                row.insert(row.end(), block.begin(), block.end());
            } else if (c.paletteFormat >= 0) {
                const uint32_t index = rng(c.indexRange ? c.indexRange : c.paletteCount);
                PutIndex(c.format, left, index, row);
                texels[0] = index < colours.size() ? colours[index] : Rgba{0, 0, 0, 0};
            } else {
                texels[0] = ColourFor(c.format, rng);
                PutWord(c.format, texels[0], row);
            }
            for (uint32_t y = top; y < std::min(top + side, uint32_t{c.height}); ++y) {
                for (uint32_t x = left; x < std::min(left + side, uint32_t{c.width}); ++x) {
                    const Rgba& t = texels[(y - top) * side + x - left];
                    std::copy(t.begin(), t.end(), &m.expected[(size_t{y} * c.width + x) * 4]);
                }
            }
        }
        m.image.rows.push_back(row);
    }
    return m;
}

const testgim::Layout kPlain{};

TEST(GimDecode, ImagesShowTheirPixels) {
    testgim::Layout noPicture, paletteFirst, userData, emptyTable, padded;
    noPicture.picture = false;
    paletteFirst.paletteFirst = paletteFirst.fileInfo = paletteFirst.laterPicture = true;
    userData.tableOffset = 0x3C;
    emptyTable.emptyTable = true;
    padded.rootSizeExtra = 15;
    padded.trailing = 40;
    const Case cases[] = {
        {"5650 3x5", 0, 3, 5, false, -1, 0, 0, kPlain, 16},
        {"5650 17x9 swizzled", 0, 17, 9, true, -1, 0, 0, kPlain, 16},
        {"5551 1x1", 1, 1, 1, false, -1, 0, 0, kPlain, 16},
        {"5551 100x3 swizzled", 1, 100, 3, true, -1, 0, 0, kPlain, 16},
        {"4444 17x9", 2, 17, 9, false, -1, 0, 0, kPlain, 16},
        {"4444 3x5 swizzled", 2, 3, 5, true, -1, 0, 0, kPlain, 16},
        {"8888 100x3", 3, 100, 3, false, -1, 0, 0, kPlain, 16},
        {"8888 17x9 swizzled", 3, 17, 9, true, -1, 0, 0, kPlain, 16},
        {"8888 3x5 pitch 1", 3, 3, 5, false, -1, 0, 0, kPlain, 1},
        {"8888 3x5 pitch 20", 3, 3, 5, false, -1, 0, 0, kPlain, 20},
        {"index4 33x17 swizzled, 5551", 4, 33, 17, true, 1, 16, 0, kPlain, 16},
        {"index4 1x1, 5650", 4, 1, 1, false, 0, 16, 0, kPlain, 16},
        {"index4 3x5, 4444", 4, 3, 5, false, 2, 16, 0, kPlain, 16},
        {"index4 17x9 swizzled, 8888", 4, 17, 9, true, 3, 16, 0, kPlain, 16},
        {"index8 100x3, 5650", 5, 100, 3, false, 0, 256, 0, kPlain, 16},
        {"index8 17x9 swizzled, 5551", 5, 17, 9, true, 1, 256, 0, kPlain, 16},
        {"index8 3x5 swizzled, 4444", 5, 3, 5, true, 2, 256, 0, kPlain, 16},
        {"index8 1x1, 8888", 5, 1, 1, false, 3, 256, 0, kPlain, 16},
        {"index8 past a 16-entry palette", 5, 17, 9, false, 3, 16, 256, kPlain, 16},
        {"index16 17x9 swizzled, 300 entries", 6, 17, 9, true, 0, 300, 0, kPlain, 16},
        {"index32 33x7, 70000 entries", 7, 33, 7, false, 2, 70000, 70100, kPlain, 16},
        {"dxt1 8x4", 8, 8, 4, false, -1, 0, 0, kPlain, 16},
        {"dxt1 8x12 order 1, pitch 4", 8, 8, 12, true, -1, 0, 0, kPlain, 4},
        {"dxt1 6x5", 8, 6, 5, false, -1, 0, 0, kPlain, 16},
        {"dxt3 16x12", 9, 16, 12, false, -1, 0, 0, kPlain, 16},
        {"dxt5 12x8", 10, 12, 8, false, -1, 0, 0, kPlain, 16},
        {"dxt1ext 8x8", 0x108, 8, 8, false, -1, 0, 0, kPlain, 16},
        {"dxt3ext 4x4", 0x109, 4, 4, false, -1, 0, 0, kPlain, 16},
        {"dxt5ext 16x4", 0x10A, 16, 4, false, -1, 0, 0, kPlain, 16},
        {"no picture block", 5, 17, 9, false, 1, 256, 0, noPicture, 16},
        {"palette first, file info, later picture", 4, 17, 9, true, 1, 16, 0, paletteFirst, 16},
        {"user data before the table", 4, 17, 9, false, 1, 16, 0, userData, 16},
        {"empty offset table", 4, 17, 9, false, 1, 16, 0, emptyTable, 16},
        {"root size past the end, junk after", 4, 17, 9, false, 1, 16, 0, padded, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Made m = Make(c);
        const Bytes file = testgim::BuildGim(m.image, m.palette, c.layout).bytes;
        gim::RgbaImage image;
        EXPECT_EQ(gim::DecodeGim(file.data(), file.size(), &image), GimError::kNone);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_TRUE(image.pixels == m.expected);
    }
}

// The usual writer's layout of a 33x17 swizzled INDEX4 image, byte for
// byte up to its pixels.
TEST(GimDecode, WriterLaysOutBlocksAsUsual) {
    const Made m = Make({"", 4, 33, 17, true, 1, 16, 0, kPlain, 16});
    testgim::Layout withInfo;
    withInfo.fileInfo = true;
    const testgim::GimFile f = testgim::BuildGim(m.image, m.palette, withInfo);
    const Bytes head(f.bytes.begin(), f.bytes.begin() + 0x80);
    std::istringstream dump(
        "4D 49 47 2E 30 30 2E 31 50 53 50 00 00 00 00 00  02 00 00 00 29 04 00 00 10 00 00 00 10 00 00 00 "
        "03 00 00 00 D0 03 00 00 10 00 00 00 10 00 00 00  04 00 00 00 50 03 00 00 50 03 00 00 10 00 00 00 "
        "30 00 00 00 04 00 01 00 21 00 11 00 04 00 10 00  08 00 02 00 00 00 00 00 30 00 00 00 40 00 00 00 "
        "40 03 00 00 00 00 00 00 01 00 01 00 03 00 01 00  40 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    Bytes expected;
    for (unsigned byte = 0; dump >> std::hex >> byte;) expected.push_back(static_cast<uint8_t>(byte));
    EXPECT_EQ(head, expected);
    EXPECT_EQ(f.palette, 0x380u);
}

struct Broken {
    const char* name;
    GimError error;
    std::function<void(testgim::GimFile&)> spoil;
};

TEST(GimDecode, BrokenFilesAreRefused) {
    const Made index4 = Make({"", 4, 33, 17, true, 1, 16, 0, kPlain, 16});
    const Made dxt5 = Make({"", 10, 12, 6, false, -1, 0, 0, kPlain, 16});
    testgim::Layout noPicture;
    noPicture.picture = false;
    const Made rgba = Make({"", 3, 3, 5, true, -1, 0, 0, kPlain, 16});
    const testgim::GimFile bases[] = {testgim::BuildGim(index4.image, index4.palette),
                                      testgim::BuildGim(dxt5.image, std::nullopt),
                                      testgim::BuildGim(rgba.image, std::nullopt, noPicture)};
    for (const testgim::GimFile& base : bases) {
        for (size_t cut = 0; cut < base.bytes.size(); ++cut) {
            const Bytes part(base.bytes.begin(), base.bytes.begin() + static_cast<long>(cut));
            gim::RgbaImage image;
            EXPECT_NE(gim::DecodeGim(part.data(), part.size(), &image), GimError::kNone) << cut;
            EXPECT_TRUE(image.pixels.empty());
        }
    }
    using F = testgim::GimFile;
    const Broken cases[] = {
        {"signature", GimError::kNotGim, [](F& f) { f.bytes[3] = 'X'; }},
        {"big-endian", GimError::kBigEndian, [](F& f) { std::copy_n(".GIM1.00\0PSP", 12, f.bytes.begin()); }},
        {"root type", GimError::kBadBlock, [](F& f) { PutLE16(f.bytes, 0x10, 3); }},
        {"root child 0", GimError::kBadBlock, [](F& f) { PutLE32(f.bytes, 0x18, 0); }},
        {"root child 8", GimError::kBadBlock, [](F& f) { PutLE32(f.bytes, 0x18, 8); }},
        {"picture child 4", GimError::kBadBlock, [](F& f) { PutLE32(f.bytes, f.picture + 8, 4); }},
        {"image data offset 0", GimError::kBadBlock, [](F& f) { PutLE32(f.bytes, f.image + 12, 0); }},
        {"root size 0", GimError::kNoImage, [](F& f) { PutLE32(f.bytes, 0x14, 0); }},
        {"picture size 0", GimError::kNoImage, [](F& f) { PutLE32(f.bytes, f.picture + 4, 0); }},
        {"picture child outside", GimError::kNoImage, [](F& f) { PutLE32(f.bytes, f.picture + 8, 0xFFFFFF00); }},
        {"image size 0", GimError::kDataOutside, [](F& f) { PutLE32(f.bytes, f.image + 4, 0); }},
        {"image size past all", GimError::kNoPalette, [](F& f) { PutLE32(f.bytes, f.image + 4, 0xFFFFFFFF); }},
        {"no image", GimError::kNoImage, [](F& f) { PutLE16(f.bytes, f.image, 6); }},
        {"no palette", GimError::kNoPalette, [](F& f) { PutLE16(f.bytes, f.palette, 6); }},
        {"format 11", GimError::kBadFormat, [](F& f) { PutLE16(f.bytes, f.image + 0x14, 11); }},
        {"format 0x107", GimError::kBadFormat, [](F& f) { PutLE16(f.bytes, f.image + 0x14, 0x107); }},
        {"format 0x10B", GimError::kBadFormat, [](F& f) { PutLE16(f.bytes, f.image + 0x14, 0x10B); }},
        {"palette format 4", GimError::kBadPaletteFormat, [](F& f) { PutLE16(f.bytes, f.palette + 0x14, 4); }},
        {"width 0", GimError::kEmptyImage, [](F& f) { PutLE16(f.bytes, f.image + 0x18, 0); }},
        {"height 0", GimError::kEmptyImage, [](F& f) { PutLE16(f.bytes, f.image + 0x1A, 0); }},
        {"palette of 0", GimError::kEmptyImage, [](F& f) { PutLE16(f.bytes, f.palette + 0x18, 0); }},
        {"65535x65535", GimError::kDataOutside, [](F& f) { PutLE32(f.bytes, f.image + 0x18, 0xFFFFFFFF); }},
        {"pitch align", GimError::kDataOutside, [](F& f) { PutLE16(f.bytes, f.image + 0x1E, 0xFFFF); }},
        {"table entry outside", GimError::kDataOutside, [](F& f) { PutLE32(f.bytes, f.image + 0x40, 0xFFFFFFF0); }},
        {"images outside", GimError::kDataOutside, [](F& f) {
             PutLE32(f.bytes, f.image + 0x28, 0);
             PutLE32(f.bytes, f.image + 0x2C, 0x7FFFFFFF);
         }},
        {"palette entries outside", GimError::kDataOutside, [](F& f) { PutLE32(f.bytes, f.palette + 0x40, 0x50); }},
        {"palette too long", GimError::kDataOutside, [](F& f) { PutLE16(f.bytes, f.palette + 0x18, 0xFFFF); }},
        {"palette info outside", GimError::kDataOutside, [](F& f) { PutLE32(f.bytes, f.palette + 12, 0xFFFFFFF0); }},
    };
    for (const Broken& c : cases) {
        testgim::GimFile f = bases[0];
        c.spoil(f);
        gim::RgbaImage image;
        EXPECT_EQ(gim::DecodeGim(f.bytes.data(), f.bytes.size(), &image), c.error) << c.name;
    }
}

TEST(GimPng, ReadsBackAsRgba) {
    const Made m = Make({"", 3, 17, 9, false, -1, 0, 0, kPlain, 16});
    Bytes png;
    auto keep = [&png](const uint8_t* data, size_t len) {
        png.insert(png.end(), data, data + len);
        return 0;
    };
    ASSERT_EQ(gim::WritePng(m.expected.data(), 17, 9, keep), 0);
    // IHDR: width 17, height 9, 8 bits, colour type 6 (RGBA), deflate,
    // adaptive filters, no interlace.
    const Bytes ihdr = {0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 17, 0, 0, 0, 9, 8, 6, 0, 0, 0};
    ASSERT_GE(png.size(), 29u);
    EXPECT_EQ(Bytes(png.begin() + 8, png.begin() + 29), ihdr);
    int w = 0, h = 0, channels = 0;
    uint8_t* back = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &channels, 4);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Bytes(back, back + w * h * 4), m.expected);
    stbi_image_free(back);

    EXPECT_EQ(gim::WritePng(m.expected.data(), 17, 9, [](const uint8_t*, size_t) { return -1; }), -1);
    EXPECT_EQ(gim::WritePng(m.expected.data(), 0, 9, keep), -1);
    EXPECT_EQ(gim::WritePng(m.expected.data(), 65535, 65535, keep), -1);
}

}  // namespace
