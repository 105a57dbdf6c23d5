// The PSP keeps the parts of a DXT block in the reverse of the PC order:
// the colour part comes first, and in it the 2-bit indices (one byte per
// row, leftmost pixel in the low bits) come before the two 565 endpoints.
// The alpha part of DXT3/5 follows the colour part.
#include "gim/dxt.h"

#include <cstddef>

#include "gim/colors.h"

namespace gim {
namespace {

constexpr unsigned kBlockSide = 4;
constexpr unsigned kTexels = kBlockSide * kBlockSide;

// A DXT endpoint: red in the high bits, unlike the GE's 16-bit texels.
Rgba FromEndpoint(unsigned w) { return {Expand5(w >> 11 & 31), Expand6(w >> 5 & 63), Expand5(w & 31), 255}; }

uint8_t Blend(unsigned a, unsigned b, unsigned weightA, unsigned weightB, unsigned divisor) {
    return static_cast<uint8_t>((weightA * a + weightB * b) / divisor);
}

// The colours between two endpoints, weighted, opaque.
Rgba Between(Rgba e0, Rgba e1, unsigned w0, unsigned w1, unsigned divisor) {
    return {Blend(e0.r, e1.r, w0, w1, divisor), Blend(e0.g, e1.g, w0, w1, divisor),
            Blend(e0.b, e1.b, w0, w1, divisor), 255};
}

// Fills the 16 texels from the colour part.  When the first endpoint is not
// above the second, the block has three colours and black; in DXT1 that
// black is transparent.
void DecodeColourPart(const uint8_t* block, bool transparentBlack, Rgba* texels) {
    const unsigned c0 = Le16(block + 4);
    const unsigned c1 = Le16(block + 6);
    const Rgba e0 = FromEndpoint(c0);
    const Rgba e1 = FromEndpoint(c1);
    Rgba colours[4] = {e0, e1, Between(e0, e1, 2, 1, 3), Between(e0, e1, 1, 2, 3)};
    if (c0 <= c1) {
        colours[2] = Between(e0, e1, 1, 1, 2);
        colours[3] = {0, 0, 0, static_cast<uint8_t>(transparentBlack ? 0 : 255)};
    }
    for (unsigned y = 0; y < kBlockSide; ++y) {
        for (unsigned x = 0; x < kBlockSide; ++x) texels[y * kBlockSide + x] = colours[block[y] >> 2 * x & 3];
    }
}

// DXT3: one u16 of 4-bit alphas per row, leftmost pixel in the low bits.
void DecodeExplicitAlpha(const uint8_t* part, Rgba* texels) {
    for (unsigned y = 0; y < kBlockSide; ++y) {
        const unsigned row = Le16(part + 2 * y);
        for (unsigned x = 0; x < kBlockSide; ++x) texels[y * kBlockSide + x].a = Expand4(row >> 4 * x & 15);
    }
}

// DXT5: 3-bit indices of 16 pixels in a 48-bit little-endian field, then
// the two alpha endpoints.
void DecodeInterpolatedAlpha(const uint8_t* part, Rgba* texels) {
    uint64_t indices = 0;
    for (unsigned k = 0; k < 6; ++k) indices |= static_cast<uint64_t>(part[k]) << 8 * k;
    const unsigned a0 = part[6];
    const unsigned a1 = part[7];
    uint8_t alphas[8] = {static_cast<uint8_t>(a0), static_cast<uint8_t>(a1)};
    if (a0 > a1) {
        for (unsigned j = 2; j < 8; ++j) alphas[j] = Blend(a0, a1, 8 - j, j - 1, 7);
    } else {
        for (unsigned j = 2; j < 6; ++j) alphas[j] = Blend(a0, a1, 6 - j, j - 1, 5);
        alphas[6] = 0;
        alphas[7] = 255;
    }
    for (unsigned i = 0; i < kTexels; ++i) texels[i].a = alphas[indices >> 3 * i & 7];
}

void DecodeBlock(Dxt kind, const uint8_t* block, Rgba* texels) {
    DecodeColourPart(block, kind == Dxt::k1, texels);
    if (kind == Dxt::k3) DecodeExplicitAlpha(block + 8, texels);
    if (kind == Dxt::k5) DecodeInterpolatedAlpha(block + 8, texels);
}

}  // namespace

void DecodeDxt(Dxt kind, const uint8_t* blocks, uint64_t blockRowStride, uint32_t width, uint32_t height,
               uint8_t* pixels) {
    const unsigned blockSize = DxtBlockSize(kind);
    Rgba texels[kTexels];
    for (uint32_t top = 0; top < height; top += kBlockSide) {
        const uint8_t* block = blocks + top / kBlockSide * blockRowStride;
        for (uint32_t left = 0; left < width; left += kBlockSide, block += blockSize) {
            DecodeBlock(kind, block, texels);
            for (uint32_t y = top; y < top + kBlockSide && y < height; ++y) {
                for (uint32_t x = left; x < left + kBlockSide && x < width; ++x) {
                    PutRgba(pixels + (static_cast<size_t>(y) * width + x) * 4,
                            texels[(y - top) * kBlockSide + (x - left)]);
                }
            }
        }
    }
}

}  // namespace gim
