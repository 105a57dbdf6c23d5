// DXT1/3/5 texture blocks as the PSP stores them.
#pragma once

#include <cstdint>

namespace gim {

enum class Dxt { k1, k3, k5 };

// Bytes of one block of 4x4 pixels.
inline unsigned DxtBlockSize(Dxt kind) { return kind == Dxt::k1 ? 8 : 16; }

// Decodes the blocks covering a width x height image into pixels (RGBA,
// width * height * 4 bytes), cropping the blocks at the right and bottom
// edges.  Block (bx, by) starts at blocks + by * blockRowStride +
// bx * DxtBlockSize(kind); the caller has checked that every block lies
// inside its data.
void DecodeDxt(Dxt kind, const uint8_t* blocks, uint64_t blockRowStride, uint32_t width, uint32_t height,
               uint8_t* pixels);

}  // namespace gim
