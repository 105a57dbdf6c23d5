// What the walk hands to the mode it serves.  The walker knows nothing of
// modes: it opens archives, takes their entries in table order, reads what
// every mode needs to know of an entry (its record, its name, how its data
// are stored, its gzip header, where it would be written) and keeps the
// run's budgets.  A handler does the rest: unpacking, testing, listing or
// packing.
//
// Each entry goes through two steps.  The expand step reads the entry's
// bytes and produces what the handler makes of them, with no change to the
// output tree, no printing and no charge to the run's budgets (only an
// allowance it must stay within), so that it could run ahead of the walk.
// The commit step, in table order, places the result, prints, charges the
// budgets and says whether the entry holds an archive to walk in turn.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "format/archive_format.h"
#include "format/signatures.h"
#include "io/entry_reader.h"
#include "listing/listed_entry.h"
#include "walk/archive.h"
#include "walk/walk_position.h"

// One archive being walked: the archive given at depth 0, nested ones below.
struct ArchiveScope {
    Archive& archive;
    const std::string& path;    // as error lines print it
    const std::string& prefix;  // put before every entry's name ("" at the top)
    int depth;
    WalkPosition position;      // the entries the walk went into to reach it
    const ArchiveScope* outer;  // the archive it lies in (null at the top)

    // True when path names this archive or one it lies in.
    bool IsOpenAt(const std::string& path) const;
};

// One entry of an archive, named, as the walker hands it to a handler.
struct EntryVisit {
    EntryVisit(const ArchiveScope& s, int i, const TableEntry& r, ListedEntry& l, uint64_t failures)
        : scope(s), index(i), record(r), listed(l), position(s.position.Into(i)), failuresBefore(failures) {}

    const ArchiveScope& scope;
    int index;                 // its record, from 0
    TableEntry record;
    ListedEntry& listed;       // what the listing shows of it; the handler fills in the rest
    WalkPosition position;
    uint64_t failuresBefore;   // the run's failures when it began

    // Known once its data begin to be read:
    EntryKind kind = EntryKind::kStored;
    uint64_t gzipHeaderLength = 0;  // a gzip member's header, in bytes
    std::string outputName;         // its final name: gzip file name taken, ".gz" cut
    std::string outputPath;         // destination + prefix + outputName, the system's separators
    bool safe = false;              // the path stays inside the destination
};

// What a handler's expand step produced; each handler has its own kind.
class Expansion {
public:
    virtual ~Expansion() = default;
};

// What the commit step did.
struct Committed {
    // The entry's content holds an archive whose entries should be walked
    // (when the run walks nested archives).
    bool holdsArchive = false;
};

// Where a nested archive's bytes lie, for the walk into it.
struct NestedBytes {
    std::unique_ptr<File> opened;  // a file opened for the walk alone, if any
    const File* file = nullptr;    // open while the nested archive is walked
    uint64_t base = 0;
    uint64_t length = 0;
};

// What became of the archive an entry held.
enum class NestedWalk {
    kNone,       // the entry holds no archive to walk
    kLeft,       // it was left as a file: refused (depth, budget, name) or declined
    kNotOpened,  // it could not be opened, or repeats an archive it lies in
    kWalked,     // its entries were walked
};

class EntryHandler {
public:
    virtual ~EntryHandler() = default;

    // An archive was opened and is about to be walked; and its walk ended
    // (every entry walked, or the run stopped, or its index became
    // unreadable).
    virtual void BeginArchive(const ArchiveScope& scope) { (void)scope; }
    virtual void EndArchive(const ArchiveScope& scope) { (void)scope; }

    // A named entry, before its data are read.
    virtual void BeginEntry(EntryVisit& entry) = 0;

    // The entry's data cannot be had (out of range, unreadable, a broken
    // gzip header); the walker reports why right after this.
    virtual void DataRefused(EntryVisit& entry) = 0;

    // The expand step.  data holds the entry's bytes after the gzip header,
    // its first piece read.  Returns what it produced, or null when the
    // commit step does the work itself (reading data on).
    virtual std::unique_ptr<Expansion> Expand(EntryVisit& entry, EntryReader& data) = 0;

    // The commit step, with what the expand step produced (or null).
    virtual Committed Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) = 0;

    // The walker is about to walk the archive the entry holds, whose entries
    // go to folder.  Returns false to leave it as a file.
    virtual bool EnterNested(EntryVisit& entry, const std::string& folder) = 0;

    // Where the archive the entry holds lies.  Returns 0 with *bytes set, or
    // -1 when it cannot be opened (the walker reports it).
    virtual int FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) = 0;

    // The entry is done: expansion is what its expand step produced (null
    // when there was none or its data were refused), nested what became of
    // an archive in it.
    virtual void EndEntry(EntryVisit& entry, Expansion* expansion, NestedWalk nested) = 0;
};
