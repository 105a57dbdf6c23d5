// Which entry became which file: a note per entry, made in walk order by
// packing's first walk, then looked up by the file's key.  Kept compact (the
// notes in one block of bytes, an index of 8 bytes each) because an archive
// may hold tens of thousands of entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FileOwners {
public:
    // What an entry did to a file.
    struct Owner {
        std::string position;   // the entry's position in the walk (WalkPosition::Key)
        bool gim = false;       // the file is a GIM image
        bool stays = true;      // false: the entry wrote it, then renamed it away
    };

    // Notes that the entry at owner.position wrote the file with this key.
    void Note(const std::string& key, const Owner& owner);

    // Ends the noting: from here on the last note of a key counts.
    void Seal();

    // Finds the last note of key.  Returns true with *owner set, false when
    // no entry wrote that file.
    bool Find(const std::string& key, Owner* owner) const;

private:
    // Each note: key length (4 bytes), key, position length (4 bytes),
    // position, a flags byte.
    std::string notes_;
    std::vector<uint64_t> index_;  // note offsets, sorted by key once sealed
};
