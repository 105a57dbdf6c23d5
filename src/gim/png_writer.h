// Encodes RGBA pixels as a PNG file: 8-bit RGBA, non-interlaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace gim {

// Receives the encoded bytes; returns 0, or -1 when they could not be
// written.
using PngSink = std::function<int(const uint8_t* data, size_t len)>;

// Encodes width x height pixels (4 bytes each, R G B A, rows top to bottom)
// as one PNG and hands it to write.  Returns 0 on success, -1 when the image
// is empty or too large for the encoder, memory is short, or write returned
// -1.  Memory: about three times the pixels' size while encoding.
int WritePng(const uint8_t* pixels, uint32_t width, uint32_t height, const PngSink& write);

}  // namespace gim
