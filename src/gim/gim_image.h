// The GIM image decoder: turns the bytes of one whole GIM file (the PSP's
// little-endian "MIG.00.1" form) into 8-bit RGBA pixels.  It does no I/O and
// knows nothing of archives or files; every read stays inside the bytes it
// is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gim/gim_error.h"

namespace gim {

// Straight-alpha RGBA, 4 bytes a pixel (R, G, B, A), rows top to bottom.
struct RgbaImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // width * height * 4 bytes
};

// Decodes level 0 of frame 0 of the first image of the GIM file held in
// file[0, size), cropped to the width and height its header gives.
// Returns kNone and fills *image on success; any other value leaves *image
// empty.  Memory: the image itself, one row of pixel data and at most
// 256 KiB of palette, allocated only once the pixel data is known to lie
// inside the file.
GimError DecodeGim(const uint8_t* file, size_t size, RgbaImage* image);

}  // namespace gim
