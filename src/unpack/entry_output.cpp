// Where one entry's bytes go.  Unpacking writes them to the output file,
// which is removed unless it was finished: a file left behind is always
// complete.  Testing writes nothing, except a gzip member that turns out to
// be an archive, which goes to a temporary file so that its entries can be
// tested in turn.  Either way the first bytes are kept as they pass (what
// the nested-archive and GIM checks look at), and every byte is charged to
// the run's output budget: testing counts what unpacking would write.
#include "unpack/entry_output.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "gzip/gzip_header.h"
#include "gzip/gzip_member.h"
#include "io/little_endian.h"

namespace {

constexpr size_t kHeadSize = sizeof(WrittenEntry{}.head);

bool BeginsWithArchive(const uint8_t* head) { return std::memcmp(head, "GPDA", 4) == 0; }

// The output of one entry: a sink that keeps the first bytes written and
// charges them to the run's output budget.
class EntryOutput : public ByteSink {
public:
    EntryOutput(Run& run, uint8_t* head) : run_(run), head_(head) { std::memset(head_, 0, kHeadSize); }

    // Begins the output within the run's output budget and makes it ready.
    // Returns 0, or -1 when the budget has no room for it (OverBudget()) or
    // the file cannot be created.
    int Create() {
        if (run_.output.BeginFile() != 0) {
            overBudget_ = true;
            return -1;
        }
        if (Open() == 0) return 0;
        run_.output.CancelFile();
        return -1;
    }

    // Has the system append len bytes at pos of src, where it can.  Returns
    // the count copied (short when it could not copy the rest).
    virtual uint64_t CopyFrom(const File& src, uint64_t pos, uint64_t len) = 0;

    // Ends the output.  Returns 0, or -1 when data may have been lost.
    virtual int Finish() = 0;

    // True when the run's output budget refused the output or a write to it.
    bool OverBudget() const { return overBudget_; }

protected:
    // Makes the output ready.  Returns 0, or -1 when the file cannot be
    // created.
    virtual int Open() = 0;

    // Charges the budget for the output reaching `end` bytes; a stretch
    // written again (after Forget) is paid for already.  Returns 0, or -1
    // when the budget has no room.
    int Charge(uint64_t end) {
        if (run_.output.Reach(end) == 0) return 0;
        overBudget_ = true;
        return -1;
    }

    // Charges len more bytes and keeps what falls in the first bytes.
    // Returns 0, or -1 when the budget has no room (nothing kept then).
    int Keep(const uint8_t* data, size_t len) {
        if (Charge(written_ + len) != 0) return -1;
        if (written_ < kHeadSize) std::memcpy(head_ + written_, data, std::min<uint64_t>(len, kHeadSize - written_));
        written_ += len;
        return 0;
    }
    void Forget() {
        std::memset(head_, 0, kHeadSize);
        written_ = 0;
    }

    Run& run_;
    uint8_t* head_;
    uint64_t written_ = 0;
    bool overBudget_ = false;
};

// Unpacking: the output file.
class OutputFile : public EntryOutput {
public:
    OutputFile(Run& run, const std::string& path, uint8_t* head) : EntryOutput(run, head), tree_(run.tree), path_(path) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // An unfinished file is removed.
    ~OutputFile() override {
        if (!file_.IsOpen()) return;
        (void)file_.Close();
        tree_.Remove(path_);
    }

    int Open() override { return tree_.CreateFile(path_, file_); }

    int Write(const uint8_t* data, size_t len) override {
        if (Keep(data, len) != 0) return -1;
        return file_.Write(data, len);
    }

    int Restart() override {
        Forget();
        return file_.Empty();
    }

    // Nothing is copied past the budget.
    uint64_t CopyFrom(const File& src, uint64_t pos, uint64_t len) override {
        if (Charge(written_ + len) != 0) return 0;
        uint64_t copied = file_.CopyFrom(src, pos, len);
        written_ += copied;
        return copied;
    }

