// Where an entry lies in the walk: the index of each entry the walk went
// into to reach its archive, outermost first, then its own.  An entry has
// the same position in every walk of one archive, whatever its name, which
// is how packing's two walks tell their entries apart.
#pragma once

#include <cstdint>
#include <string>

class WalkPosition {
public:
    // The position of entry `index` of the archive at this position.
    WalkPosition Into(int index) const {
        WalkPosition inner(*this);
        for (int k = 0; k < 4; ++k) inner.key_ += static_cast<char>((static_cast<uint32_t>(index) >> (8 * k)) & 0xFF);
        return inner;
    }

    // The position as bytes, four a level: equal positions, equal keys.
    const std::string& Key() const { return key_; }

    bool operator==(const WalkPosition& other) const { return key_ == other.key_; }

private:
    std::string key_;
};
