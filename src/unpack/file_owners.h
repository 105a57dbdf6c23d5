// Which entry became which file: a note per entry, made in walk order, then
// looked up by the file's key.  Kept compact (the notes in one block of
// bytes, an index of 4 bytes each) because an archive may hold tens of
// thousands of entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FileOwners {
public:
    // Notes that the entry at walkPlace became the file with this key.
    void Note(const std::string& key, const std::string& walkPlace, bool gim);

    // Ends the noting: from here on the last note of a key counts.
    void Seal();

    // Finds the last note of key.  Returns true with *walkPlace (when not
    // null) and *gim set, false when no entry became that file.
    bool Find(const std::string& key, std::string* walkPlace, bool* gim) const;

private:
    // Each note: key length (4 bytes), key, place length (4 bytes), place,
    // a GIM flag byte.
    std::string notes_;
    std::vector<uint64_t> index_;  // note offsets, sorted by key once sealed
};
