// One entry's bytes, read from its archive in pieces through a buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/byte_stream.h"
#include "io/cbuffer.h"
#include "io/cfile.h"

class MemberStream : public ByteSource {
public:
    // The size bytes at offset of archive, read through buffer.
    MemberStream(Cfile& archive, Cbuffer& buffer, uint64_t offset, uint64_t size);

    // Reads the next piece (at most the buffer's size) when nothing is
    // available.  A short read counts as a failure: the archive shrank.
    int Fill() override;
    const uint8_t* Data() const override { return buffer_.data + pos_; }
    size_t Available() const override { return avail_; }
    void Consume(size_t n) override {
        pos_ += n;
        avail_ -= n;
        consumed_ += n;
    }

    uint64_t Position() const override { return consumed_; }
    int Rewind(uint64_t position) override;

    // Reads through a buffer of its own (256 KiB at most); positioned reads
    // of one descriptor do not disturb each other.
    std::unique_ptr<ByteSource> Fork() const override;

    // Bytes of the member not yet consumed.
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
    // A stream over its own buffer.
    MemberStream(Cfile& archive, uint64_t offset, uint64_t size);

    Cfile& archive_;
    Cbuffer own_;
    Cbuffer& buffer_;
    uint64_t offset_;
    uint64_t size_;
    uint64_t fetched_ = 0;
    uint64_t consumed_ = 0;
    size_t pos_ = 0;
    size_t avail_ = 0;
};
