// The ISA-L back end of the raw inflater: several times faster than zlib on
// the same data.  Its results are brought to zlib's: every invalid block,
// symbol or distance is corrupt data.
#include <isa-l/igzip_lib.h>

#include <climits>
#include <new>

#include "gzip/inflate_backends.h"

namespace {

class IsalInflater : public Inflater {
public:
    IsalInflater() {
        isal_inflate_init(&state_);
        state_.crc_flag = ISAL_DEFLATE;
    }

    int Run(const uint8_t* in, size_t inLen, size_t* consumed, uint8_t* out, size_t room,
            size_t* produced) override {
        const uint32_t inGiven = static_cast<uint32_t>(inLen < UINT32_MAX ? inLen : UINT32_MAX);
        const uint32_t outGiven = static_cast<uint32_t>(room < UINT32_MAX ? room : UINT32_MAX);
        state_.next_in = const_cast<uint8_t*>(in);
        state_.avail_in = inGiven;
        state_.next_out = out;
        state_.avail_out = outGiven;
        int ret = isal_inflate(&state_);
        *consumed = inGiven - state_.avail_in;
        *produced = outGiven - state_.avail_out;
        if (ret < 0) return kInflateDataError;
        return state_.block_state == ISAL_BLOCK_FINISH ? kInflateEnd : kInflateMore;
    }

    // ISA-L reads its input 8 bytes at a time into a bit buffer and does
    // not give back what it read past the final block: the whole bytes
    // left in the buffer, after the bits that pad the stream to a byte.
    size_t UnusedInput(uint8_t* out) const override {
        const int bits = state_.read_in_length;
        if (bits <= 0) return 0;
        uint64_t rest = state_.read_in >> (bits % 8);
        const size_t n = static_cast<size_t>(bits / 8);
        for (size_t k = 0; k < n && k < kMaxUnusedInput; ++k, rest >>= 8) out[k] = static_cast<uint8_t>(rest);
        return n < kMaxUnusedInput ? n : kMaxUnusedInput;
    }

private:
    inflate_state state_;
};

}  // namespace

int NewIsalInflater(std::unique_ptr<Inflater>* made) {
    // The state holds ISA-L's history and look-up tables, about 100 KiB.
    std::unique_ptr<IsalInflater> i(new (std::nothrow) IsalInflater);
    if (!i) return kInflateNoMemory;
    *made = std::move(i);
    return 0;
}
