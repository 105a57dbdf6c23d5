// PNG encoding through stb_image_write, with a real deflate doing the
// compression (smaller files than stb's own compressor): ISA-L's in builds
// that have it, several times faster than zlib's at a like size; zlib's
// compress2 otherwise.  stb is compiled here only, its functions static to
// this file.
#include "gim/png_writer.h"

#include <zlib.h>
#ifdef RAVELKIT_WITH_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <cstdlib>
#include <cstdint>
#include <memory>
#include <new>

namespace {

// Level 1 writes a 256x256 texture in half the time of level 6 or less.
// Its files are within about 10% of level 6 for grainy content; flat art
// comes out a few times larger, yet still small.  Levels 4 and up (lazy
// matching) take 10-30 ms on grainy content.
constexpr int kDeflateLevel = 1;

#ifdef RAVELKIT_WITH_ISAL
// Deflates len bytes of data into out (room bytes) as a zlib stream with
// ISA-L at its level 1.  Returns the stream's length, or 0 when it did not
// fit or failed.
size_t IsalCompress(const unsigned char* data, size_t len, unsigned char* out, size_t room) {
    std::unique_ptr<uint8_t[]> level(new (std::nothrow) uint8_t[ISAL_DEF_LVL1_DEFAULT]);
    if (!level || len > UINT32_MAX || room > UINT32_MAX) return 0;
    isal_zstream stream;
    isal_deflate_init(&stream);
    stream.level = 1;
    stream.level_buf = level.get();
    stream.level_buf_size = ISAL_DEF_LVL1_DEFAULT;
    stream.gzip_flag = IGZIP_ZLIB;
    stream.end_of_stream = 1;
    stream.next_in = const_cast<uint8_t*>(data);
    stream.avail_in = static_cast<uint32_t>(len);
    stream.next_out = out;
    stream.avail_out = static_cast<uint32_t>(room);
    if (isal_deflate(&stream) != COMP_OK || stream.internal_state.state != ZSTATE_END) return 0;
    return room - stream.avail_out;
}
#endif

// stb's compressor hook: deflates len bytes of data into a malloc'ed zlib
// stream (with ISA-L where the build has it, else zlib), storing its length
// in *outLen.  Returns the stream, or null on failure.  stb's own level is
// ignored in favour of kDeflateLevel.
unsigned char* DeflateForPng(unsigned char* data, int len, int* outLen, int /*stbLevel*/) {
    uLongf bound = compressBound(static_cast<uLong>(len));
    auto* out = static_cast<unsigned char*>(std::malloc(bound));
    if (out == nullptr) return nullptr;
#ifdef RAVELKIT_WITH_ISAL
    if (size_t made = IsalCompress(data, static_cast<size_t>(len), out, bound)) {
        *outLen = static_cast<int>(made);
        return out;
    }
#endif
    if (compress2(out, &bound, data, static_cast<uLong>(len), kDeflateLevel) != Z_OK) {
        std::free(out);
        return nullptr;
    }
    *outLen = static_cast<int>(bound);
    return out;
}

}  // namespace

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS DeflateForPng
#include <stb/stb_image_write.h>

namespace gim {
namespace {

constexpr int kChannels = 4;
constexpr int kSubFilter = 1;
// stb computes sizes in int: the filtered rows (a filter byte, then the
// pixels), their deflated form (at most a little larger) and the chunks
// around it must all stay below INT_MAX.
constexpr uint64_t kMaxFilteredBytes = 0x70000000;

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};

}  // namespace

int WritePng(const uint8_t* pixels, uint32_t width, uint32_t height, const PngSink& write) {
    if (width == 0 || height == 0) return -1;
    const uint64_t filtered = (uint64_t{width} * kChannels + 1) * height;
    if (filtered > kMaxFilteredBytes) return -1;
    const int w = static_cast<int>(width);
    int len = 0;
    // Every row filtered by its left neighbour: trying all five filters on
    // each row costs twice the time for files no smaller on textures.
    stbi_write_force_png_filter = kSubFilter;
    std::unique_ptr<unsigned char, FreeDeleter> png(
        stbi_write_png_to_mem(pixels, w * kChannels, w, static_cast<int>(height), kChannels, &len));
    if (!png) return -1;
    return write(png.get(), static_cast<size_t>(len)) == 0 ? 0 : -1;
}

}  // namespace gim
