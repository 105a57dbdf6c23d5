// HeapBuffer: one owned heap block and its length, moved but never copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

class HeapBuffer {
public:
    HeapBuffer() = default;
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    HeapBuffer(HeapBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    HeapBuffer& operator=(HeapBuffer&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    ~HeapBuffer() { std::free(data_); }

    // Releases any block held, then allocates len bytes.  Returns 0, or -1
    // when memory is short (the buffer is then empty).
    int Allocate(size_t len) {
        std::free(data_);
        size_ = 0;
        data_ = static_cast<uint8_t*>(std::malloc(len == 0 ? 1 : len));
        if (data_ == nullptr) return -1;
        size_ = len;
        return 0;
    }

    uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};
