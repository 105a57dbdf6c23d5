// Testing (-t): everything unpacking does, with nothing written.  Every
// entry is read and expanded and its trailer checked, every limit and
// refusal applied as unpacking applies them, and the same lines printed;
// archives inside are walked where their bytes lie (a gzip member's in an
// anonymous temporary file), and GIM images decoded and encoded with -g.
#pragma once

#include <memory>

#include "extract/extraction.h"

class Tester : public Extraction {
public:
    using Extraction::Extraction;

    // Expands the entry, counting what unpacking would write.
    std::unique_ptr<Expansion> Expand(EntryVisit& entry, EntryReader& data) override;
    Committed Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) override;
    int FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) override;

protected:
    int RenameGim(const std::string& from, const std::string& to) override;
    int MapGim(EntryVisit& entry, const WrittenBytes& bytes, File& file, MappedBytes* mapped) override;
    std::unique_ptr<EntrySink> NewMadeFile(EntryVisit& entry, const std::string& path, uint64_t allowance) override;

private:
    File nothing_;  // what the sink of a made file keeps: nothing
};

// Tests the archive at archivePath as unpacking it into options.destDir
// would go, printing to lines (null: nothing).
void Test(const std::string& archivePath, const RunOptions& options, RunState& state, ExtractionLines* lines);
