#include "gim_writer.h"

#include <algorithm>
#include <string>

namespace testgim {
namespace {

constexpr uint8_t kJunk = 0xEE;
constexpr uint16_t kRoot = 0x02, kPicture = 0x03, kImage = 0x04, kPalette = 0x05, kFileInfo = 0xFF;

size_t AlignUp(size_t v, size_t a) { return a <= 1 ? v : (v + a - 1) / a * a; }

bool IsDxt(unsigned f) { return (f >= 8 && f <= 10) || (f >= 0x108 && f <= 0x10A); }

unsigned Bits(unsigned f) {
    static const unsigned bits[] = {16, 16, 16, 32, 4, 8, 16, 32, 4, 8, 8};
    return bits[f >= 0x108 ? f - 0x100 : f];
}

void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

Bytes BlockHeader(uint16_t type, size_t size, size_t childOffset) {
    Bytes b(16, 0);
    PutLE16(b, 0, type);
    PutLE32(b, 4, static_cast<uint32_t>(size));
    PutLE32(b, 8, static_cast<uint32_t>(childOffset));
    PutLE32(b, 12, 16);
    return b;
}

// The stored pixels: rows padded to the pitch, DXT block rows 4 pitches
// apart, swizzled levels (never DXT) padded to whole tiles of 16 bytes x 8
// rows, stored tile by tile.
Bytes Plane(const Level& level) {
    const bool dxt = IsDxt(level.format);
    const bool tiled = level.swizzled && !dxt;
    size_t pitch = (AlignUp(level.width, dxt ? 4 : 1) * Bits(level.format) + 7) / 8;
    pitch = AlignUp(AlignUp(pitch, level.pitchAlign), tiled ? 16 : 1);
    const size_t stride = dxt ? 4 * pitch : pitch;
    const size_t rows = dxt ? (level.height + 3u) / 4 : AlignUp(level.height, tiled ? 8 : 1);
    Bytes linear(stride * rows, kJunk);
    for (size_t y = 0; y < level.rows.size(); ++y) {
        std::copy(level.rows[y].begin(), level.rows[y].end(), linear.begin() + static_cast<long>(y * stride));
    }
    if (!tiled) return linear;
    Bytes stored(linear.size());
    for (size_t y = 0; y < rows; ++y) {
        for (size_t x = 0; x < pitch; ++x) {
            stored[(y / 8 * (pitch / 16) + x / 16) * 128 + y % 8 * 16 + x % 16] = linear[y * pitch + x];
        }
    }
    return stored;
}

// An image or palette block: header, info header, (user data,) offset
// table, data.  The bpp field is written as one known encoder does (32 for
// every unindexed format): readers must not trust it.
Bytes LevelBlock(uint16_t type, const Level& level, const Bytes& data, const Layout& layout) {
    const size_t dataStart = AlignUp(layout.tableOffset + 4, 16);
    Bytes b = BlockHeader(type, 16 + dataStart + data.size(), 16 + dataStart + data.size());
    b.resize(16 + dataStart, 0);
    std::fill(b.begin() + 16 + 0x30, b.begin() + 16 + layout.tableOffset, kJunk);  // user data
    const bool indexed = type == kImage && level.format >= 4 && level.format <= 7;
    const unsigned bpp = indexed ? Bits(level.format) : type == kPalette && level.format != 3 ? 16 : 32;
    const uint16_t fields[] = {0x30, 0, level.format, level.swizzled, level.width, level.height,
                               uint16_t(bpp), level.pitchAlign, uint16_t(level.swizzled ? 8 : 1), 2};
    for (size_t k = 0; k < std::size(fields); ++k) PutLE16(b, 16 + 2 * k, fields[k]);
    PutLE32(b, 16 + 0x18, layout.tableOffset);
    PutLE32(b, 16 + 0x1C, static_cast<uint32_t>(dataStart));
    PutLE32(b, 16 + 0x20, static_cast<uint32_t>(dataStart + data.size()));
    const uint16_t levels[] = {static_cast<uint16_t>(type == kImage ? 1 : 2), 1, 3, 1};
    for (size_t k = 0; k < 4; ++k) PutLE16(b, 16 + 0x28 + 2 * k, levels[k]);
    if (!layout.emptyTable) PutLE32(b, 16 + layout.tableOffset, static_cast<uint32_t>(dataStart));
    Append(b, data);
    return b;
}

}  // namespace

void PutLE16(Bytes& b, size_t pos, uint32_t v) {
    b[pos] = static_cast<uint8_t>(v);
    b[pos + 1] = static_cast<uint8_t>(v >> 8);
}

void PutLE32(Bytes& b, size_t pos, uint32_t v) {
    PutLE16(b, pos, v & 0xFFFF);
    PutLE16(b, pos + 2, v >> 16);
}

GimFile BuildGim(const Level& image, const std::optional<Level>& palette, const Layout& layout) {
    const Bytes imageBlock = LevelBlock(kImage, image, Plane(image), layout);
    const Bytes paletteBlock = palette ? LevelBlock(kPalette, *palette, palette->rows.at(0), layout) : Bytes{};
    GimFile f;
    f.picture = 0x20;
    const size_t first = layout.picture ? 0x30 : 0x20;
    f.image = first + (layout.paletteFirst ? paletteBlock.size() : 0);
    f.palette = first + (layout.paletteFirst ? 0 : imageBlock.size());
    Bytes children = layout.paletteFirst ? paletteBlock : imageBlock;
    Append(children, layout.paletteFirst ? imageBlock : paletteBlock);
    if (layout.picture) {
        Bytes picture = BlockHeader(kPicture, 16 + children.size(), 16);
        Append(picture, children);
        children = picture;
        if (layout.laterPicture) {
            PutLE16(picture, f.image - f.picture + 0x14, 0xFFFF);
            Append(children, picture);
        }
    }
    if (layout.fileInfo) {
        const std::string text("images.png\0person\0Sat Jan  1 00:00:00 2000\0converter 1.0", 57);
        Append(children, BlockHeader(kFileInfo, 16 + text.size(), 16 + text.size()));
        children.insert(children.end(), text.begin(), text.end());
    }
    const std::string header("MIG.00.1PSP\0\0\0\0\0", 16);
    f.bytes.assign(header.begin(), header.end());
    Append(f.bytes, BlockHeader(kRoot, 16 + children.size() + layout.rootSizeExtra, 16));
    Append(f.bytes, children);
    f.bytes.resize(f.bytes.size() + layout.trailing, kJunk);
    return f;
}

}  // namespace testgim