    // Closing can report that data written before may be lost (a network
    // file system or a full quota reports it only here); the file is
    // removed then.
    int Finish() override {
        if (file_.Close() == 0) return 0;
        tree_.Remove(path_);
        return -1;
    }

private:
    OutputTree& tree_;
    const std::string& path_;
    File file_;
};

// What testing keeps of a gzip member's expanded bytes, in a temporary
// file: an archive, to test its entries; a GIM image, to convert it.
struct KeptBytes {
    bool archives;
    bool images;

    bool Keeps(const uint8_t* head) const {
        return (archives && BeginsWithArchive(head)) || (images && std::memcmp(head, "MIG.", 4) == 0);
    }
};

// Testing: nothing is written, but the refusal to overwrite an archive being
// read is decided as unpacking would.  Bytes that `keep` keeps go to the
// temporary file.
class TestOutput : public EntryOutput {
public:
    // path: where unpacking would write, or empty for none.
    TestOutput(Run& run, std::string path, KeptBytes keep, uint8_t* head, File& temporary)
        : EntryOutput(run, head), path_(std::move(path)), keep_(keep), temporary_(temporary) {}

    int Open() override { return path_.empty() || !run_.IsBeingRead(path_) ? 0 : -1; }

    int Write(const uint8_t* data, size_t len) override {
        const uint64_t before = written_;
        if (Keep(data, len) != 0) return -1;
        if (!decided_ && written_ >= 4) {
            decided_ = true;
            if (keep_.Keeps(head_)) {
                // The bytes before this piece are all in the head.
                if (temporary_.OpenTemporary() != 0 || temporary_.Write(head_, static_cast<size_t>(before)) != 0)
                    return -1;
            }
        }
        return temporary_.IsOpen() ? temporary_.Write(data, len) : 0;
    }

    int Restart() override {
        Forget();
        decided_ = false;
        return temporary_.IsOpen() ? temporary_.Close() : 0;
    }

    uint64_t CopyFrom(const File&, uint64_t, uint64_t) override { return 0; }

    int Finish() override { return 0; }

protected:
    std::string path_;

private:
    KeptBytes keep_;
    bool decided_ = false;
    File& temporary_;
};

// Packing: tests as above, and compares the bytes with the file they became
// in the tree, which is looked up once the first bytes tell whether it was
// renamed as a GIM image.
class CompareOutput : public TestOutput {
public:
    CompareOutput(Run& run, const std::string& relPath, bool keepArchive, WrittenEntry& written)
        : TestOutput(run, written.path, KeptBytes{keepArchive, false}, written.head, written.temporary),
          relPath_(relPath), entry_(written) {}

    int Write(const uint8_t* data, size_t len) override {
        const uint64_t before = written_;
        if (TestOutput::Write(data, len) != 0) return -1;
        if (!looked_ && written_ >= 4) {
            Look();
            Compare(head_, static_cast<size_t>(before));  // the bytes before this piece are all in the head
        }
        if (looked_) Compare(data, len);
        return 0;
    }

    int Restart() override {
        looked_ = false;
        compared_ = 0;
        entry_.match = WrittenEntry::Match::kNotLooked;
        (void)entry_.treeFile.Close();
        return TestOutput::Restart();
    }

    int Finish() override {
        if (!looked_) {
            Look();
            Compare(head_, static_cast<size_t>(written_));
        }
        if (entry_.match == WrittenEntry::Match::kSame &&
            static_cast<uint64_t>(entry_.treeFile.Length()) != written_)
            entry_.match = WrittenEntry::Match::kDiffers;
        return TestOutput::Finish();
    }

private:
    // Opens the file the bytes became.
    void Look() {
        looked_ = true;
        std::string path = path_;
        if (std::memcmp(head_, "MIG.", 4) == 0) {
            std::string gim = GimPath(path_, relPath_, run_.options.names);
            if (!gim.empty()) path = gim;
        }
        switch (run_.tree.OpenToRead(path, entry_.treeFile)) {
            case 0: entry_.match = WrittenEntry::Match::kSame; break;
            case 1: entry_.match = WrittenEntry::Match::kMissing; break;
            default: entry_.match = WrittenEntry::Match::kUnreadable; break;
        }
    }

