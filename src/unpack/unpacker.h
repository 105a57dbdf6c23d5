// Unpacking: every entry's bytes written to its file in the output tree,
// through the tree's link-safe walk; GIM images renamed (and converted with
// -g); an archive inside unpacked from the file it was written to, which is
// removed afterwards when nothing failed on the way.
#pragma once

#include <memory>

#include "extract/extraction.h"
#include "tree/output_tree.h"

class Unpacker : public Extraction {
public:
    // Writes into tree (the destination of options).
    Unpacker(const RunOptions& options, RunState& state, ExtractionLines* lines, OutputTree& tree)
        : Extraction(options, state, lines), tree_(tree) {}

    // Entries are written by the commit step itself, straight into their
    // files.
    std::unique_ptr<Expansion> Expand(EntryVisit& entry, EntryReader& data) override;
    Committed Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) override;
    int FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) override;

protected:
    int RenameGim(const std::string& from, const std::string& to) override;
    int MapGim(EntryVisit& entry, const WrittenBytes& bytes, File& file, MappedBytes* mapped) override;
    std::unique_ptr<EntrySink> NewMadeFile(EntryVisit& entry, const std::string& path, uint64_t allowance) override;
    void AfterNested(EntryVisit& entry) override;

private:
    OutputTree& tree_;
};

// Unpacks the archive at archivePath into options.destDir, printing to
// lines (null: nothing); failures are reported to state.
void Unpack(const std::string& archivePath, const RunOptions& options, RunState& state, ExtractionLines* lines);
