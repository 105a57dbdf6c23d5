// The header of a gzip member, stepped over by hand.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "io/byte_stream.h"

// The fields of a gzip header a listing or a packer may want.
struct GzipHeader {
    uint8_t flags = 0;
    uint32_t mtime = 0;
    uint8_t extraFlags = 0;
    uint8_t os = 0;
    std::optional<std::string> fileName;  // the bytes of the FNAME field, when there is one
};

enum class GzipHeaderResult { kOk, kBad, kUnreadable };

// Steps over a gzip header (signature, method, flags, time, extra flags,
// system, then the optional extra field, file name, comment and header
// CRC), leaving src at the deflate data.  kBad: the member ends inside the
// header, or the file name is longer than any file system takes (64 KiB).
// kUnreadable: src failed.
GzipHeaderResult ReadGzipHeader(ByteSource& src, GzipHeader* header);
