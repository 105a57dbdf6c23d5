// libFuzzer harness of the GIM decoder: any bytes are decoded; a decoded
// image must have the size its header gives, at most 8 RGBA bytes for each
// input byte (the pixel data lies in the input, 4 bits a pixel at least),
// and small ones are encoded as PNG too.
#include <cstddef>
#include <cstdint>

#include "gim/gim_image.h"
#include "gim/png_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gim::RgbaImage image;
    if (gim::DecodeGim(data, size, &image) != gim::GimError::kNone) return 0;
    const size_t bytes = size_t{image.width} * image.height * 4;
    if (bytes == 0 || image.pixels.size() != bytes || bytes > 8 * size) __builtin_trap();
    if (bytes > 65536) return 0;
    const int written = gim::WritePng(image.pixels.data(), image.width, image.height,
                                      [](const uint8_t*, size_t len) { return len > 0 ? 0 : -1; });
    if (written != 0) __builtin_trap();
    return 0;
}
