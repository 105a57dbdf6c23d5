// Expanding the deflate data of a gzip member and checking its trailer.  It
// knows nothing of files or of the listing: bytes come from a source and go
// to a sink.
#pragma once

#include <cstdint>

#include "gzip/inflater.h"
#include "io/byte_stream.h"

// What the trailer said of the expanded bytes.
enum class GzipChecksum {
    kNone,  // nothing to check: the stream did not end, fewer than 8 bytes follow it, or 8 zero bytes
    kOk,    // the CRC-32 and the length match
    kBad,   // they do not
};

struct InflateOutcome {
    enum Stop { kEnd, kCode, kReadFailed, kWriteFailed } stop;
    int code;           // for kCode: the code the listing prints (see inflater.h)
    uint64_t produced;  // bytes handed to the sink, whatever the stop
    GzipChecksum checksum;
};

// Expands the deflate data that src holds, from where it stands to its end,
// into sink, then checks the 8 bytes after the final block, when there are
// 8, as the CRC-32 and the length (mod 2^32) of the expanded bytes.  Every
// byte decoded before an error reaches the sink.  Data that end before the
// final block stop with kInflateTruncated.
//
// The result is zlib's whatever the back end: ISA-L's output is kept only
// when the trailer proves it; otherwise (an error, no trailer, a mismatch)
// the data are expanded again with zlib from the start, so src must be able
// to go back and the sink to start again.
InflateOutcome ExpandMember(ByteSource& src, ByteSink& sink, InflateBackEnd backEnd = DefaultInflateBackEnd());

// Expands the first bytes of the deflate data that src holds, from where it
// stands, into out: stops once want bytes are there, at the end of the
// stream, or at an error.  Returns how many bytes it expanded.  Cheap
// whatever the member's size: it decodes only as far as it must.
size_t ExpandHead(ByteSource& src, uint8_t* out, size_t want);
