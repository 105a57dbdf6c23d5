// One entry's data: a stored entry copied, a gzip member expanded, into its
// output file (unpacking) or into nothing (testing: every byte is read and
// expanded, nothing is written), or only looked at (listing).  Unpacking and
// testing charge every byte to the run's output budget; a file or a write it
// has no room for stops the whole run.  Failures are reported to the
// listing; an output file whose writing fails is removed.
#pragma once

#include <cstdint>
#include <string>

#include "io/entry_reader.h"
#include "io/file.h"
#include "unpack/listing.h"
#include "unpack/run.h"

// Where an entry went, once its data are written, tested or listed.
struct WrittenEntry {
    std::string name;  // the entry's final name: gzip file name taken, ".gz" cut
    std::string path;  // the output path, separators the system's own
    uint8_t head[16];  // the data's first bytes, zero where there are fewer
    // Where its bytes can be read when no output file holds them (testing
    // and listing a nested archive or a GIM image): a stretch of its
    // archive, or `temporary`.
    const File* dataFile = nullptr;
    uint64_t dataBase = 0;
    uint64_t dataLength = 0;
    File temporary;  // a gzip member's expanded bytes, when they are an archive or an image
    GzipChecksum checksum = GzipChecksum::kNone;  // what a gzip member's trailer said
    uint64_t gzipHeaderLength = 0;                // a gzip member's header, in bytes
    // Packing: the file the entry became in the tree (after the GIM
    // renaming), and how it compares with the bytes unpacking writes.
    enum class Match { kNotLooked, kSame, kDiffers, kMissing, kUnreadable };
    Match match = Match::kNotLooked;
    File treeFile;  // open unless missing or unreadable
};

// The entry being handled: its archive, and the record the listing keeps.
struct EntryPlace {
    const File& archive;
    uint64_t base;                   // where the archive's bytes begin in that file
    const std::string& archivePath;  // as error lines print it
    const std::string& prefix;
    EntryRecord& record;             // named; gets the kind, output, sizes, ...
};

// Writes (or tests) a stored entry under its name (the ".gz" cut applied
// here) and ends its line.  Returns 0 with *written set, -1 after reporting
// a failure.
int WriteStoredEntry(Run& run, const EntryPlace& place, EntryReader& src, WrittenEntry* written);

// Reads the gzip header, expands the member under the header's file name
// (or the entry's name) and ends its line; a bad checksum is the caller's to
// report.  Returns 0 with *written set, -1 after reporting a failure (no
// file is left then).
int WriteGzipEntry(Run& run, const EntryPlace& place, EntryReader& src, WrittenEntry* written);

// Lists an entry from its first bytes (and, for a gzip member, the length
// its trailer records), without expanding it; a gzip member that holds an
// archive is expanded into a temporary file when the run walks nested
// archives.  Returns 0 with *written set, -1 after reporting a failure.
int ListEntryData(Run& run, const EntryPlace& place, EntryReader& src, bool gzip, WrittenEntry* written);

// Writes a file made from an entry (a PNG image of it) at path, whole, the
// way an entry's output file is written; testing writes nothing.  Returns
// 0, or -1 after reporting the failure.
int WriteMadeFile(Run& run, const std::string& path, const uint8_t* data, size_t len);
