// MappedBytes: a stretch of a file mapped into memory, read only, moved but
// never copied, unmapped when it goes away.  Pages are read as they are
// touched, so reading a few places of a large file costs little memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

class MappedBytes {
public:
    MappedBytes() = default;
    MappedBytes(const MappedBytes&) = delete;
    MappedBytes& operator=(const MappedBytes&) = delete;
    MappedBytes(MappedBytes&& other) noexcept { *this = std::move(other); }
    MappedBytes& operator=(MappedBytes&& other) noexcept {
        std::swap(view_, other.view_);
        std::swap(start_, other.start_);
        std::swap(offset_, other.offset_);
        std::swap(size_, other.size_);
        return *this;
    }
    ~MappedBytes();

    const uint8_t* Data() const { return start_; }
    size_t Size() const { return size_; }

private:
    friend class File;

    void* view_ = nullptr;
    const uint8_t* start_ = nullptr;
    uint64_t offset_ = 0;
    size_t size_ = 0;
};
