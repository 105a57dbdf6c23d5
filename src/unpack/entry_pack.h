// Packing: what becomes of each entry when an archive is built anew from the
// tree it was unpacked into.  The walk over the archive is unpacking's own,
// twice: the first walk notes which entry became which file (the last one
// to write a file owns it, as unpacking leaves it); the second compares each
// entry's bytes with its file and keeps the entry, or replaces it in the
// archive being built.
#pragma once

#include <cstdint>
#include <string>

#include "format/dat_format.h"
#include "pack/rebuilt_archive.h"
#include "unpack/entry_output.h"
#include "unpack/file_owners.h"
#include "unpack/listing.h"
#include "unpack/run.h"

// What both walks share.
struct PackPlan {
    explicit PackPlan(const std::string& path) : newPath(path) {}

    const std::string newPath;  // the archive being written, as error lines print it
    bool failed = false;        // it cannot be written: nothing is
    // The file each entry became, by PathKey below the destination: the
    // entry that wrote it last (its place in the walk), and whether it is a
    // GIM image.  Sealed after the first walk.
    FileOwners owners;
};

// Where an entry lies, for packing.
struct PackSite {
    RebuiltArchive& into;          // the archive being built from the entry's archive
    const std::string& builtPath;  // it, as error lines print it
    const File& archive;           // the entry's archive: its bytes at base
    uint64_t base;
    const std::string& archivePath;
    int index;                     // the entry's record, from 0
    const DatEntry& entry;
    const std::string& walkPlace;  // the entry's place in the walk, the same in both walks
};

// The name of an entry's place in the walk: the place of the nested archive
// it lies in (empty at the top) and its index.
std::string WalkPlace(const std::string& within, int index);

// First walk: the entry at walkPlace wrote the file at path (and stays
// false: then renamed it away).
void NoteFile(Run& run, const std::string& path, const std::string& walkPlace, bool gim, bool stays);

// True when the nested archive written at path is rebuilt from folder (its
// entries' folder): when the folder is there, or when the file is not
// either (its entries then go missing one by one); otherwise the file stands
// for it.  The same in both walks.
bool RebuildsFromFolder(Run& run, const std::string& path, const std::string& folder);

// Second walk: decides the fate of an entry whose data were compared with
// its file (written, record.output), or whose nested archive was walked
// (nested not null; built from its folder), writes its new bytes when it is
// replaced, and prints its line.
void PackEntry(Run& run, const PackSite& site, WrittenEntry& written, EntryRecord& record,
               const RebuiltArchive* nested);

// Ends the building of an archive.  Returns 0, or -1 after reporting why it
// cannot be written.
int FinishBuilding(Run& run, RebuiltArchive& built, const std::string& archivePath);

// After the second walk: one "unused" line per file in the tree that no
// entry became (a PNG image beside a GIM image counts as the image's),
// sorted by path.
void ListUnused(Run& run);
