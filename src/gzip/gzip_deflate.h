// Compressing bytes into the deflate data of a gzip member: the way back of
// ExpandMember.  It knows nothing of files: bytes come from a source and go
// to a sink.
#pragma once

#include <cstdint>

#include "io/byte_stream.h"

struct DeflateOutcome {
    enum Stop { kEnd, kReadFailed, kWriteFailed, kNoMemory } stop;
    uint32_t crc;     // the CRC-32 of the bytes read, for the member's trailer
    uint64_t length;  // how many bytes were read
};

// Compresses everything src holds from where it stands into raw deflate
// data (no zlib or gzip wrapper) at zlib's level 9, written to sink in
// pieces, so memory does not grow with the data.
DeflateOutcome DeflateAll(ByteSource& src, ByteSink& sink);
