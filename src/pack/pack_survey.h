// Packing's first walk: looks at every entry's first bytes, as listing
// does, and notes which file of the tree it became (the last entry to write
// a file owns it, as unpacking leaves it).  Prints nothing.
#pragma once

#include <memory>

#include "pack/pack_plan.h"
#include "walk/entry_handler.h"
#include "walk/run.h"

class PackSurvey : public EntryHandler {
public:
    PackSurvey(const RunOptions& options, RunState& state, const OutputTree& tree, PackPlan& plan)
        : options_(options), state_(state), tree_(tree), plan_(plan) {}

    void BeginEntry(EntryVisit& entry) override;
    void DataRefused(EntryVisit& entry) override;
    std::unique_ptr<Expansion> Expand(EntryVisit& entry, EntryReader& data) override;
    Committed Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) override;
    bool EnterNested(EntryVisit& entry, const std::string& folder) override;
    int FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) override;
    void EndEntry(EntryVisit& entry, Expansion* expansion, NestedWalk nested) override;

private:
    // Notes that the entry wrote the file at path (and, stays false, then
    // renamed it away).
    void Note(const EntryVisit& entry, const std::string& path, bool gim, bool stays);

    const RunOptions& options_;
    RunState& state_;
    const OutputTree& tree_;
    PackPlan& plan_;
};
