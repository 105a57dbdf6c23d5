// The walk: every entry of an archive in table order, archives found inside
// walked depth first, within the run's budgets, each entry handed to the
// handler of the mode the run serves.
#pragma once

#include <memory>
#include <string>

#include "io/heap_buffer.h"
#include "walk/entry_handler.h"
#include "walk/run.h"

class Walker {
public:
    // handler serves every entry; state counts the run (failures are
    // reported to it).  buffer holds at least 1 MiB: the entries' first
    // bytes are read into it, and the handler may read their data on
    // through it during its steps.
    Walker(const RunOptions& options, RunState& state, HeapBuffer& buffer, EntryHandler& handler)
        : options_(options), state_(state), buffer_(buffer), handler_(handler) {}
    Walker(const Walker&) = delete;
    Walker& operator=(const Walker&) = delete;

    // Walks the archive at path, the one the run was given; its size sets
    // the run's output budget.  Returns 0, or -1 when it could not be
    // opened (reported).
    int Walk(const std::string& path);

    // Walks the archive that is the first length bytes of file (open),
    // printed as path.  Returns as Walk.
    int WalkFile(const File& file, uint64_t length, const std::string& path);

private:
    // Walks the archive given, opened; its size sets the output budget.
    int WalkGiven(Archive& archive, const std::string& path);

    // Walks the archive whose bytes archive holds (opened), under prefix.
    // Returns 0, or -1 when it repeats an archive it lies in (reported).
    int WalkArchive(Archive& archive, const std::string& path, const std::string& prefix, const ArchiveScope* outer,
                    const WalkPosition& position);

    // Walks entry i.  Returns 0, or -1 when the archive cannot be read any
    // more.
    int WalkEntry(ArchiveScope& scope, int i);

    // Hands a named entry's data to the handler; *expansion gets what its
    // expand step produced.  Returns what became of an archive it held.
    NestedWalk HandleData(EntryVisit& visit, std::unique_ptr<Expansion>* expansion);

    // Walks the archive an entry holds, if the budgets allow.
    NestedWalk WalkNested(EntryVisit& visit, Expansion* expansion);

    const RunOptions& options_;
    RunState& state_;
    HeapBuffer& buffer_;
    EntryHandler& handler_;
};
