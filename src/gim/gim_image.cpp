// From the located level to RGBA: pixel formats, row geometry, the PSP
// swizzle and palettes.  The level's bytes are checked to lie inside their
// block before anything is allocated, so the image's size is bounded by the
// file's.
#include "gim/gim_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "gim/blocks.h"
#include "gim/colors.h"
#include "gim/dxt.h"

namespace gim {
namespace {

// Pixel format codes 0-10; the DXT "EXT" codes 0x108-0x10A that some writers use
// are read as 8-10.
constexpr unsigned kIndex4 = 4;
constexpr unsigned kIndex8 = 5;
constexpr unsigned kIndex16 = 6;
constexpr unsigned kIndex32 = 7;
constexpr unsigned kDxt1 = 8;
constexpr unsigned kDxt3 = 9;
constexpr unsigned kDxt5 = 10;
constexpr unsigned kDxtExtFirst = 0x108;
constexpr unsigned kDxtExtLast = 0x10A;
constexpr unsigned kBitsPerPixel[] = {16, 16, 16, 32, 4, 8, 16, 32, 4, 8, 8};

// The PSP swizzle's tiles: 16 bytes wide, 8 rows high, 128 bytes stored.
constexpr uint64_t kTileWidth = 16;
constexpr uint64_t kTileRows = 8;
constexpr uint64_t kTileBytes = kTileWidth * kTileRows;
constexpr uint64_t kDxtBlockSide = 4;
// Entries of a palette decoded ahead; larger palettes (INDEX16/32 only)
// decode their further entries on each use.
constexpr uint64_t kPaletteTableLimit = 65536;

uint64_t AlignUp(uint64_t v, uint64_t a) { return a <= 1 ? v : (v + a - 1) / a * a; }

// Whether length bytes from start end at or before end.
bool Fits(uint64_t start, uint64_t length, uint64_t end) { return start <= end && length <= end - start; }

// The code a format is decoded as, 0-10, or -1 when it is unknown.
int DecodedFormat(unsigned format) {
    if (format <= kDxt5) return static_cast<int>(format);
    if (format >= kDxtExtFirst && format <= kDxtExtLast) return static_cast<int>(format - kDxtExtFirst + kDxt1);
    return -1;
}

// How the level's bytes lie in the file.
struct Plane {
    const uint8_t* start = nullptr;
    uint64_t pitch = 0;  // bytes from one pixel row to the next
    uint64_t rows = 0;   // pixel rows stored, padding included
    bool swizzled = false;
};

// The pitch and rows of a level (start left unset).  Rows are padded to
// pitchAlign bytes.  Swizzled levels are whole tiles; DXT levels are whole
// blocks, never swizzled.
Plane PlaneOf(const InfoHeader& info, unsigned format) {
    const bool dxt = format >= kDxt1;
    const uint64_t span = dxt ? AlignUp(info.width, kDxtBlockSide) : info.width;
    Plane plane;
    plane.pitch = AlignUp((span * kBitsPerPixel[format] + 7) / 8, info.pitchAlign);
    plane.rows = info.height;
    plane.swizzled = info.order == 1 && !dxt;
    if (plane.swizzled) {
        plane.pitch = AlignUp(plane.pitch, kTileWidth);
        plane.rows = AlignUp(plane.rows, kTileRows);
    }
    if (dxt) plane.rows = AlignUp(plane.rows, kDxtBlockSide);
    return plane;
}

// The colours of an indexed image.  An index past the last entry gives
// transparent black.
class Palette {
public:
    // Reads the palette of layout for indices of indexBits bits.  Returns
    // kNone, or why it cannot be used.
    GimError Load(const uint8_t* file, const GimLayout& layout, unsigned indexBits) {
        if (layout.paletteStatus != GimError::kNone) return layout.paletteStatus;
        const InfoHeader& info = layout.palette;
        if (info.format > kRgba8888) return GimError::kBadPaletteFormat;
        format_ = info.format;
        entrySize_ = WordSize(format_);
        count_ = static_cast<uint64_t>(info.width) * info.height;
        if (count_ == 0) return GimError::kEmptyImage;
        if (!Fits(info.dataStart, count_ * entrySize_, info.blockEnd)) return GimError::kDataOutside;
        entries_ = file + info.dataStart;
        const uint64_t reachable = uint64_t{1} << std::min(indexBits, 16u);
        table_.resize(static_cast<size_t>(std::min({count_, reachable, kPaletteTableLimit})));
        for (size_t i = 0; i < table_.size(); ++i) table_[i] = FromWord(format_, entries_ + i * entrySize_);
        return GimError::kNone;
    }

