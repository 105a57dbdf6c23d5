// EntryReader: one entry's bytes, read from its archive in pieces through a
// buffer the caller lends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/byte_stream.h"
#include "io/file.h"
#include "io/read_window.h"

class EntryReader : public ByteSource {
public:
    // The size bytes at offset of archive, read through buffer (len bytes).
    EntryReader(const File& archive, uint8_t* buffer, size_t len, uint64_t offset, uint64_t size)
        : archive_(archive), buffer_(buffer), bufferLength_(len), offset_(offset), size_(size) {}

    // Reads the first piece, of at most firstPiece bytes, through window (of
    // the same file): the first bytes of entry after entry, lying close
    // together, then take one read between them.  Later pieces are read
    // whole from the file.  Only before the first Fill.
    void ReadFirstPieceThrough(ReadWindow* window, size_t firstPiece) {
        window_ = window;
        firstPiece_ = firstPiece;
    }

    // Reads the next piece (at most the buffer's length) when nothing is
    // available.  A short read counts as a failure: the archive shrank.
    int Fill() override;
    const uint8_t* Data() const override { return buffer_ + pos_; }
    size_t Available() const override { return avail_; }
    void Consume(size_t n) override {
        pos_ += n;
        avail_ -= n;
        consumed_ += n;
    }

    uint64_t Position() const override { return consumed_; }
    int Rewind(uint64_t position) override;

    // Bytes of the entry not yet consumed.
    uint64_t Remaining() const { return size_ - consumed_; }

    // Where the next unread byte lies in the archive.
    uint64_t NextOffset() const { return offset_ + fetched_; }

    // Counts n bytes after the available ones as consumed without reading
    // them (someone else copied them).  Only when nothing is available.
    void Skip(uint64_t n) {
        fetched_ += n;
        consumed_ += n;
    }

private:
    const File& archive_;
    ReadWindow* window_ = nullptr;  // for the first piece only
    size_t firstPiece_ = 0;
    uint8_t* buffer_;
    size_t bufferLength_;
    uint64_t offset_;
    uint64_t size_;
    uint64_t fetched_ = 0;
    uint64_t consumed_ = 0;
    size_t pos_ = 0;
    size_t avail_ = 0;
};
