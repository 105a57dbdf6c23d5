// The output file of one entry, written from a stored entry or a gzip
// member.  The file keeps its first bytes as they pass (what the nested
// archive and GIM checks look at, without reading the file back), and is
// removed unless it was finished: a file left behind is always complete.
#include "unpack/entry_output.h"

#include <algorithm>
#include <cstring>

#include "gzip/gzip_member.h"

namespace {

constexpr size_t kHeadSize = sizeof(WrittenEntry{}.head);

class OutputFile : public ByteSink {
public:
    // The file at path, not yet created.
    OutputFile(Run& run, const std::string& path) : run_(run), path_(path) { std::memset(head_, 0, kHeadSize); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // An unfinished file is removed.
    ~OutputFile() override {
        if (!file_.IsOpen()) return;
        (void)file_.Close();
        run_.tree.Remove(path_);
    }

    // Creates the file, within the run's output budget.  Returns 0, or -1
    // when it cannot be created or the budget has no room for it.
    int Create() {
        if (run_.output.BeginFile() != 0) {
            overBudget_ = true;
            return -1;
        }
        if (run_.tree.CreateFile(path_, file_) == 0) return 0;
        run_.output.CancelFile();
        return -1;
    }

    int Write(const uint8_t* data, size_t len) override {
        if (Charge(written_ + len) != 0) return -1;
        if (written_ < kHeadSize) std::memcpy(head_ + written_, data, std::min<uint64_t>(len, kHeadSize - written_));
        written_ += len;
        return file_.Write(data, len);
    }

    // Writing again from the start: the budget has paid for what is written
    // again already.
    int Restart() override {
        std::memset(head_, 0, kHeadSize);
        written_ = 0;
        return file_.Empty();
    }

    // Has the system append len bytes at pos of src.  Returns the count
    // copied (short when it could not copy the rest, none past the budget).
    uint64_t CopyFrom(const File& src, uint64_t pos, uint64_t len) {
        if (Charge(written_ + len) != 0) return 0;
        uint64_t copied = file_.CopyFrom(src, pos, len);
        written_ += copied;
        return copied;
    }

    // Closes the complete file.  Returns 0, or -1 when closing failed (data
    // written before may be lost: a network file system or a full quota
    // reports it only here); the file is removed then.
    int Finish() {
        if (file_.Close() == 0) return 0;
        run_.tree.Remove(path_);
        return -1;
    }

    void CopyHead(uint8_t* out) const { std::memcpy(out, head_, kHeadSize); }

    // True when the run's output budget refused the file or a write to it.
    bool OverBudget() const { return overBudget_; }

private:
    // Charges the budget for the file reaching `end` bytes.  Returns 0, or
    // -1 when the budget has no room.
    int Charge(uint64_t end) {
        if (run_.output.Reach(end) == 0) return 0;
        overBudget_ = true;
        return -1;
    }

    Run& run_;
    const std::string& path_;
    File file_;
    uint8_t head_[kHeadSize];
    uint64_t written_ = 0;
    bool overBudget_ = false;
};

// Reports that the run's output passed its budget, and stops the run.
void ReportTooMuchOutput(Run& run) {
    run.listing.Error(Failure::kTooMuchOutput, run.topArchive);
    run.stopped = true;
}

// Works out where name goes, and refuses an unsafe name.  Returns 0, or -1
// after reporting the failure.
int PlaceOutput(Run& run, const EntryPlace& place, const std::string& name, WrittenEntry* written) {
    const NameRules& rules = run.options.names;
    written->name = name;
    written->path = NormaliseSeparators(OutputPath(run.tree.DestDir(), place.prefix, name), rules);
    if (!IsUnsafeEntryPath(place.prefix, name, rules)) return 0;
    run.listing.Error(Failure::kUnsafePath, written->path);
    return -1;
}

// Creates the output file.  Returns 0, or -1 after reporting the failure.
int CreateOutput(Run& run, const WrittenEntry& written, OutputFile& out) {
    if (out.Create() == 0) return 0;
    if (out.OverBudget())
        ReportTooMuchOutput(run);
    else
        run.listing.Error(Failure::kCannotCreate, written.path);
    return -1;
}

// Reports a failed read of the archive or write of the output file, or a
// write the output budget refused.
void ReportBrokenCopy(Run& run, const EntryPlace& place, const WrittenEntry& written, const OutputFile& out,
                      bool readFailed) {
    if (out.OverBudget())
        ReportTooMuchOutput(run);
    else if (readFailed)
        run.listing.Error(Failure::kCannotRead, place.archivePath);
    else
        run.listing.Error(Failure::kCannotWrite, written.path);
}

}  // namespace

int WriteStoredEntry(Run& run, const EntryPlace& place, EntryReader& src, const std::string& name,
                     WrittenEntry* written) {
    if (PlaceOutput(run, place, CutGz(name, run.options.names), written) != 0) return -1;
    OutputFile out(run, written->path);
    if (CreateOutput(run, *written, out) != 0) return -1;
    // The piece already read goes through memory, the rest is copied by the
    // system where it can, and through the buffer where it cannot.
    bool copiedBySystem = false;
    int more;
    while ((more = src.Fill()) > 0) {
        if (out.Write(src.Data(), src.Available()) != 0) {
            ReportBrokenCopy(run, place, *written, out, false);
            return -1;
        }
        src.Consume(src.Available());
        if (!copiedBySystem && src.Remaining() > 0) {
            copiedBySystem = true;
            src.Skip(out.CopyFrom(place.archive, src.NextOffset(), src.Remaining()));
        }
    }
    if (more < 0 || out.Finish() != 0) {
        ReportBrokenCopy(run, place, *written, out, more < 0);
        return -1;
    }
    out.CopyHead(written->head);
    run.listing.EndEntry();
    return 0;
}

int WriteGzipEntry(Run& run, const EntryPlace& place, EntryReader& src, const std::string& name,
                   WrittenEntry* written) {
    const NameRules& rules = run.options.names;
    GzipHeader header;
    switch (ReadGzipHeader(src, &header)) {
        case GzipHeaderResult::kOk:
            break;
        case GzipHeaderResult::kBad:
            run.listing.Error(Failure::kBadGzipHeader, place.archivePath);
            return -1;
        case GzipHeaderResult::kUnreadable:
            run.listing.Error(Failure::kCannotRead, place.archivePath);
            return -1;
    }
    const std::string fileName = header.fileName ? NameFromArchive(*header.fileName, rules) : name;
    if (PlaceOutput(run, place, CutGz(fileName, rules), written) != 0) return -1;
    OutputFile out(run, written->path);
    if (CreateOutput(run, *written, out) != 0) return -1;
    InflateOutcome outcome{InflateOutcome::kEnd, 0, 0, GzipChecksum::kNone};
    // A member that ends right after its header is never inflated.
    if (src.Remaining() > 0) outcome = ExpandMember(src, out);
    if (outcome.stop == InflateOutcome::kReadFailed || outcome.stop == InflateOutcome::kWriteFailed) {
        ReportBrokenCopy(run, place, *written, out, outcome.stop == InflateOutcome::kReadFailed);
        return -1;
    }
    if (outcome.stop == InflateOutcome::kCode) run.listing.InflateCode(outcome.code);
    if (out.Finish() != 0) {
        ReportBrokenCopy(run, place, *written, out, false);
        return -1;
    }
    out.CopyHead(written->head);
    run.listing.Expanded(outcome.produced);
    run.listing.EndEntry();
    if (outcome.checksum == GzipChecksum::kBad) run.listing.Error(Failure::kBadGzipChecksum, written->path);
    return 0;
}
