// The walk over one archive's entries.  Internal to the extraction code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "extract/extract.h"
#include "io/cbuffer.h"
#include "io/cfile.h"

// One call of ExtractDat: the archive, its index, the buffers, and whether a
// failure has been reported.
struct ArchiveWalk {
    const std::string& datPath;
    const std::string& destDir;
    const std::string& prefix;
    const RunOptions& run;
    int depth;
    KnownFolders& folders;  // the run's, shared with nested archives
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
