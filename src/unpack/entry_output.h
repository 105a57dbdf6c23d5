// Writing one entry's output file: a stored entry copied, a gzip member
// expanded, every byte charged to the run's output budget.  A file whose
// writing fails is removed; the failure is reported to the listing.  A file
// or a write the budget has no room for stops the whole run.
#pragma once

#include <cstdint>
#include <string>

#include "gzip/gzip_header.h"
#include "io/entry_reader.h"
#include "unpack/run.h"

// Where an entry went, once its file is written and its line ended.
struct WrittenEntry {
    std::string name;     // the entry's final name: gzip file name taken, ".gz" cut
    std::string path;     // the output path, separators the system's own
    uint8_t head[16];     // the file's first bytes, zero where it is shorter
};

// Where an entry's bytes come from, and the names it goes under.
struct EntryPlace {
    const File& archive;
    const std::string& archivePath;  // as error lines print it
    const std::string& prefix;
};

// Writes a stored entry under name (the ".gz" cut applied here) and ends its
// line.  Returns 0 with *written set, -1 after reporting a failure.
int WriteStoredEntry(Run& run, const EntryPlace& place, EntryReader& src, const std::string& name,
                     WrittenEntry* written);

// Reads the gzip header, expands the member under the header's file name
// (or name), ends its line and reports a bad checksum.  Returns 0 with
// *written set, -1 after reporting a failure (no file is left then).
int WriteGzipEntry(Run& run, const EntryPlace& place, EntryReader& src, const std::string& name,
                   WrittenEntry* written);
