// Packing's second walk: every entry expanded as testing expands it and
// compared, as it streams, with the file it became; an entry whose file
// holds its bytes is kept, one whose file changed is replaced by the file's
// bytes (a gzip member compressed again) in the archive being built, and a
// nested archive is built anew from its folder.  Each entry's line comes
// once its fate is known.
#pragma once

#include <memory>
#include <vector>

#include "extract/extraction.h"
#include "listing/pack_lines.h"
#include "pack/pack_plan.h"
#include "pack/rebuilt_archive.h"

class PackBuilder : public Extraction {
public:
    // options: the run's, converting no image.  top: the archive built from
    // the archive given.  treeBuffer is lent for reading the tree's files,
    // buildBuffer (at least kIndexLimit bytes) for building archives.
    PackBuilder(const RunOptions& options, RunState& state, PackLines* lines, OutputTree& tree, PackPlan& plan,
                RebuiltArchive& top, HeapBuffer& treeBuffer, HeapBuffer& buildBuffer)
        : Extraction(options, state, nullptr), lines_(lines), tree_(tree), plan_(plan), top_(top),
          treeBuffer_(treeBuffer), buildBuffer_(buildBuffer) {}

    void BeginArchive(const ArchiveScope& scope) override;
    void EndArchive(const ArchiveScope& scope) override;
    void BeginEntry(EntryVisit& entry) override;
    std::unique_ptr<Expansion> Expand(EntryVisit& entry, EntryReader& data) override;
    Committed Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) override;
    bool EnterNested(EntryVisit& entry, const std::string& folder) override;
    int FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) override;
    void EndEntry(EntryVisit& entry, Expansion* expansion, NestedWalk nested) override;

protected:
    int RenameGim(const std::string& from, const std::string& to) override;
    int MapGim(EntryVisit& entry, const WrittenBytes& bytes, File& file, MappedBytes* mapped) override;
    std::unique_ptr<EntrySink> NewMadeFile(EntryVisit& entry, const std::string& path, uint64_t allowance) override;

private:
    // An entry being packed.
    struct Packing {
        bool compared = false;                   // its bytes were compared with its file
        std::unique_ptr<RebuiltArchive> nested;  // the archive built from its folder
    };

    // Decides the entry's fate and prints its line.
    void Decide(EntryVisit& entry, Expansion& expansion, const RebuiltArchive* nested);
    // The fate by the file the entry became.
    PackFate FromFile(EntryVisit& entry, Expansion& expansion, uint64_t* newSize);
    // Replaces the entry by the length bytes of file (at sourcePath),
    // stored or compressed as the entry was.
    PackFate Replace(EntryVisit& entry, const File& file, uint64_t length, const std::string& sourcePath,
                     uint64_t* newSize);
    // Reports a step of building that failed: the archive cannot be
    // written then, and the run stops.
    void BuildFailed(BuildStep step, const std::string& archivePath, const std::string& builtPath,
                     const std::string& sourcePath);

    PackLines* lines_;
    OutputTree& tree_;
    PackPlan& plan_;
    RebuiltArchive& top_;
    HeapBuffer& treeBuffer_;
    HeapBuffer& buildBuffer_;
    std::vector<Packing> entries_;           // the entries open, outermost first
    std::vector<RebuiltArchive*> archives_;  // the archives being built, outermost first
    File nothing_;                           // what a sink of no made file keeps
};
