// The deflate walk of deflate_check.h: block headers and Huffman codes are
// checked the way zlib checks them, symbols decoded through one look-up
// table per code, extra bits skipped, stored blocks stepped over.
#include "extract/deflate_check.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kMaxBits = 15;

// Bits of the source, lowest first.  The piece the source has available is
// read through a pointer and consumed when it is used up.
class BitReader {
public:
    explicit BitReader(ByteSource& src) : src_(src) {}
    ~BitReader() { Settle(); }

    // Makes at least 56 bits available where the data hold them; returns
    // how many are (fewer only at the end of the data, or when the source
    // fails).
    int Load() {
        if (count_ >= 56) return count_;
        if (end_ - p_ >= 8) {
            uint64_t word;
            std::memcpy(&word, p_, 8);
            bits_ |= word << count_;  // little-endian hosts only, as the archive readers
            p_ += (63 - count_) >> 3;
            count_ |= 56;
            return count_;
        }
        while (count_ <= 56) {
            if (p_ == end_ && !NextPiece()) break;
            bits_ |= static_cast<uint64_t>(*p_++) << count_;
            count_ += 8;
        }
        return count_;
    }

    // The reader's state, for a loop that keeps it in locals: Take hands it
    // out, Give takes it back before the reader is used again.
    struct Window {
        const uint8_t* p;
        const uint8_t* end;
        uint64_t bits;
        int count;
    };
    Window Take() const { return Window{p_, end_, bits_, count_}; }
    void Give(const Window& w) {
        p_ = w.p;
        end_ = w.end;
        bits_ = w.bits;
        count_ = w.count;
    }

    int Count() const { return count_; }
    uint64_t Bits() const { return bits_; }
    uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_ & ((uint64_t{1} << n) - 1)); }
    void Drop(int n) {
        bits_ >>= n;
        count_ -= n;
    }

    // Reads n (<= 32) bits into *v; false when the data end first.
    bool Read(int n, uint32_t* v) {
        if (count_ < n && Load() < n) return false;
        *v = Peek(n);
        Drop(n);
        return true;
    }

    // Drops the bits up to a byte boundary, then steps over n bytes.
    bool SkipBytes(uint64_t n) {
        Drop(count_ % 8);
        while (n > 0 && count_ > 0) {
            Drop(8);
            --n;
        }
        while (n > 0) {
            if (p_ == end_ && !NextPiece()) return false;
            size_t step = static_cast<size_t>(std::min<uint64_t>(n, static_cast<uint64_t>(end_ - p_)));
            p_ += step;
            n -= step;
        }
        return true;
    }

private:
    // Consumes the piece read so far and takes the next one.
    bool NextPiece() {
        Settle();
        if (src_.Fill() <= 0) return false;
        p_ = src_.Data();
        end_ = p_ + src_.Available();
        return true;
    }

    void Settle() {
        if (end_ != nullptr) src_.Consume(static_cast<size_t>(p_ - src_.Data()));
        p_ = end_ = nullptr;
    }

    ByteSource& src_;
    const uint8_t* p_ = nullptr;
    const uint8_t* end_ = nullptr;
    uint64_t bits_ = 0;
    int count_ = 0;
};

// A canonical Huffman code: codes of up to kTableBits bits through a table
// indexed by the next input bits (entries symbol << 4 | length, 0 where a
// longer code or none leads), longer ones bit by bit.
constexpr int kTableBits = 12;

struct Code {
    uint16_t table[1 << kTableBits];
    int bits = 0;                    // table index width: min(longest code, kTableBits)
    uint16_t count[kMaxBits + 1];    // codes of each length
    uint16_t symbols[288];           // symbols in code order
};

enum class Kraft { kComplete, kIncomplete, kOversubscribed };

