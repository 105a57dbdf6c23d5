// Looking at an entry without expanding it: its first bytes (a gzip
// member's first expanded bytes) tell its content, a gzip member's trailer
// its expanded size.  Listing looks at every entry this way, and so does
// packing's first walk.
#pragma once

#include <cstdint>
#include <optional>

#include "extract/entry_sink.h"
#include "walk/entry_handler.h"
#include "walk/run.h"

// What looking at an entry found: the expand step of looking.
class FirstBytes : public Expansion {
public:
    uint8_t head[kContentHeadSize] = {};
    std::optional<uint64_t> expanded;  // a stored entry's size, or the length a gzip trailer records
    bool unreadable = false;           // the trailer could not be read
    File kept;                         // a gzip member holding an archive, expanded (ExpandNestedMember)
    uint64_t keptLength = 0;
};

// Reads the entry's first bytes from data (after a gzip header) and a gzip
// member's trailer.
std::unique_ptr<FirstBytes> LookAtEntry(const EntryVisit& entry, EntryReader& data);

// Expands the gzip member that data reads (after its header; data may
// have been read on) into look.kept, an anonymous temporary file, for its
// entries to be walked; what it writes is charged to state's output budget.
// Returns 0, or -1 after reporting the failure that stopped it.
int ExpandNestedMember(EntryVisit& entry, EntryReader& data, RunState& state, FirstBytes& look);

// Where the archive the entry holds lies: in the archive (stored), or in
// look.kept.  Returns 0 with *bytes set, or -1 when nothing holds it.
int FindLookedAtArchive(const EntryVisit& entry, FirstBytes& look, NestedBytes* bytes);
