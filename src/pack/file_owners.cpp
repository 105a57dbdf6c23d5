#include "pack/file_owners.h"

#include <algorithm>

#include "io/little_endian.h"

namespace {

void PutLength(std::string& to, size_t n) {
    uint8_t field[4];
    WriteLE32(field, static_cast<uint32_t>(n));
    to.append(reinterpret_cast<const char*>(field), sizeof field);
}

uint32_t LengthAt(const std::string& from, uint64_t at) {
    return ReadLE32(reinterpret_cast<const uint8_t*>(from.data() + at));
}

constexpr char kGim = 1;
constexpr char kGone = 2;

}  // namespace

void FileOwners::Note(const std::string& key, const Owner& owner) {
    index_.push_back(notes_.size());
    PutLength(notes_, key.size());
    notes_ += key;
    PutLength(notes_, owner.position.size());
    notes_ += owner.position;
    notes_ += static_cast<char>((owner.gim ? kGim : 0) | (owner.stays ? 0 : kGone));
}

void FileOwners::Seal() {
    // Stable: notes of one key stay in walk order, the last one last.
    std::stable_sort(index_.begin(), index_.end(), [this](uint64_t a, uint64_t b) {
        return notes_.compare(a + 4, LengthAt(notes_, a), notes_, b + 4, LengthAt(notes_, b)) < 0;
    });
    notes_.shrink_to_fit();
    index_.shrink_to_fit();
}

bool FileOwners::Find(const std::string& key, Owner* owner) const {
    // The first note past the key; the one before it, if it has the key, is
    // the last one made.
    const auto past = std::upper_bound(index_.begin(), index_.end(), key, [this](const std::string& k, uint64_t at) {
        return notes_.compare(at + 4, LengthAt(notes_, at), k) > 0;
    });
    if (past == index_.begin()) return false;
    const uint64_t at = *(past - 1);
    if (notes_.compare(at + 4, LengthAt(notes_, at), key) != 0) return false;
    const uint64_t place = at + 4 + LengthAt(notes_, at);
    const uint32_t placeLength = LengthAt(notes_, place);
    const char flags = notes_[place + 4 + placeLength];
    owner->position = notes_.substr(place + 4, placeLength);
    owner->gim = (flags & kGim) != 0;
    owner->stays = (flags & kGone) == 0;
    return true;
}