    // Compares the next len bytes with the file, while they still match.
    void Compare(const uint8_t* data, size_t len) {
        HeapBuffer& buffer = run_.treeBuffer;
        for (size_t done = 0; done < len && entry_.match == WrittenEntry::Match::kSame;) {
            const size_t n = std::min(len - done, buffer.Size());
            const int64_t got = entry_.treeFile.ReadAt(compared_, buffer.Data(), n);
            if (got < 0)
                entry_.match = WrittenEntry::Match::kUnreadable;
            else if (got != static_cast<int64_t>(n) || std::memcmp(buffer.Data(), data + done, n) != 0)
                entry_.match = WrittenEntry::Match::kDiffers;
            compared_ += n;
            done += n;
        }
    }

    std::string relPath_;  // prefix and name: where a ".gim" keeps the name
    WrittenEntry& entry_;
    bool looked_ = false;
    uint64_t compared_ = 0;
};

std::unique_ptr<EntryOutput> NewOutput(Run& run, const EntryPlace& place, WrittenEntry& written, bool gzip) {
    const bool keepArchive = gzip && run.options.recurse;
    switch (run.options.mode) {
        case RunMode::kUnpack: return std::make_unique<OutputFile>(run, written.path, written.head);
        case RunMode::kPack:
            return std::make_unique<CompareOutput>(run, place.prefix + written.name, keepArchive, written);
        case RunMode::kTest:
        case RunMode::kList: break;
    }
    const KeptBytes keep{keepArchive, gzip && run.options.convertGim};
    return std::make_unique<TestOutput>(run, written.path, keep, written.head, written.temporary);
}

// Works out where name goes.  Returns true when the name is safe.
bool PlaceOutput(Run& run, const EntryPlace& place, const std::string& name, WrittenEntry* written) {
    const NameRules& rules = run.options.names;
    written->name = name;
    written->path = NormaliseSeparators(OutputPath(run.tree.DestDir(), place.prefix, name), rules);
    place.record.output = written->path;
    return !IsUnsafeEntryPath(place.prefix, name, rules);
}

// Works out where name goes, and refuses an unsafe name.  Returns 0, or -1
// after reporting the failure.
int PlaceSafeOutput(Run& run, const EntryPlace& place, const std::string& name, WrittenEntry* written) {
    if (PlaceOutput(run, place, name, written)) return 0;
    run.listing.Error(Failure::kUnsafePath, written->path);
    return -1;
}

// Reports that the run's output passed its budget, and stops the run.
void ReportTooMuchOutput(Run& run) {
    run.listing.Error(Failure::kTooMuchOutput, run.topArchive);
    run.stopped = true;
}

// Reports a failure of out at path: the output budget's when it refused,
// else failure.
void ReportOutputFailure(Run& run, const EntryOutput& out, Failure failure, const std::string& path) {
    if (out.OverBudget())
        ReportTooMuchOutput(run);
    else
        run.listing.Error(failure, path);
}

// Makes the output ready.  Returns 0, or -1 after reporting the failure.
int CreateOutput(Run& run, const WrittenEntry& written, EntryOutput& out) {
    if (out.Create() == 0) return 0;
    ReportOutputFailure(run, out, Failure::kCannotCreate, written.path);
    return -1;
}

// Reports a failed read of the archive or write of the output file, or a
// write the output budget refused.
void ReportBrokenCopy(Run& run, const EntryPlace& place, const WrittenEntry& written, const EntryOutput& out,
                      bool readFailed) {
    if (readFailed && !out.OverBudget())
        run.listing.Error(Failure::kCannotRead, place.archivePath);
    else
        ReportOutputFailure(run, out, Failure::kCannotWrite, written.path);
}

EntryRecord::Content ContentOf(const uint8_t* head) {
    if (BeginsWithArchive(head)) return EntryRecord::Content::kArchive;
    if (std::memcmp(head, "MIG.", 4) == 0) return EntryRecord::Content::kGim;
    return EntryRecord::Content::kData;
}

// Reads the gzip header into the record.  Returns 0, or -1 after reporting
// the failure.
int ReadHeader(Run& run, const EntryPlace& place, EntryReader& src) {
    GzipHeader header;
    switch (ReadGzipHeader(src, &header)) {
        case GzipHeaderResult::kOk:
            place.record.gzip = header;
            return 0;
        case GzipHeaderResult::kBad:
            run.listing.Error(Failure::kBadGzipHeader, place.archivePath);
            return -1;
        case GzipHeaderResult::kUnreadable:
            run.listing.Error(Failure::kCannotRead, place.archivePath);
            return -1;
    }
    return -1;
}

// The name a gzip member is written under: the header's file name, if any.
std::string GzipFileName(const Run& run, const EntryPlace& place) {
    const auto& fileName = place.record.gzip->fileName;
    return CutGz(fileName ? NameFromArchive(*fileName, run.options.names) : place.record.name, run.options.names);
}

}  // namespace

