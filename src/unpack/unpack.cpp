// The walk: every entry of an accepted archive becomes one output file, in
// table order, with one listing line each.  Files that turn out to be
// archives are unpacked depth first, into a folder named after them; GIM
// images get the ".gim" extension.
#include "unpack/unpack.h"

#include <algorithm>
#include <cstring>

#include "unpack/archive.h"
#include "unpack/entry_output.h"
#include "unpack/gim_png.h"

namespace {

constexpr size_t kBufferSize = 0x100000;  // entries' bytes pass through 1 MiB
constexpr size_t kListPiece = 4096;       // what listing reads of an entry at a time

// One archive being unpacked: the top one at depth 0, nested ones below.
struct Level {
    Run& run;
    Archive& archive;
    const std::string& path;    // as error lines print it
    const std::string& prefix;  // put before every entry's name
    int depth;
};

void UnpackLevel(Run& run, const std::string& path, const WrittenEntry* within, const std::string& prefix, int depth);

// Keeps an archive on the run's list of open archives for as long as it lives.
class OpenArchiveEntry {
public:
    OpenArchiveEntry(Run& run, const Archive& a, const std::string& path) : open_(run.open) {
        open_.push_back(Run::OpenArchive{&a, &path});
    }
    ~OpenArchiveEntry() { open_.pop_back(); }
    OpenArchiveEntry(const OpenArchiveEntry&) = delete;
    OpenArchiveEntry& operator=(const OpenArchiveEntry&) = delete;

private:
    std::vector<Run::OpenArchive>& open_;
};

// True when the archive holds the same bytes as one of the archives being
// unpacked around it: unpacking it would repeat that one's walk, which led
// here, without end.
bool RepeatsAnOpenArchive(Run& run, const Archive& archive) {
    for (const Run::OpenArchive& outer : run.open)
        if (archive.SameBytes(*outer.archive, run.buffer)) return true;
    return false;
}

bool Begins(const uint8_t* head, const char signature[4]) { return std::memcmp(head, signature, 4) == 0; }

// Unpacks a written file that is an archive itself into the folder named
// after it, within the depth and the run's budget of nested archives.  The
// file is removed only when nothing failed since its entry began (its own
// member and every level below it included); otherwise it is kept, so that
// its data survive.
void UnpackNested(Level& level, const WrittenEntry& written, uint64_t failuresBefore) {
    Run& run = level.run;
    const std::string nestedPrefix = NestedPrefix(level.prefix, written.name, run.options.names);
    // Without a '.' to cut, the folder would have the file's own path.
    if (nestedPrefix == level.prefix + written.name + "/") {
        run.listing.Error(Failure::kNestedIntoItself, written.path);
        return;
    }
    if (level.depth + 1 > kMaxNestingDepth) {
        run.listing.Error(Failure::kNestingTooDeep, written.path);
        return;
    }
    if (run.nestedArchives >= run.options.limits.nestedArchives) {
        run.listing.Error(Failure::kTooManyNested, written.path);
        return;
    }
    ++run.nestedArchives;
    run.listing.EntryDone();
    // Unpacking reads the file it wrote; testing and listing read the bytes
    // where they are.
    const bool unpacking = run.options.mode == RunMode::kUnpack;
    UnpackLevel(run, written.path, unpacking ? nullptr : &written, nestedPrefix, level.depth + 1);
    if (unpacking && run.listing.Failures() == failuresBefore) run.tree.Remove(written.path);
}

// What follows a written entry: a GIM image is renamed (testing and listing
// only say what its name would be), a bad gzip checksum reported, a GIM
// image converted, a nested archive unpacked.
void AfterEntry(Level& level, WrittenEntry& written, EntryRecord& record, uint64_t failuresBefore) {
    Run& run = level.run;
    const bool image = Begins(written.head, "MIG.");
    if (image) {
        std::string gim = GimPath(written.path, level.prefix + written.name, run.options.names);
        if (!gim.empty() && (run.options.mode != RunMode::kUnpack || run.tree.Rename(written.path, gim) == 0))
            record.output = gim;
    }
    if (written.checksum == GzipChecksum::kBad) run.listing.Error(Failure::kBadGzipChecksum, written.path);
    if (image && run.options.convertGim && run.options.mode != RunMode::kList) ConvertGimToPng(run, written, record);
    if (Begins(written.head, "GPDA") && run.options.recurse) UnpackNested(level, written, failuresBefore);
}

// The name an entry is listed under, in the record.  Returns 1, 0 when its
// name record lies outside the index, -1 when the archive cannot be read.
int ListedName(Level& level, const DatEntry& e, int i, EntryRecord* record) {
    const NameRules& rules = level.run.options.names;
    if (e.nameOffset == 0) {
        record->name = MadeUpName(level.path, i, rules);
        record->named = true;
        return 1;
    }
    std::string text;
    int found = level.archive.ReadNameText(e.nameOffset, &text);
    if (found != 1) return found;
    record->nameBytes = text;
    record->name = FinishStoredName(NameFromArchive(text, rules), rules);
    record->named = true;
    return 1;
}

// Reads the entry's data and hands them on by the run's mode, then what
// follows a written entry.  Returns 0, or -1 after a failure.
int HandleData(Level& level, const DatEntry& e, EntryRecord& record, uint64_t failuresBefore) {
    Run& run = level.run;
    // A listed entry's line comes before the failure that ends it.
    const bool listing = run.options.mode == RunMode::kList;
    if (!DatEntryInRange(e, level.archive.Length())) {
        if (listing) run.listing.ListEntry(record);
        run.listing.Error(Failure::kEntryOutOfRange, level.path);
        return -1;
    }
    // Listing reads a few bytes of each entry, in small pieces.
    const uint64_t at = level.archive.Base() + e.offset;
    const size_t piece = listing ? std::min<size_t>(run.buffer.Size(), kListPiece) : run.buffer.Size();
    EntryReader src(level.archive.Data(), run.buffer.Data(), piece, at, e.size);
    if (src.Fill() < 0) {
        if (listing) run.listing.ListEntry(record);
        run.listing.Error(Failure::kCannotRead, level.path);
        return -1;
    }
    const bool gzip = src.Available() >= 2 && src.Data()[0] == 0x1F && src.Data()[1] == 0x8B;
    record.kind = gzip ? EntryRecord::Kind::kGzip : EntryRecord::Kind::kStored;
    const EntryPlace place{level.archive.Data(), level.archive.Base(), level.path, level.prefix, record};
    WrittenEntry written;
    int result = listing ? ListEntryData(run, place, src, gzip, &written)
                 : gzip  ? WriteGzipEntry(run, place, src, &written)
                         : WriteStoredEntry(run, place, src, &written);
    if (result != 0) return -1;
    AfterEntry(level, written, record, failuresBefore);
    return 0;
}

// Unpacks (tests, lists) entry i.  Returns 0, or -1 when the archive cannot
// be read any more.
int WalkEntry(Level& level, int i) {
    Run& run = level.run;
    const uint64_t failuresBefore = run.listing.Failures();
    DatEntry e;
    if (level.archive.ReadEntry(i, &e) != 0) {
        run.listing.Error(Failure::kCannotRead, level.path);
        return -1;
    }
    EntryRecord record;
    record.archivePath = level.path;
    record.number = i + 1;
    record.offset = e.offset;
    record.size = e.size;
    record.prefix = level.prefix;
    int named = ListedName(level, e, i, &record);
    if (named < 0) {
        run.listing.Error(Failure::kCannotRead, level.path);
        return -1;
    }
    if (named == 0) {
        run.listing.BadEntry(record);
        return 0;
    }
    if (run.options.mode != RunMode::kList) run.listing.BeginEntry(record);
    (void)HandleData(level, e, record, failuresBefore);
    run.listing.EntryDone();
    return 0;
}

void WalkEntries(Level& level) {
    Run& run = level.run;
    const int count = level.archive.EntryCount();
    for (int i = 0; i < count && !run.stopped; ++i) {
        // Past the run's budget of entries the whole run stops.
        if (run.entries >= run.options.limits.entries) {
            run.listing.Error(Failure::kTooManyEntries, level.path);
            run.stopped = true;
            return;
        }
        ++run.entries;
        if (WalkEntry(level, i) != 0) return;
    }
    if (level.archive.TableTooLarge() && !run.stopped) run.listing.Error(Failure::kEntryTableTooLarge, level.path);
}

// Unpacks the archive at path, or (within not null) the nested archive
// whose bytes lie where within says, under prefix.
void UnpackLevel(Run& run, const std::string& path, const WrittenEntry* within, const std::string& prefix, int depth) {
    Archive archive;
    Failure why;
    int opened = within != nullptr
                     ? archive.OpenWithin(*within->dataFile, within->dataBase, within->dataLength, &why)
                     : archive.Open(path, &why);
    if (opened != 0) {
        run.listing.Error(why, path);
        return;
    }
    if (RepeatsAnOpenArchive(run, archive)) {
        run.listing.Error(Failure::kContainsItself, path);
        return;
    }
    // The output budget follows from the size of the archive given.
    if (depth == 0) {
        const RunLimits& limits = run.options.limits;
        run.output.SetLimit(archive.Length(), limits.outputPerArchiveByte, limits.outputAllowance);
    }
    OpenArchiveEntry listed(run, archive, path);
    Level level{run, archive, path, prefix, depth};
    WalkEntries(level);
}

}  // namespace

void UnpackArchive(const std::string& archivePath, const std::string& destDir, const RunOptions& options,
                   Listing& listing) {
    Run run(options, destDir, listing);
    run.topArchive = archivePath;
    if (run.buffer.Allocate(kBufferSize) != 0) {
        listing.Error(Failure::kOutOfMemory, archivePath);
        return;
    }
    UnpackLevel(run, archivePath, nullptr, std::string(), 0);
}
