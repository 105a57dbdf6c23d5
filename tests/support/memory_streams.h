// Byte sources and sinks in memory, for tests of the decoders.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "io/byte_stream.h"

namespace testdat {

// Hands the bytes over in pieces of random sizes: 1-4 bytes, up to 64, up to
// 4 KiB, or all the rest, as the seed draws them.
class PieceSource : public ByteSource {
public:
    PieceSource(const uint8_t* data, size_t size, uint32_t seed) : data_(data), size_(size), rng_(seed) {}

    int Fill() override {
        if (avail_ > 0) return 1;
        if (pos_ == size_) return 0;
        size_t piece;
        switch (rng_() % 4) {
            case 0: piece = 1 + rng_() % 4; break;
            case 1: piece = 1 + rng_() % 64; break;
            case 2: piece = 1 + rng_() % 4096; break;
            default: piece = size_; break;
        }
        avail_ = std::min(piece, size_ - pos_);
        return 1;
    }
    const uint8_t* Data() const override { return data_ + pos_; }
    size_t Available() const override { return avail_; }
    void Consume(size_t n) override {
        pos_ += n;
        avail_ -= n;
    }
    uint64_t Position() const override { return pos_; }
    int Rewind(uint64_t position) override {
        pos_ = static_cast<size_t>(position);
        avail_ = 0;
        return 0;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    size_t avail_ = 0;
    std::mt19937 rng_;
};

// Keeps every byte written.
class KeepingSink : public ByteSink {
public:
    int Write(const uint8_t* data, size_t len) override {
        bytes.append(data, len);
        return 0;
    }
    int Restart() override {
        bytes.clear();
        ++restarts;
        return 0;
    }

    std::basic_string<uint8_t> bytes;
    int restarts = 0;
};

}  // namespace testdat
