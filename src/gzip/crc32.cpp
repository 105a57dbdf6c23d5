// ISA-L's CRC-32 (folding with carry-less multiplication where the processor
// has it) in builds with ISA-L; zlib's otherwise.
#include "gzip/crc32.h"

#ifdef RAVELKIT_WITH_ISAL
#include <isa-l/crc.h>
#else
#include <zlib.h>

#include <algorithm>
#endif

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t len) {
#ifdef RAVELKIT_WITH_ISAL
    return crc32_gzip_refl(crc, data, len);
#else
    // zlib takes an unsigned int count.
    while (len > 0) {
        const auto piece = static_cast<uInt>(std::min<size_t>(len, 1u << 30));
        crc = static_cast<uint32_t>(crc32(crc, data, piece));
        data += piece;
        len -= piece;
    }
    return crc;
#endif
}
