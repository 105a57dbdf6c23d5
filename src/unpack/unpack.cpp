// The walk: every entry of an accepted archive becomes one output file, in
// table order, with one listing line each.  Files that turn out to be
// archives are unpacked depth first, into a folder named after them; GIM
// images get the ".gim" extension.  Testing, listing and packing take the
// same walk and only do other things with each entry's data.
#include "unpack/unpack.h"

#include <algorithm>
#include <cstring>

#include "pack/rebuilt_archive.h"
#include "platform/platform.h"
#include "unpack/archive.h"
#include "unpack/entry_output.h"
#include "unpack/gim_png.h"
#include "unpack/entry_pack.h"

namespace {

constexpr size_t kBufferSize = 0x100000;  // entries' bytes pass through 1 MiB
constexpr size_t kListPiece = 4096;       // what listing reads of an entry at a time
constexpr size_t kTreeBufferSize = 256 * 1024;  // packing reads the tree's files through it

// One archive being unpacked: the top one at depth 0, nested ones below.
struct Level {
    Run& run;
    Archive& archive;
    const std::string& path;    // as error lines print it
    const std::string& prefix;  // put before every entry's name
    int depth;
    // Packing: the level's place in the walk (empty at the top), and in the
    // second walk the archive built from it and its name in error lines.
    const std::string& walkPlace;
    RebuiltArchive* built;
    const std::string& builtPath;
};

// Where a nested archive is walked from, and (packing) what is built from it.
struct NestedLevel {
    const WrittenEntry* within;  // its bytes when no output file holds them
    const std::string& walkPlace;
    RebuiltArchive* built;
};

int UnpackLevel(Run& run, const std::string& path, const std::string& prefix, int depth, const NestedLevel& nested);

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

// The folder a nested archive's entries go to.
std::string NestedFolder(const Run& run, const std::string& nestedPrefix) {
    std::string folder = NormaliseSeparators(OutputPath(run.tree.DestDir(), nestedPrefix, ""), run.options.names);
    if (!folder.empty()) folder.pop_back();  // the separator the prefix ends in
    return folder;
}

// Unpacks a written file that is an archive itself into the folder named
// after it, within the depth and the run's budget of nested archives.  The
// file is removed only when nothing failed since its entry began (its own
// member and every level below it included); otherwise it is kept, so that
// its data survive.  Packing walks it only when it is rebuilt from that
// folder.  Returns true when it was opened and walked.
bool UnpackNested(Level& level, const WrittenEntry& written, uint64_t failuresBefore, const std::string& walkPlace,
                  RebuiltArchive* built) {
    Run& run = level.run;
    const std::string nestedPrefix = NestedPrefix(level.prefix, written.name, run.options.names);
    // Without a '.' to cut, the folder would have the file's own path.
    if (nestedPrefix == level.prefix + written.name + "/") {
        run.listing.Error(Failure::kNestedIntoItself, written.path);
        return false;
    }
    if (level.depth + 1 > kMaxNestingDepth) {
        run.listing.Error(Failure::kNestingTooDeep, written.path);
        return false;
    }
    if (run.nestedArchives >= run.options.limits.nestedArchives) {
        run.listing.Error(Failure::kTooManyNested, written.path);
        return false;
    }
    if (run.pack != nullptr && !RebuildsFromFolder(run, written.path, NestedFolder(run, nestedPrefix))) return false;
    ++run.nestedArchives;
    run.listing.EntryDone();
    // Unpacking reads the file it wrote; testing, listing and packing read
    // the bytes where they are.
    const bool unpacking = run.options.mode == RunMode::kUnpack;
    const int walked = UnpackLevel(run, written.path, nestedPrefix, level.depth + 1,
                                   NestedLevel{unpacking ? nullptr : &written, walkPlace, built});
    if (unpacking && run.listing.Failures() == failuresBefore) run.tree.Remove(written.path);
    return walked == 0;
}

// Packing: notes the file the entry became (first walk), or decides the
// entry's fate (second walk), after walking a nested archive in it.
void PackAfterEntry(Level& level, WrittenEntry& written, EntryRecord& record, uint64_t failuresBefore, int index,
                    const DatEntry& e, const std::string& walkPlace) {
    Run& run = level.run;
    const bool nested = Begins(written.head, "GPDA") && run.options.recurse;
    if (run.collecting) {
        // A GIM image renamed took its file away from where it was written,
        // over whatever file was there.
        if (record.output != written.path) NoteFile(run, written.path, walkPlace, false, false);
        NoteFile(run, record.output, walkPlace, Begins(written.head, "MIG."), true);
        if (nested) (void)UnpackNested(level, written, failuresBefore, walkPlace, nullptr);
        return;
    }
    RebuiltArchive rebuilt(run.buffer);
    const bool walked = nested && UnpackNested(level, written, failuresBefore, walkPlace, &rebuilt);
    const PackSite site{*level.built, level.builtPath, level.archive.Data(), level.archive.Base(), level.path,
                        index, e, walkPlace};
    PackEntry(run, site, written, record, walked ? &rebuilt : nullptr);
}

// What follows a written entry: a GIM image is renamed (testing, listing and
// packing only say what its name would be), a bad gzip checksum reported, a
// GIM image converted, a nested archive unpacked (packing: walked and
// rebuilt).
void AfterEntry(Level& level, WrittenEntry& written, EntryRecord& record, uint64_t failuresBefore, int index,
                const DatEntry& e, const std::string& walkPlace) {
    Run& run = level.run;
    const bool image = Begins(written.head, "MIG.");
    if (image) {
        std::string gim = GimPath(written.path, level.prefix + written.name, run.options.names);
        if (!gim.empty() && (run.options.mode != RunMode::kUnpack || run.tree.Rename(written.path, gim) == 0))
            record.output = gim;
    }
    if (written.checksum == GzipChecksum::kBad) run.listing.Error(Failure::kBadGzipChecksum, written.path);
    if (image && run.options.convertGim && run.options.mode != RunMode::kList && run.pack == nullptr)
        ConvertGimToPng(run, written, record);
    if (run.pack != nullptr)
        PackAfterEntry(level, written, record, failuresBefore, index, e, walkPlace);
    else if (Begins(written.head, "GPDA") && run.options.recurse)
        (void)UnpackNested(level, written, failuresBefore, walkPlace, nullptr);
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

// Reads the entry's data (entry i, at walkPlace) and hands them on by the
// run's mode, then what follows a written entry.  Returns 0, or -1 after a
// failure.
int HandleData(Level& level, int i, const DatEntry& e, EntryRecord& record, uint64_t failuresBefore,
               const std::string& walkPlace) {
    Run& run = level.run;
    // A listed entry's line comes before the failure that ends it.
    const bool listing = run.LooksOnly();
    if (!DatEntryInRange(e, level.archive.Length())) {
        if (listing) run.listing.ListEntry(record);
        run.listing.Error(Failure::kEntryOutOfRange, level.path);
        return -1;
    }
    // Listing reads a few bytes of each entry, in small pieces, through a
    // window that serves entries lying close together with one read.
    const uint64_t at = level.archive.Base() + e.offset;
    const size_t piece = listing ? std::min<size_t>(run.buffer.Size(), kListPiece) : run.buffer.Size();
    EntryReader src(level.archive.Data(), run.buffer.Data(), piece, at, e.size);
    if (listing) src.ReadThrough(&level.archive.Window());
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
    AfterEntry(level, written, record, failuresBefore, i, e, walkPlace);
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
    const std::string walkPlace = run.pack != nullptr ? WalkPlace(level.walkPlace, i) : std::string();
    (void)HandleData(level, i, e, record, failuresBefore, walkPlace);
    // Packing keeps an entry it could not read, or whose file it could not
    // tell, as it is.
    if (run.pack != nullptr && !run.collecting && record.fate == EntryRecord::Fate::kUndecided)
        run.listing.EntryPacked();
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

// Unpacks the archive at path, or (nested.within not null) the nested
// archive whose bytes lie where within says, under prefix; packing also
// builds nested.built from it.  Returns 0, or -1 when it could not be opened.
int UnpackLevel(Run& run, const std::string& path, const std::string& prefix, int depth, const NestedLevel& nested) {
    Archive archive;
    Failure why;
    const WrittenEntry* within = nested.within;
    int opened = within != nullptr
                     ? archive.OpenWithin(*within->dataFile, within->dataBase, within->dataLength, &why)
                     : archive.Open(path, &why);
    if (opened != 0) {
        run.listing.Error(why, path);
        return -1;
    }
    if (RepeatsAnOpenArchive(run, archive)) {
        run.listing.Error(Failure::kContainsItself, path);
        return -1;
    }
    // The output budget follows from the size of the archive given.
    if (depth == 0) {
        const RunLimits& limits = run.options.limits;
        run.topArchive = path;
        run.output.SetLimit(archive.Length(), limits.outputPerArchiveByte, limits.outputAllowance);
    }
    OpenArchiveEntry listed(run, archive, path);
    if (nested.built != nullptr) nested.built->SetOriginal(archive.Data(), archive.Base(), archive.Length());
    const std::string& builtPath = depth == 0 && run.pack != nullptr ? run.pack->newPath : path;
    Level level{run, archive, path, prefix, depth, nested.walkPlace, nested.built, builtPath};
    WalkEntries(level);
    if (nested.built != nullptr) (void)FinishBuilding(run, *nested.built, path);
    return 0;
}

// Sets up the run's buffers.  Returns 0, or -1 after reporting the failure.
int AllocateBuffers(Run& run, const std::string& archivePath) {
    if (run.buffer.Allocate(kBufferSize) == 0 &&
        (run.pack == nullptr || run.collecting || run.treeBuffer.Allocate(kTreeBufferSize) == 0))
        return 0;
    run.listing.Error(Failure::kOutOfMemory, archivePath);
    return -1;
}

}  // namespace

void UnpackArchive(const std::string& archivePath, const std::string& destDir, const RunOptions& options,
                   Listing& listing) {
    Run run(options, destDir, listing);
    if (AllocateBuffers(run, archivePath) != 0) return;
    (void)UnpackLevel(run, archivePath, std::string(), 0, NestedLevel{nullptr, std::string(), nullptr});
}

void PackArchive(const std::string& archivePath, const std::string& destDir, const std::string& newPath,
                 const RunOptions& options, Listing& listing) {
    listing.StartPacking();
    // Building over the archive being read would lose it.
    if (plat::SameFile(archivePath, newPath)) {
        listing.Error(Failure::kCannotCreate, newPath);
        return;
    }
    PackPlan plan(newPath);
    const std::string top;
    {
        Listing silent(nullptr);
        Run first(options, destDir, silent);
        first.pack = &plan;
        first.collecting = true;
        if (AllocateBuffers(first, archivePath) != 0) {
            listing.Error(Failure::kOutOfMemory, archivePath);
            return;
        }
        (void)UnpackLevel(first, archivePath, top, 0, NestedLevel{nullptr, top, nullptr});
    }
    plan.owners.Seal();
    NewArchiveFile out;
    if (out.Create(newPath) != 0) {
        listing.Error(Failure::kCannotCreate, newPath);
        return;
    }
    Run run(options, destDir, listing);
    run.pack = &plan;
    if (AllocateBuffers(run, archivePath) != 0) return;
    RebuiltArchive built(run.buffer);
    built.BuildIn(out.Data());
    if (UnpackLevel(run, archivePath, top, 0, NestedLevel{nullptr, top, &built}) != 0 || plan.failed) return;
    const int committed = out.Commit();
    if (committed != 0) {
        listing.Error(committed == -2 ? Failure::kCannotCreate : Failure::kCannotWrite, newPath);
        return;
    }
    ListUnused(run);
    listing.PackSummary();
}
