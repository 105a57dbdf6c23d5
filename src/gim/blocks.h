// The frame of a GIM file: the file header, the tree of blocks, and the
// info headers of the image and its palette.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gim/gim_error.h"

namespace gim {

// What an image or palette info header says, and where its level 0 of
// frame 0 lies.  Offsets are from the start of the file.
struct InfoHeader {
    unsigned format = 0;      // pixel format, or palette format
    unsigned order = 0;       // 1: swizzled
    uint32_t width = 0;       // pixels, or palette entries
    uint32_t height = 0;
    uint32_t pitchAlign = 0;  // bytes
    uint64_t dataStart = 0;   // the first pixel row, or the first entry
    uint64_t blockEnd = 0;    // the end of the block that holds the data
};

struct GimLayout {
    InfoHeader image;
    InfoHeader palette;
    // kNone when the palette was found and its info header read; why not
    // otherwise (only indexed images need it).
    GimError paletteStatus = GimError::kNoPalette;
};

// Checks the file header, finds the image and palette blocks of the first
// picture (or of the root when there is no picture) and reads their info
// headers.  Returns kNone and fills *layout, or why the file cannot be
// converted.  Reads only inside file[0, size); every walk moves forward.
GimError ReadLayout(const uint8_t* file, size_t size, GimLayout* layout);

}  // namespace gim
