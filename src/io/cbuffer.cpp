#include "io/cbuffer.h"

#include <cstdlib>
#include <utility>

Cbuffer::Cbuffer(Cbuffer&& other) noexcept
    : data(std::exchange(other.data, nullptr)), size(std::exchange(other.size, 0)) {}

Cbuffer& Cbuffer::operator=(Cbuffer&& other) noexcept {
    if (this != &other) {
        Free();
        data = std::exchange(other.data, nullptr);
        size = std::exchange(other.size, 0);
    }
    return *this;
}

Cbuffer::~Cbuffer() { Free(); }

uint8_t* Cbuffer::Alloc(size_t len) {
    Free();
    data = static_cast<uint8_t*>(std::calloc(len == 0 ? 1 : len, 1));
    if (data != nullptr) size = len;
    return data;
}

void Cbuffer::Free() {
    std::free(data);
    data = nullptr;
    size = 0;
}