int WriteStoredEntry(Run& run, const EntryPlace& place, EntryReader& src, WrittenEntry* written) {
    if (PlaceSafeOutput(run, place, CutGz(place.record.name, run.options.names), written) != 0) return -1;
    std::unique_ptr<EntryOutput> out = NewOutput(run, place, *written, false);
    if (CreateOutput(run, *written, *out) != 0) return -1;
    // The piece already read goes through memory, the rest is copied by the
    // system where it can, and through the buffer where it cannot.
    bool copiedBySystem = false;
    int more;
    while ((more = src.Fill()) > 0) {
        if (out->Write(src.Data(), src.Available()) != 0) {
            ReportBrokenCopy(run, place, *written, *out, false);
            return -1;
        }
        src.Consume(src.Available());
        if (!copiedBySystem && src.Remaining() > 0) {
            copiedBySystem = true;
            src.Skip(out->CopyFrom(place.archive, src.NextOffset(), src.Remaining()));
        }
    }
    if (more < 0 || out->Finish() != 0) {
        ReportBrokenCopy(run, place, *written, *out, more < 0);
        return -1;
    }
    place.record.expanded = place.record.size;
    place.record.content = ContentOf(written->head);
    written->dataFile = &place.archive;
    written->dataBase = place.base + place.record.offset;
    written->dataLength = place.record.size;
    run.listing.EndEntry();
    return 0;
}

int WriteGzipEntry(Run& run, const EntryPlace& place, EntryReader& src, WrittenEntry* written) {
    if (ReadHeader(run, place, src) != 0) return -1;
    written->gzipHeaderLength = src.Position();
    if (PlaceSafeOutput(run, place, GzipFileName(run, place), written) != 0) return -1;
    std::unique_ptr<EntryOutput> out = NewOutput(run, place, *written, true);
    if (CreateOutput(run, *written, *out) != 0) return -1;
    InflateOutcome outcome{InflateOutcome::kEnd, 0, 0, GzipChecksum::kNone};
    // A member that ends right after its header is never inflated.
    if (src.Remaining() > 0) outcome = ExpandMember(src, *out);
    if (outcome.stop == InflateOutcome::kReadFailed || outcome.stop == InflateOutcome::kWriteFailed) {
        ReportBrokenCopy(run, place, *written, *out, outcome.stop == InflateOutcome::kReadFailed);
        return -1;
    }
    place.record.expanded = outcome.produced;
    place.record.content = ContentOf(written->head);
    place.record.checksum = outcome.checksum;
    if (outcome.stop == InflateOutcome::kCode) run.listing.InflateCode(outcome.code);
    if (out->Finish() != 0) {
        ReportBrokenCopy(run, place, *written, *out, false);
        return -1;
    }
    if (written->temporary.IsOpen()) {
        written->dataFile = &written->temporary;
        written->dataLength = outcome.produced;
    }
    written->checksum = outcome.checksum;
    run.listing.Expanded(outcome.produced);
    run.listing.EndEntry();
    return 0;
}

