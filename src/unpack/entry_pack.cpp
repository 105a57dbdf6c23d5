#include "unpack/entry_pack.h"

#include <algorithm>
#include <vector>

#include "io/little_endian.h"

namespace {

// The key of a path below the destination.
std::string KeyOf(const Run& run, const std::string& path) {
    const size_t dest = std::min(path.size(), run.tree.DestDir().size());
    return PathKey(path.substr(dest), run.options.names);
}

// True when the entry at walkPlace is the last one to write path.
bool OwnsFile(const Run& run, const std::string& path, const std::string& walkPlace) {
    FileOwners::Owner owner;
    return !run.pack->owners.Find(KeyOf(run, path), &owner) || owner.walkPlace == walkPlace;
}

// Sets the entry's fate, and its stored size in the new archive.
void Decide(EntryRecord& record, EntryRecord::Fate fate, uint64_t newSize) {
    record.fate = fate;
    record.newSize = newSize;
}

// Reports a step of building that failed: the archive cannot be written
// then, and the run stops.
void BuildFailed(Run& run, BuildStep step, const std::string& archivePath, const std::string& builtPath,
                 const std::string& sourcePath) {
    switch (step) {
        case BuildStep::kOk: return;
        case BuildStep::kSourceUnreadable: run.listing.Error(Failure::kCannotRead, sourcePath); break;
        case BuildStep::kOriginalUnreadable: run.listing.Error(Failure::kCannotRead, archivePath); break;
        case BuildStep::kWriteFailed: run.listing.Error(Failure::kCannotWrite, run.pack->newPath); break;
        case BuildStep::kTooLarge: run.listing.Error(Failure::kArchiveTooLarge, builtPath); break;
        case BuildStep::kOutOfMemory: run.listing.Error(Failure::kOutOfMemory, archivePath); break;
    }
    run.pack->failed = true;
    run.stopped = true;
}

// Replaces the entry by the length bytes of file (at sourcePath), stored or
// compressed as the entry was: a gzip member keeps its header as it is.
void Replace(Run& run, const PackSite& site, const WrittenEntry& written, EntryRecord& record, const File& file,
             uint64_t length, const std::string& sourcePath) {
    NewEntryData data{file, length};
    if (record.kind == EntryRecord::Kind::kGzip) {
        data.header = &site.archive;
        data.headerPos = site.base + site.entry.offset;
        data.headerLength = written.gzipHeaderLength;
    }
    uint64_t newSize = 0;
    const BuildStep step = site.into.Replace(site.index, site.entry, data, &newSize);
    if (step != BuildStep::kOk) {
        BuildFailed(run, step, site.archivePath, site.builtPath, sourcePath);
        Decide(record, EntryRecord::Fate::kKept, record.size);
        return;
    }
    Decide(record, EntryRecord::Fate::kReplaced, newSize);
}

// Decides by the file the entry became.
void PackFromFile(Run& run, const PackSite& site, WrittenEntry& written, EntryRecord& record) {
    Decide(record, EntryRecord::Fate::kKept, record.size);
    // An entry whose file a later one wrote over is kept as it is.
    if (!OwnsFile(run, record.output, site.walkPlace)) return;
    switch (written.match) {
        case WrittenEntry::Match::kNotLooked:
        case WrittenEntry::Match::kSame: return;
        case WrittenEntry::Match::kMissing:
            run.listing.Error(Failure::kMissing, record.output);
            Decide(record, EntryRecord::Fate::kMissing, record.size);
            return;
        case WrittenEntry::Match::kUnreadable:
            run.listing.Error(Failure::kCannotRead, record.output);
            return;
        case WrittenEntry::Match::kDiffers:
            Replace(run, site, written, record, written.treeFile, static_cast<uint64_t>(written.treeFile.Length()),
                    record.output);
            return;
    }
}

}  // namespace

std::string WalkPlace(const std::string& within, int index) {
    uint8_t bytes[4];
    WriteLE32(bytes, static_cast<uint32_t>(index));
    return within + std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

void NoteFile(Run& run, const std::string& path, const std::string& walkPlace, bool gim, bool stays) {
    run.pack->owners.Note(KeyOf(run, path), FileOwners::Owner{walkPlace, gim, stays});
}

bool RebuildsFromFolder(Run& run, const std::string& path, const std::string& folder) {
    return run.tree.IsFolder(folder) || !run.tree.Holds(path);
}

void PackEntry(Run& run, const PackSite& site, WrittenEntry& written, EntryRecord& record,
               const RebuiltArchive* nested) {
    if (run.pack->failed) {
        Decide(record, EntryRecord::Fate::kKept, record.size);
    } else if (nested == nullptr) {
        PackFromFile(run, site, written, record);
    } else if (nested->Changed()) {
        Replace(run, site, written, record, nested->Built(), nested->Length(), written.path);
    } else {
        // Every entry in it kept: its original bytes stay.
        Decide(record, EntryRecord::Fate::kKept, record.size);
    }
    run.listing.EntryPacked();
}

int FinishBuilding(Run& run, RebuiltArchive& built, const std::string& archivePath) {
    if (run.pack->failed) return -1;
    const BuildStep step = built.Finish();
    BuildFailed(run, step, archivePath, run.pack->newPath, archivePath);
    return step == BuildStep::kOk ? 0 : -1;
}

void ListUnused(Run& run) {
    const std::string png = ".png";
    const FileOwners& owners = run.pack->owners;
    std::vector<std::string> unused;
    FileOwners::Owner owner;
    (void)run.tree.VisitFiles([&](const std::string& path) {
        const std::string key = KeyOf(run, path);
        if (owners.Find(key, &owner) && owner.stays) return;
        // A PNG image made from a GIM image, named after it.
        if (key.size() > png.size() && key.compare(key.size() - png.size(), png.size(), png) == 0 &&
            owners.Find(key.substr(0, key.size() - png.size()), &owner) && owner.gim && owner.stays)
            return;
        unused.push_back(NormaliseSeparators(path, run.options.names));
    });
    std::sort(unused.begin(), unused.end());
    for (const std::string& path : unused) run.listing.Unused(path);
}
