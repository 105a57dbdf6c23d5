// The gzip member decoder: steps over the header, then inflates the deflate
// data from a byte source into a byte sink.  It knows nothing of files or of
// the listing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "extract/inflater.h"
#include "io/byte_stream.h"

enum class GzipHeaderResult { kOk, kBad, kUnreadable };

// Steps over a gzip header (signature, method, flags, time, extra flags,
// system, then the optional extra field, file name, comment and header
// CRC), leaving src at the deflate data.  When the header carries a file
// name, *fileName becomes its bytes.  kBad: the member ends inside the
// header, or the file name is longer than any file system takes.
// kUnreadable: src failed.
GzipHeaderResult ReadGzipHeader(ByteSource& src, std::optional<std::string>* fileName);

struct InflateOutcome {
    enum Stop { kEnd, kCode, kReadFailed, kWriteFailed } stop;
    int code;           // for kCode: the code the listing prints (see inflater.h)
    uint64_t produced;  // bytes handed to the sink, whatever the stop
};

// Inflates the deflate data that src holds to its end into sink with the
// given back end.  Every byte decoded before an error reaches the sink.
// Data that end before the final block stop with kInflateTruncated; bytes
// after the final block are left unread.  The bytes, the stop and the code
// are the same with either back end: when ISA-L stops on an error, zlib
// decodes the data again from where src stood (so src must be able to go
// back), and the sink may be asked to drop bytes ISA-L wrote past zlib's
// stop.
InflateOutcome InflateMember(ByteSource& src, ByteSink& sink, InflateBackEnd backEnd = DefaultInflateBackEnd());
