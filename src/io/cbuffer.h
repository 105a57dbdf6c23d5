// Cbuffer: one owned, zero-filled heap block and its length.
#pragma once

#include <cstddef>
#include <cstdint>

class Cbuffer {
public:
    Cbuffer() = default;
    Cbuffer(const Cbuffer&) = delete;
    Cbuffer& operator=(const Cbuffer&) = delete;
    Cbuffer(Cbuffer&& other) noexcept;
    Cbuffer& operator=(Cbuffer&& other) noexcept;
    virtual ~Cbuffer();

    // Releases any block held, then allocates len zero bytes.  Returns the
    // block, or nullptr when memory is short (the buffer is then empty).
    uint8_t* Alloc(size_t len);

    // Releases the block, if any.
    void Free();

    uint8_t* data = nullptr;
    size_t size = 0;
};
