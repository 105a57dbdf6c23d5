// The gzip trailer's CRC-32, at the speed of the fastest code the build has.
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of len bytes following those whose CRC-32 is crc (0 to start).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t len);