// Builds the code of the n lengths.  *maxLength is the longest length used
// (0 when no symbol has a code).
Kraft Build(const uint8_t* lengths, int n, Code* code, int* maxLength) {
    std::fill(code->count, code->count + kMaxBits + 1, 0);
    for (int s = 0; s < n; ++s) ++code->count[lengths[s]];
    code->count[0] = 0;
    int left = 1;
    *maxLength = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
        left = (left << 1) - code->count[len];
        if (left < 0) return Kraft::kOversubscribed;
        if (code->count[len] > 0) *maxLength = len;
    }
    code->bits = std::min(*maxLength, kTableBits);
    std::fill(code->table, code->table + (1 << code->bits), 0);
    int next[kMaxBits + 2] = {}, offset[kMaxBits + 2] = {};
    for (int len = 1; len <= kMaxBits; ++len) {
        next[len + 1] = (next[len] + code->count[len]) << 1;
        offset[len + 1] = offset[len] + code->count[len];
    }
    for (int s = 0; s < n; ++s) {
        const int len = lengths[s];
        if (len == 0) continue;
        code->symbols[offset[len]++] = static_cast<uint16_t>(s);
        if (len > code->bits) continue;
        uint32_t c = static_cast<uint32_t>(next[len]++), reversed = 0;
        for (int b = 0; b < len; ++b) reversed |= ((c >> b) & 1u) << (len - 1 - b);
        for (uint32_t k = reversed; k < (1u << code->bits); k += 1u << len)
            code->table[k] = static_cast<uint16_t>(s << 4 | len);
    }
    return left > 0 ? Kraft::kIncomplete : Kraft::kComplete;
}

// Decodes a code longer than the table from the have bits at hand, bit by
// bit.  Returns symbol << 4 | length, or 0 where no code leads.
uint32_t DecodeLong(uint64_t bits, int have, const Code& code) {
    int c = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxBits && len <= have; ++len) {
        c |= static_cast<int>((bits >> (len - 1)) & 1);
        const int count = code.count[len];
        if (c - first < count) return static_cast<uint32_t>(code.symbols[index + c - first]) << 4 | len;
        index += count;
        first = (first + count) << 1;
        c <<= 1;
    }
    return 0;
}

// The entry of the next code: symbol << 4 | length, or 0 where no code
// leads or it would need more than the have bits at hand.
uint32_t Lookup(uint64_t bits, int have, const Code& code) {
    if (code.bits == 0) return 0;
    uint32_t e = code.table[bits & ((1u << code.bits) - 1)];
    if (e == 0) return DecodeLong(bits, have, code);
    return static_cast<int>(e & 15) <= have ? e : 0;
}

// zlib refuses an over-subscribed literal/length or distance code, and an
// incomplete one unless it has no code at all or only one-bit codes.
bool Acceptable(Kraft k, int maxLength) {
    return k == Kraft::kComplete || (k == Kraft::kIncomplete && maxLength <= 1);
}

// Decodes one symbol; -1 where no code leads or the data end.
int Decode(BitReader& in, const Code& code) {
    int have = in.Load();
    uint32_t e = Lookup(in.Bits(), have, code);
    if (e == 0) return -1;
    in.Drop(static_cast<int>(e & 15));
    return static_cast<int>(e >> 4);
}

constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Walks the rest of a coded block where fewer than 48 bits may be left,
// checking the bits of every step.
bool WalkNearTheEnd(BitReader& in, const Code& lit, const Code& dist) {
    for (;;) {
        int sym = Decode(in, lit);
        if (sym < 0 || sym > 285) return false;
        if (sym == 256) return true;
        if (sym < 256) continue;
        uint32_t extra;
        if (!in.Read(kLengthExtra[sym - 257], &extra)) return false;
        int d = Decode(in, dist);
        if (d < 0 || d > 29 || !in.Read(kDistExtra[d], &extra)) return false;
    }
}