int ListEntryData(Run& run, const EntryPlace& place, EntryReader& src, bool gzip, WrittenEntry* written) {
    EntryRecord& record = place.record;
    std::memset(written->head, 0, kHeadSize);
    if (gzip) {
        GzipHeader header;
        const GzipHeaderResult read = ReadGzipHeader(src, &header);
        if (read != GzipHeaderResult::kOk) {
            run.listing.ListEntry(record);
            run.listing.Error(read == GzipHeaderResult::kBad ? Failure::kBadGzipHeader : Failure::kCannotRead,
                              place.archivePath);
            return -1;
        }
        record.gzip = header;
        // The length of the expanded bytes, as the trailer in the last 4
        // bytes records it; a member under 18 bytes cannot hold a header
        // and a trailer.
        uint8_t trailer[4];
        if (record.size >= 18) {
            if (place.archive.ReadAt(place.base + record.offset + record.size - 4, trailer, 4) != 4) {
                run.listing.ListEntry(record);
                run.listing.Error(Failure::kCannotRead, place.archivePath);
                return -1;
            }
            record.expanded = ReadLE32(trailer);
        }
        (void)ExpandHead(src, written->head, kHeadSize);
    } else {
        std::memcpy(written->head, src.Data(), std::min(src.Available(), kHeadSize));
        record.expanded = record.size;
        written->dataFile = &place.archive;
        written->dataBase = place.base + record.offset;
        written->dataLength = record.size;
    }
    record.content = ContentOf(written->head);
    const bool safe = PlaceOutput(run, place, gzip ? GzipFileName(run, place) : CutGz(record.name, run.options.names), written);
    run.listing.ListEntry(record);
    if (!safe) {
        run.listing.Error(Failure::kUnsafePath, written->path);
        return -1;
    }
    if (!gzip || record.content != EntryRecord::Content::kArchive || !run.options.recurse) return 0;
    // Only its entries are wanted, but those need the whole archive.
    EntryReader whole(place.archive, run.buffer.Data(), run.buffer.Size(), place.base + record.offset, record.size);
    GzipHeader skipped;
    if (ReadGzipHeader(whole, &skipped) != GzipHeaderResult::kOk) return -1;
    // The temporary file's bytes count against the output budget.
    TestOutput out(run, std::string(), KeptBytes{true, false}, written->head, written->temporary);
    InflateOutcome outcome{InflateOutcome::kWriteFailed, 0, 0, GzipChecksum::kNone};
    if (out.Create() == 0) outcome = ExpandMember(whole, out);
    if (out.OverBudget()) {
        ReportTooMuchOutput(run);
        return -1;
    }
    if (outcome.stop == InflateOutcome::kReadFailed) {
        run.listing.Error(Failure::kCannotRead, place.archivePath);
        return -1;
    }
    if (written->temporary.IsOpen()) {
        written->dataFile = &written->temporary;
        written->dataLength = outcome.produced;
    }
    return 0;
}

int WriteMadeFile(Run& run, const std::string& path, const uint8_t* data, size_t len) {
    uint8_t head[kHeadSize];
    File none;
    std::unique_ptr<EntryOutput> out;
    if (run.options.mode == RunMode::kUnpack)
        out = std::make_unique<OutputFile>(run, path, head);
    else
        out = std::make_unique<TestOutput>(run, path, KeptBytes{false, false}, head, none);
    if (out->Create() != 0) {
        ReportOutputFailure(run, *out, Failure::kCannotCreate, path);
        return -1;
    }
    if (out->Write(data, len) != 0 || out->Finish() != 0) {
        ReportOutputFailure(run, *out, Failure::kCannotWrite, path);
        return -1;
    }
    return 0;
}
