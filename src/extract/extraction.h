// Unpacking and testing walk alike and print alike; they differ only in
// where an entry's bytes go.  Extraction is what they share: an entry's
// line, its output reported as unpacking reports it, then what follows a
// written entry (a GIM image renamed and, with -g, converted to PNG; a bad
// gzip checksum; an archive inside walked in turn).  The unpacker and the
// tester fill in the rest: where the bytes go, how a file is renamed, where
// a written entry's bytes can be read again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "extract/entry_sink.h"
#include "extract/expand.h"
#include "io/mapped_bytes.h"
#include "listing/entry_lines.h"
#include "walk/entry_handler.h"
#include "walk/run.h"

// True when an output file at path would overwrite an archive being read,
// which unpacking refuses: one open on disk, or (for runs that read nested
// archives where they lie) one that unpacking would have written there.
bool WouldOverwriteArchive(const ArchiveScope& scope, const std::string& path);

// The name a GIM image the entry became takes: its output path with ".gim"
// for its last extension; empty when it keeps its name (its path below the
// destination holds ".gim" already).
std::string GimPathOf(const EntryVisit& entry, const NameRules& rules);

// How making and filling an entry's output went, whoever did it.
struct OutputResult {
    enum Made { kMade, kOverBudget, kCannotCreate } made = kMade;
    int systemError = 0;                  // why it could not be created or written
    CopyStop copy = CopyStop::kDone;      // a stored entry's copy
    InflateOutcome inflate{InflateOutcome::kEnd, 0, 0, GzipChecksum::kNone};  // a gzip member's
    bool finished = true;                 // the output was ended without loss
};

// Makes out and fills it with the entry's bytes from data (a stored entry
// copied, a gzip member expanded), then ends it.
OutputResult FillOutput(EntryVisit& entry, EntryReader& data, EntrySink& out);

// Where the bytes of a written entry can be read again, when no output file
// holds them: a stretch of an open file (none: file is null).
struct WrittenBytes {
    const File* file = nullptr;
    uint64_t base = 0;
    uint64_t length = 0;
};

// The bytes of an entry written (or tested) into a sink that kept a gzip
// member's bytes in kept: the entry's own stretch of its archive when it is
// stored, kept (length bytes) when it is a gzip member and kept is open.
WrittenBytes BytesOfEntry(const EntryVisit& entry, const File& kept, uint64_t length);

class Extraction : public EntryHandler {
public:
    // lines prints the listing (null: nothing is printed).
    Extraction(const RunOptions& options, RunState& state, ExtractionLines* lines)
        : options_(options), state_(state), lines_(lines) {}

    void BeginEntry(EntryVisit& entry) override;
    void DataRefused(EntryVisit& entry) override;
    bool EnterNested(EntryVisit& entry, const std::string& folder) override;
    void EndEntry(EntryVisit& entry, Expansion* expansion, NestedWalk nested) override;

protected:
    // Reports the entry's output, made into out with result, as unpacking
    // reports it, charging what out reached to the output budget.  Returns
    // true when the entry was written whole (its line ended), false after
    // reporting the failure that stopped it.
    bool ReportOutput(EntryVisit& entry, const EntrySink& out, const OutputResult& result);

    // What follows a written entry whose bytes began with head: a GIM image
    // renamed (RenameGim) and, with -g, converted; a bad checksum reported.
    Committed AfterOutput(EntryVisit& entry, const uint8_t* head, GzipChecksum checksum, const WrittenBytes& bytes);

    // Refuses an entry whose path would leave the destination.  Returns
    // true when it was refused (reported).
    bool RefuseUnsafe(EntryVisit& entry);

    // ---- what the unpacker and the tester do each their own way ----

    // Gives the GIM image at `from` the name `to`.  Returns 0, or -1 when it
    // keeps its name.
    virtual int RenameGim(const std::string& from, const std::string& to) = 0;

    // Maps the bytes of the GIM image the entry became (at
    // entry.listed.output, or where bytes says).  Returns 0, or -1.
    virtual int MapGim(EntryVisit& entry, const WrittenBytes& bytes, File& file, MappedBytes* mapped) = 0;

    // A sink for a file made from the entry (its PNG image) at path.
    virtual std::unique_ptr<EntrySink> NewMadeFile(EntryVisit& entry, const std::string& path, uint64_t allowance) = 0;

    // The nested archive the entry held was walked (or could not be opened).
    virtual void AfterNested(EntryVisit& entry) { (void)entry; }

    const RunOptions& options_;
    RunState& state_;
    ExtractionLines* lines_;

private:
    // Reports a failure of out at path: the budget's when it refused, else
    // failure.
    void ReportOutputFailure(const EntrySink& out, Failure failure, const std::string& path, int systemError);
    // Reports a failed read of the archive or write of the output.
    void ReportBrokenCopy(EntryVisit& entry, const EntrySink& out, bool readFailed, int systemError);
    // ReportOutput for a stored entry, and for a gzip member, once its
    // output was made.
    bool ReportStored(EntryVisit& entry, const EntrySink& out, const OutputResult& result);
    bool ReportMember(EntryVisit& entry, const EntrySink& out, const OutputResult& result);
    // Charges the budget for what out reached, unless it refused.
    void Charge(const EntrySink& out);
    // Converts the GIM image the entry became into a PNG image beside it.
    void ConvertGim(EntryVisit& entry, const WrittenBytes& bytes);
    // Writes a file made from the entry, whole.  Returns 0, or -1 after
    // reporting the failure.
    int WriteMadeFile(EntryVisit& entry, const std::string& path, const uint8_t* data, size_t len);
};