    Rgba operator[](uint32_t index) const {
        if (index < table_.size()) return table_[index];
        if (index < count_) return FromWord(format_, entries_ + static_cast<uint64_t>(index) * entrySize_);
        return Rgba{0, 0, 0, 0};
    }

private:
    std::vector<Rgba> table_;
    const uint8_t* entries_ = nullptr;
    uint64_t count_ = 0;
    unsigned format_ = 0;
    unsigned entrySize_ = 0;
};

// Writes width pixels, pixel(x) giving the colour of pixel x.
template <typename PixelAt>
void PutRow(uint32_t width, uint8_t* out, PixelAt pixel) {
    for (uint32_t x = 0; x < width; ++x) PutRgba(out + static_cast<size_t>(x) * 4, pixel(x));
}

// One row of 16/32-bit colour words.
void DecodeWordRow(unsigned format, const uint8_t* in, uint32_t width, uint8_t* out) {
    switch (format) {
        case kRgba5650: PutRow(width, out, [in](uint32_t x) { return From5650(Le16(in + 2 * x)); }); break;
        case kRgba5551: PutRow(width, out, [in](uint32_t x) { return From5551(Le16(in + 2 * x)); }); break;
        case kRgba4444: PutRow(width, out, [in](uint32_t x) { return From4444(Le16(in + 2 * x)); }); break;
        default: std::memcpy(out, in, static_cast<size_t>(width) * 4); break;
    }
}

// One row of palette indices.  In INDEX4 the left pixel of each byte is its
// low nibble.
void DecodeIndexRow(unsigned format, const uint8_t* in, uint32_t width, const Palette& palette, uint8_t* out) {
    switch (format) {
        case kIndex4: PutRow(width, out, [&](uint32_t x) { return palette[in[x / 2] >> 4 * (x & 1) & 15]; }); break;
        case kIndex8: PutRow(width, out, [&](uint32_t x) { return palette[in[x]]; }); break;
        case kIndex16: PutRow(width, out, [&](uint32_t x) { return palette[Le16(in + 2 * x)]; }); break;
        default: PutRow(width, out, [&](uint32_t x) { return palette[Le32(in + 4 * x)]; }); break;
    }
}

// Copies the first `bytes` bytes of row y of a swizzled level into row.  The
// PSP stores such levels in tiles of 16 bytes x 8 rows, the tiles left to
// right and then top to bottom, each tile's 8 rows of 16 bytes back to back.
void GatherSwizzledRow(const Plane& plane, uint64_t y, uint64_t bytes, uint8_t* row) {
    const uint64_t tilesPerRow = plane.pitch / kTileWidth;
    const uint8_t* tile = plane.start + (y / kTileRows * tilesPerRow) * kTileBytes + y % kTileRows * kTileWidth;
    for (uint64_t done = 0; done < bytes; done += kTileWidth, tile += kTileBytes) {
        std::memcpy(row + done, tile, kTileWidth);
    }
}

// Decodes formats 0-7 row by row into image.
void DecodeRows(unsigned format, const Plane& plane, const Palette& palette, RgbaImage* image) {
    const uint64_t rowBytes = (static_cast<uint64_t>(image->width) * kBitsPerPixel[format] + 7) / 8;
    std::vector<uint8_t> gathered(plane.swizzled ? static_cast<size_t>(AlignUp(rowBytes, kTileWidth)) : 0);
    for (uint32_t y = 0; y < image->height; ++y) {
        const uint8_t* row = plane.start + y * plane.pitch;
        if (plane.swizzled) {
            GatherSwizzledRow(plane, y, rowBytes, gathered.data());
            row = gathered.data();
        }
        uint8_t* out = image->pixels.data() + static_cast<size_t>(y) * image->width * 4;
        if (format <= kRgba8888) {
            DecodeWordRow(format, row, image->width, out);
        } else {
            DecodeIndexRow(format, row, image->width, palette, out);
        }
    }
}

// Allocates and decodes the pixels once the level is known to lie in the
// file.  Returns kNone, or why the image cannot be made.
GimError DecodePixels(const uint8_t* file, const GimLayout& layout, unsigned format, const Plane& plane,
                      RgbaImage* image) {
    Palette palette;
    if (format >= kIndex4 && format <= kIndex32) {
        const GimError status = palette.Load(file, layout, kBitsPerPixel[format]);
        if (status != GimError::kNone) return status;
    }
    image->width = layout.image.width;
    image->height = layout.image.height;
    image->pixels.resize(static_cast<size_t>(image->width) * image->height * 4);
    if (format >= kDxt1) {
        const Dxt kind = format == kDxt1 ? Dxt::k1 : format == kDxt3 ? Dxt::k3 : Dxt::k5;
        DecodeDxt(kind, plane.start, plane.pitch * kDxtBlockSide, image->width, image->height, image->pixels.data());
    } else {
        DecodeRows(format, plane, palette, image);
    }
    return GimError::kNone;
}

}  // namespace

GimError DecodeGim(const uint8_t* file, size_t size, RgbaImage* image) {
    *image = RgbaImage{};
    GimLayout layout;
    GimError status = ReadLayout(file, size, &layout);
    if (status != GimError::kNone) return status;
    const InfoHeader& info = layout.image;
    const int decoded = DecodedFormat(info.format);
    if (decoded < 0) return GimError::kBadFormat;
    const unsigned format = static_cast<unsigned>(decoded);
    if (info.width == 0 || info.height == 0) return GimError::kEmptyImage;
    Plane plane = PlaneOf(info, format);
    if (!Fits(info.dataStart, plane.pitch * plane.rows, info.blockEnd)) return GimError::kDataOutside;
    plane.start = file + info.dataStart;
    try {
        status = DecodePixels(file, layout, format, plane, image);
    } catch (const std::bad_alloc&) {
        status = GimError::kNoMemory;
    }
    if (status != GimError::kNone) *image = RgbaImage{};
    return status;
}

}  // namespace gim