// What the next kTableBits input bits of a coded block begin with, for the
// walk, which needs only to know how many bits to step over: entries are
// bits << 0 | kind << 5.  One or two literal codes are stepped over at once; a
// length code with its extra bits, then a distance code with its extra
// bits, make a pair.
enum : uint8_t { kRun = 0, kPair = 1, kEndOfBlock = 2, kSlow = 3 };

struct Steps {
    uint8_t lit[1 << kTableBits];
    uint8_t dist[1 << kTableBits];
};

void BuildSteps(const Code& lit, const Code& dist, Steps* steps) {
    const uint32_t litMask = (1u << lit.bits) - 1, distMask = (1u << dist.bits) - 1;
    for (uint32_t i = 0; i < (1u << kTableBits); ++i) {
        const uint32_t e = lit.table[i & litMask], sym = e >> 4, len = e & 15;
        if (e != 0 && sym < 256) {
            // One literal, or two when the second fits the index too (a
            // table built per block must be cheap to build).
            const uint32_t next = lit.table[(i >> len) & litMask];
            const bool two = next != 0 && (next >> 4) < 256 && (next & 15) <= kTableBits - len;
            steps->lit[i] = static_cast<uint8_t>((two ? len + (next & 15) : len) | kRun << 5);
        } else if (e == 0 || sym > 285) {
            steps->lit[i] = kSlow << 5;
        } else if (sym == 256) {
            steps->lit[i] = static_cast<uint8_t>(len | kEndOfBlock << 5);
        } else {
            steps->lit[i] = static_cast<uint8_t>((len + kLengthExtra[sym - 257]) | kPair << 5);
        }
        const uint32_t d = dist.bits == 0 ? 0 : dist.table[i & distMask];
        steps->dist[i] = d == 0 || (d >> 4) > 29 ? kSlow << 5 : static_cast<uint8_t>((d & 15) + kDistExtra[d >> 4]);
    }
}

// Steps over one distance code and its extra bits the slow way.
bool SlowDistance(BitReader& in, const Code& dist) {
    uint32_t e = Lookup(in.Bits(), in.Count(), dist);
    if (e == 0 || (e >> 4) > 29) return false;
    in.Drop(static_cast<int>(e & 15) + kDistExtra[e >> 4]);
    return true;
}

// Walks the symbols of one coded block up to its end-of-block code.  With
// 48 bits loaded (the longest length/distance pair), a step needs no
// further load; near the end of the data every step checks its bits.  The
// bit buffer is held in locals here: this loop is the walk's hot path.
bool WalkCodedBlock(BitReader& in, const Code& lit, const Code& dist, const Steps& steps) {
    constexpr uint32_t kMask = (1u << kTableBits) - 1;
    BitReader::Window w = in.Take();
    for (;;) {
        if (w.count < 48) {
            if (w.end - w.p >= 8) {
                uint64_t word;
                std::memcpy(&word, w.p, 8);
                w.bits |= word << w.count;
                w.p += (63 - w.count) >> 3;
                w.count |= 56;
            } else {
                in.Give(w);
                if (in.Load() < 48) return WalkNearTheEnd(in, lit, dist);
                w = in.Take();
            }
        }
        uint32_t e = steps.lit[w.bits & kMask];
        if (e >= kEndOfBlock << 5) {
            if (e >> 5 == kEndOfBlock) {
                in.Give(w);
                in.Drop(static_cast<int>(e & 31));
                return true;
            }
            // A code longer than the table, or none: one symbol the slow way.
            in.Give(w);
            e = Lookup(in.Bits(), in.Count(), lit);
            const uint32_t sym = e >> 4;
            if (e == 0 || sym > 285) return false;
            in.Drop(static_cast<int>(e & 15));
            if (sym == 256) return true;
            if (sym >= 257) {
                in.Drop(kLengthExtra[sym - 257]);
                if (!SlowDistance(in, dist)) return false;
            }
            w = in.Take();
            continue;
        }
        // A run of literals, or a length and its distance: the distance
        // step is taken either way and counts only for a pair, which keeps
        // the loop free of a branch the processor could not foresee.
        w.bits >>= e & 31;
        w.count -= static_cast<int>(e & 31);
        const uint32_t pair = 0u - (e >> 5);  // all ones for kPair, 0 for kRun
        const uint32_t d = steps.dist[w.bits & kMask] & pair;
        if (d >> 5) {
            in.Give(w);
            if (!SlowDistance(in, dist)) return false;
            w = in.Take();
            continue;
        }
        w.bits >>= d;
        w.count -= static_cast<int>(d);
    }
}

