// Little-endian reads and the PSP's colour words, expanded to 8-bit RGBA.
// Every channel narrower than 8 bits is widened by repeating its top bits,
// so 0 stays 0 and the largest value becomes 255.
#pragma once

#include <cstdint>

namespace gim {

struct Rgba {
    uint8_t r, g, b, a;
};

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Channel widening; v holds only the channel's bits.
inline uint8_t Expand1(unsigned v) { return v != 0 ? 255 : 0; }
inline uint8_t Expand4(unsigned v) { return static_cast<uint8_t>(v * 17); }
inline uint8_t Expand5(unsigned v) { return static_cast<uint8_t>(v << 3 | v >> 2); }
inline uint8_t Expand6(unsigned v) { return static_cast<uint8_t>(v << 2 | v >> 4); }

// The GE's 16-bit texel words keep red in the low bits.
inline Rgba From5650(unsigned w) { return {Expand5(w & 31), Expand6(w >> 5 & 63), Expand5(w >> 11 & 31), 255}; }
inline Rgba From5551(unsigned w) {
    return {Expand5(w & 31), Expand5(w >> 5 & 31), Expand5(w >> 10 & 31), Expand1(w >> 15 & 1)};
}
inline Rgba From4444(unsigned w) {
    return {Expand4(w & 15), Expand4(w >> 4 & 15), Expand4(w >> 8 & 15), Expand4(w >> 12 & 15)};
}
inline Rgba From8888(const uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }

// The word formats shared by pixels 0-3 and palette entries.
enum WordFormat : unsigned { kRgba5650 = 0, kRgba5551 = 1, kRgba4444 = 2, kRgba8888 = 3 };

// Bytes of one word of format f (0-3).
inline unsigned WordSize(unsigned f) { return f == kRgba8888 ? 4 : 2; }

// Decodes the word of format f (0-3) at p.
inline Rgba FromWord(unsigned f, const uint8_t* p) {
    switch (f) {
        case kRgba5650: return From5650(Le16(p));
        case kRgba5551: return From5551(Le16(p));
        case kRgba4444: return From4444(Le16(p));
        default: return From8888(p);
    }
}

inline void PutRgba(uint8_t* out, Rgba c) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

}  // namespace gim
