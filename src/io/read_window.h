// ReadWindow: one stretch of a file kept in memory, so that many small reads
// close together (the first bytes of entry after entry) take one system
// call between them rather than one each.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/file.h"
#include "io/heap_buffer.h"

class ReadWindow {
public:
    // Reads of file through a window of size bytes; file must stay open and
    // unchanged while the window is used.
    ReadWindow(const File& file, size_t size) : file_(file), size_(size) {}
    ReadWindow(const ReadWindow&) = delete;
    ReadWindow& operator=(const ReadWindow&) = delete;

    // Copies len bytes at offset of the file into out: from the window when
    // it holds them all, else after filling it anew from offset (a read of
    // at least the window's size goes straight to out).  Returns the count
    // copied (short only at the file's end), or -1 on error.
    int64_t ReadAt(uint64_t offset, uint8_t* out, size_t len);

private:
    const File& file_;
    size_t size_;
    HeapBuffer kept_;
    uint64_t start_ = 0;
    size_t length_ = 0;  // bytes kept from start_
};
