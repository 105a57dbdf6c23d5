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
    // What an entry did to a file.
    struct Owner {
        std::string walkPlace;  // the entry's place in the walk
        bool gim = false;       // the file is a GIM image
        bool stays = true;      // false: the entry wrote it, then renamed it away
    };

    // Notes that the entry owner.walkPlace wrote the file with this key.
    void Note(const std::string& key, const Owner& owner);

    // Ends the noting: from here on the last note of a key counts.
    void Seal();

    // Finds the last note of key.  Returns true with *owner set, false when
    // no entry wrote that file.
    bool Find(const std::string& key, Owner* owner) const;

private:
    // Each note: key length (4 bytes), key, place length (4 bytes), place,
    // a flags byte.
    std::string notes_;
    std::vector<uint64_t> index_;  // note offsets, sorted by key once sealed
};
