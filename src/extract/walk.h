// The walk over one archive's entries.  Internal to the extraction code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "extract/extract.h"
#include "io/cbuffer.h"
#include "io/cfile.h"

struct ArchiveWalk;

// What one run shares across every level of nesting: its options (with its
// budgets), what has been spent of the budgets, the folders made, and the
// archives being unpacked.  Once `stopped` is set every walk returns at once.
struct RunState : RunOptions {
    explicit RunState(const RunOptions& options) : RunOptions(options) {}

    uint64_t nestedArchives = 0;  // nested archives opened for unpacking
    uint64_t entries = 0;         // entries walked
    bool stopped = false;
    KnownFolders folders;
    std::vector<ArchiveWalk*> open;  // the archives being unpacked, outermost first
};

// Unpacks one archive of the run: the top one at depth 0, nested ones below.
// Returns as ExtractDat does.
int ExtractArchive(RunState& run, const std::string& datPath, const std::string& destDir,
                   const std::string& prefix, int depth);

// One call of ExtractArchive: the archive, its index, the buffers, and
// whether a failure has been reported.
struct ArchiveWalk {
    const std::string& datPath;
    const std::string& destDir;
    const std::string& prefix;
    RunState& run;
    int depth;
    Cfile archive;
    Cfile out;
    Cbuffer index;
    size_t indexLength = 0;
    Cbuffer copy;
    bool failed = false;
};

// Unpacks entries 0 ... count - 1 of an opened archive, in table order.
void WalkEntries(ArchiveWalk& w, int count);

// Prints an error line and remembers that a failure was reported.
void ReportFailure(ArchiveWalk& w, const char* format, const std::string& path);
