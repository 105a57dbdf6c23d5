// A test-only writer of little-endian GIM files: file header, block tree,
// image and palette blocks with their info headers and offset tables.  The
// pixels are given as tight rows; the writer pads them to the pitch (with
// junk, which decoders must not show) and swizzles them when asked.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace testgim {

using Bytes = std::vector<uint8_t>;

struct Level {
    uint16_t format = 3;  // pixel format, or palette format
    uint16_t width = 1;   // pixels, or palette entries
    uint16_t height = 1;
    bool swizzled = false;
    uint16_t pitchAlign = 16;
    // Pixel rows (INDEX4: low nibble = left pixel), DXT: rows of blocks;
    // palette: one row of entries.
    std::vector<Bytes> rows;
};

struct Layout {
    bool picture = true;       // false: image and palette are children of the root
    bool paletteFirst = false;
    bool fileInfo = false;     // a FILE_INFO block after the picture
    bool laterPicture = false;  // a second picture after the first, its image of format 0xFFFF
    uint32_t tableOffset = 0x30;
    bool emptyTable = false;   // offset table entry 0 left 0: `images` gives the start
    uint32_t rootSizeExtra = 0;  // added to the root's size (past the file's end)
    size_t trailing = 0;       // junk bytes after the root block
};

// A built file and where its blocks start.
struct GimFile {
    Bytes bytes;
    size_t picture = 0, image = 0, palette = 0;
};

GimFile BuildGim(const Level& image, const std::optional<Level>& palette, const Layout& layout = {});

void PutLE16(Bytes& b, size_t pos, uint32_t v);
void PutLE32(Bytes& b, size_t pos, uint32_t v);

}  // namespace testgim