bool FixedCodes(Code* lit, Code* dist) {
    uint8_t lengths[288];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + 288, 8);
    int maxLength;
    Build(lengths, 288, lit, &maxLength);
    std::fill(lengths, lengths + 30, 5);
    Build(lengths, 30, dist, &maxLength);  // 30 codes of 5 bits: incomplete, as zlib allows here
    return true;
}

// Reads a dynamic block's header into its two codes.
bool DynamicCodes(BitReader& in, Code* lit, Code* dist) {
    static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    uint32_t hlit, hdist, hclen;
    if (!in.Read(5, &hlit) || !in.Read(5, &hdist) || !in.Read(4, &hclen)) return false;
    const int nlen = static_cast<int>(hlit) + 257, ndist = static_cast<int>(hdist) + 1;
    if (nlen > 286 || ndist > 30) return false;
    uint8_t lengths[286 + 30] = {};
    for (uint32_t k = 0; k < hclen + 4; ++k) {
        uint32_t v;
        if (!in.Read(3, &v)) return false;
        lengths[kOrder[k]] = static_cast<uint8_t>(v);
    }
    Code lengthCode;
    int maxLength;
    if (Build(lengths, 19, &lengthCode, &maxLength) != Kraft::kComplete) return false;
    std::fill(lengths, lengths + 19, 0);
    for (int k = 0; k < nlen + ndist;) {
        int sym = Decode(in, lengthCode);
        if (sym < 0) return false;
        if (sym < 16) {
            lengths[k++] = static_cast<uint8_t>(sym);
            continue;
        }
        uint32_t repeat;
        uint8_t value = 0;
        if (sym == 16) {
            if (k == 0 || !in.Read(2, &repeat)) return false;
            value = lengths[k - 1];
            repeat += 3;
        } else if (sym == 17) {
            if (!in.Read(3, &repeat)) return false;
            repeat += 3;
        } else {
            if (!in.Read(7, &repeat)) return false;
            repeat += 11;
        }
        if (k + static_cast<int>(repeat) > nlen + ndist) return false;
        std::fill(lengths + k, lengths + k + repeat, value);
        k += static_cast<int>(repeat);
    }
    if (lengths[256] == 0) return false;
    Kraft k = Build(lengths, nlen, lit, &maxLength);
    if (!Acceptable(k, maxLength)) return false;
    k = Build(lengths + nlen, ndist, dist, &maxLength);
    return Acceptable(k, maxLength);
}

}  // namespace

bool ZlibWouldAccept(ByteSource& src, const std::atomic<bool>* stop) {
    BitReader in(src);
    Code lit, dist;
    Steps steps;
    for (;;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
        uint32_t final, type;
        if (!in.Read(1, &final) || !in.Read(2, &type)) return false;
        if (type == 0) {
            uint32_t len, nlen;
            if (!in.SkipBytes(0) || !in.Read(16, &len) || !in.Read(16, &nlen) || len != (~nlen & 0xFFFF) ||
                !in.SkipBytes(len))
                return false;
        } else if (type == 3) {
            return false;
        } else {
            if (type == 1 ? !FixedCodes(&lit, &dist) : !DynamicCodes(in, &lit, &dist)) return false;
            BuildSteps(lit, dist, &steps);
            if (!WalkCodedBlock(in, lit, dist, steps)) return false;
        }
        if (final) return true;
    }
}
