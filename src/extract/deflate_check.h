// A walk over raw deflate data that produces nothing and only looks for what
// zlib refuses: ISA-L decodes some such data without complaint (Huffman code
// sets with unused codes, which zlib allows only for a lone one-bit code),
// so a stream ISA-L finished is walked once more before its result stands.
#pragma once

#include <atomic>

#include "io/byte_stream.h"

// Walks the deflate data from where src stands to the end of the final
// block.  Returns true when every block is one zlib decodes without error
// (lookback distances aside: ISA-L checks those as zlib does), false when
// zlib would stop with an error or the data end before the final block, and
// when *stop (if given) turns true before the walk is done.
bool ZlibWouldAccept(ByteSource& src, const std::atomic<bool>* stop = nullptr);
