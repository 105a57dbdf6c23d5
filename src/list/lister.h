// Listing (-l): one line per entry from the index and its first bytes,
// without expanding anything but what nesting needs: a gzip member that
// holds an archive is expanded into a temporary file to list its entries.
#pragma once

#include <memory>

#include "listing/entry_lines.h"
#include "walk/entry_handler.h"
#include "walk/run.h"

class Lister : public EntryHandler {
public:
    // lines prints the listing (null: nothing is printed).
    Lister(const RunOptions& options, RunState& state, IndexLines* lines)
        : options_(options), state_(state), lines_(lines) {}

    void BeginEntry(EntryVisit& entry) override;
    void DataRefused(EntryVisit& entry) override;
    // Reads the first bytes and a gzip member's trailer.
    std::unique_ptr<Expansion> Expand(EntryVisit& entry, EntryReader& data) override;
    Committed Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) override;
    bool EnterNested(EntryVisit& entry, const std::string& folder) override;
    int FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) override;
    void EndEntry(EntryVisit& entry, Expansion* expansion, NestedWalk nested) override;

private:
    void Line(const ListedEntry& entry);
    void Done();

    const RunOptions& options_;
    RunState& state_;
    IndexLines* lines_;
};

// Lists the archive at archivePath, printing to lines (null: nothing).
void List(const std::string& archivePath, const RunOptions& options, RunState& state, IndexLines* lines);
