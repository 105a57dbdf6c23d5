// The walk: every entry of an accepted archive becomes one output file, in
// table order, with one listing line each.  Files that turn out to be
// archives are unpacked depth first; GIM images get the ".gim" extension.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "extract/extract.h"
#include "extract/gzip.h"
#include "extract/walk.h"
#include "io/member_stream.h"
#include "platform/platform.h"

void ReportFailure(ArchiveWalk& w, const char* format, const std::string& path) {
    std::printf(format, path.c_str());
    w.failed = true;
}

namespace {

constexpr size_t kHeadSize = 16;

// The output file, as a sink that keeps the first bytes written: what a
// nested-archive or GIM check looks at, without reading the file back.
class OutputSink : public ByteSink {
public:
    explicit OutputSink(Cfile& out) : out_(out) { std::memset(head, 0, kHeadSize); }

    int Write(const uint8_t* data, size_t len) override {
        KeepHead(data, len);
        return out_.Write(data, len);
    }

    int Truncate(uint64_t len) override {
        if (len < kHeadSize) std::memset(head + len, 0, kHeadSize - static_cast<size_t>(len));
        written_ = std::min(written_, len);
        return out_.SetLength(len);
    }

    // Counts len bytes that reached the file another way.
    void Wrote(uint64_t len) { written_ += len; }

    // The first bytes written, zero where fewer were.
    uint8_t head[kHeadSize];

private:
    void KeepHead(const uint8_t* data, size_t len) {
        if (written_ < kHeadSize)
            std::memcpy(head + written_, data, static_cast<size_t>(std::min<uint64_t>(len, kHeadSize - written_)));
        written_ += len;
    }

    Cfile& out_;
    uint64_t written_ = 0;
};

// Refuses unsafe names, creates the folders and the output file for
// prefix + name.  Returns 0 with w.out open and *outPath set, or -1 after
// printing the error line.
int CreateOutputFile(ArchiveWalk& w, const std::string& name, std::string* outPath) {
    *outPath = OutputPath(w.destDir, w.prefix, name);
    if (IsUnsafeEntryPath(w.prefix, name, w.run.names)) {
        ReportFailure(w, "\nerror : unsafe path %s\n", NormaliseSeparators(*outPath, w.run.names));
        return -1;
    }
    CreatePathDirs(*outPath, w.run.names, &w.run.folders);
    if (w.out.Open(*outPath, Cfile::kCreate) != 0) {
        ReportFailure(w, "\nerror : cannot create %s\n", *outPath);
        return -1;
    }
    return 0;
}

// Reports a failed read of the archive or write of the output file, then
// closes and removes the incomplete output file.
void AbandonOutputFile(ArchiveWalk& w, const std::string& outPath, bool readFailed) {
    if (readFailed)
        ReportFailure(w, "\nerror : cannot read %s\n", w.datPath);
    else
        ReportFailure(w, "\nerror : cannot write %s\n", outPath);
    (void)w.out.Close();
    plat::RemoveFile(outPath);
}

// Closes the finished output file.  Returns 0, or -1 when closing failed:
// data written before may be lost (a network file system or a full quota
// reports it only here), so the write failure is reported and the file
// removed.
int FinishOutputFile(ArchiveWalk& w, const std::string& outPath) {
    if (w.out.Close() == 0) return 0;
    AbandonOutputFile(w, outPath, false);
    return -1;
}

// Copies a stored entry: the piece already read goes through memory, the
// rest is copied by the system where it can, and through the copy buffer
// where it cannot.  Returns 0 with head filled, -1 after an error line.
int WriteStoredEntry(ArchiveWalk& w, MemberStream& src, const std::string& name, std::string* outPath,
                     uint8_t head[kHeadSize]) {
    if (CreateOutputFile(w, CutGz(name, w.run.names), outPath) != 0) return -1;
    OutputSink sink(w.out);
    bool copiedBySystem = false;
    int more;
    while ((more = src.Fill()) > 0) {
        if (sink.Write(src.Data(), src.Available()) != 0) {
            AbandonOutputFile(w, *outPath, false);
            return -1;
        }
        src.Consume(src.Available());
        if (!copiedBySystem && src.Remaining() > 0) {
            copiedBySystem = true;
            uint64_t copied = w.out.CopyFrom(w.archive, src.NextOffset(), src.Remaining());
            src.Skip(copied);
            sink.Wrote(copied);
        }
    }
    if (more < 0) {
        AbandonOutputFile(w, *outPath, true);
        return -1;
    }
    std::memcpy(head, sink.head, kHeadSize);
    return FinishOutputFile(w, *outPath);
}

// Expands a gzip member; the header's file name, when it has one, becomes
// name.  Returns 0 with head filled, -1 after an error line (no file is left
// then).
int WriteGzipEntry(ArchiveWalk& w, MemberStream& src, std::string& name, std::string* outPath,
                   uint8_t head[kHeadSize]) {
    std::optional<std::string> fileName;
    switch (ReadGzipHeader(src, &fileName)) {
        case GzipHeaderResult::kOk:
            break;
        case GzipHeaderResult::kBad:
            ReportFailure(w, "\nerror : bad gzip header %s\n", w.datPath);
            return -1;
        case GzipHeaderResult::kUnreadable:
            ReportFailure(w, "\nerror : cannot read %s\n", w.datPath);
            return -1;
    }
    if (fileName) name = plat::NameFromArchive(*fileName, w.run.names);
    name = CutGz(name, w.run.names);
    if (CreateOutputFile(w, name, outPath) != 0) return -1;
    OutputSink sink(w.out);
    uint64_t produced = 0;
    // A member that ends right after its header is never inflated.
    if (src.Remaining() > 0) {
        InflateOutcome outcome = InflateMember(src, sink);
        if (outcome.stop == InflateOutcome::kReadFailed || outcome.stop == InflateOutcome::kWriteFailed) {
            AbandonOutputFile(w, *outPath, outcome.stop == InflateOutcome::kReadFailed);
            return -1;
        }
        if (outcome.stop == InflateOutcome::kCode) {
            std::printf("%d\n", outcome.code);
            w.failed = true;
        }
        produced = outcome.produced;
    }
    std::memcpy(head, sink.head, kHeadSize);
    if (FinishOutputFile(w, *outPath) != 0) return -1;
    std::printf(" to %llu bytes", static_cast<unsigned long long>(produced));
    return 0;
}

bool Begins(const uint8_t head[kHeadSize], const char signature[4]) {
    return std::memcmp(head, signature, 4) == 0;
}

// Unpacks a written file that is an archive itself into the folder named
// after it, within the depth and the run's budget of nested archives.  The
// file is removed only when nothing failed while it was unpacked, deeper
// levels included; otherwise it is kept, so that its data survive.
void UnpackNested(ArchiveWalk& w, const std::string& name, const std::string& outPath) {
    const std::string nestedPrefix = NestedPrefix(w.prefix, name, w.run.names);
    // Without a '.' to cut, the folder would have the file's own path.
    if (nestedPrefix == w.prefix + name + "/") {
        ReportFailure(w, "error : cannot unpack nested archive into itself %s\n", outPath);
        return;
    }
    if (w.depth + 1 > kMaxNestingDepth) {
        ReportFailure(w, "error : nesting too deep %s\n", outPath);
        return;
    }
    RunState& run = w.run;
    if (run.nestedArchives >= run.limits.nestedArchives) {
        ReportFailure(w, "error : too many nested archives %s\n", outPath);
        return;
    }
    ++run.nestedArchives;
    if (ExtractArchive(run, outPath, w.destDir, nestedPrefix, w.depth + 1) == kExtractOk)
        plat::RemoveFile(outPath);
    else
        w.failed = true;
}

// What follows a written entry: a nested archive is unpacked, a GIM image
// renamed.
void AfterEntry(ArchiveWalk& w, const std::string& name, const std::string& outPath,
                const uint8_t head[kHeadSize]) {
    if (Begins(head, "GPDA")) {
        if (w.run.recurse) UnpackNested(w, name, outPath);
    } else if (Begins(head, "MIG.")) {
        std::string gim = GimPath(outPath, w.prefix + name, w.run.names);
        if (!gim.empty()) (void)plat::ReplaceFile(outPath, gim);
    }
}

// The name an entry is listed under, or false when its name record lies
// outside the index.
bool ListedName(const ArchiveWalk& w, const DatEntry& e, int i, std::string* name) {
    if (e.nameOffset == 0) {
        *name = MadeUpName(w.datPath, i, w.run.names);
        return true;
    }
    std::string text;
    if (!ReadNameRecord(w.index.data, w.indexLength, e.nameOffset, &text)) return false;
    *name = FinishStoredName(plat::NameFromArchive(text, w.run.names), w.run.names);
    return true;
}

void WalkEntry(ArchiveWalk& w, int i) {
    const DatEntry e = ParseEntry(w.index.data, i);
    std::string name;
    if (!ListedName(w, e, i, &name)) {
        std::printf("error : bad entry %d in %s\n", i + 1, w.datPath.c_str());
        w.failed = true;
        return;
    }
    std::printf("%s%s %u bytes", w.prefix.c_str(), name.c_str(), e.size);
    if (static_cast<uint64_t>(e.offset) + e.size > static_cast<uint64_t>(w.archive.length)) {
        ReportFailure(w, "\nerror : entry out of range %s\n", w.datPath);
        return;
    }
    MemberStream src(w.archive, w.copy, e.offset, e.size);
    if (src.Fill() < 0) {
        ReportFailure(w, "\nerror : cannot read %s\n", w.datPath);
        return;
    }
    bool gzip = src.Available() >= 2 && src.Data()[0] == 0x1F && src.Data()[1] == 0x8B;
    std::string outPath;
    uint8_t head[kHeadSize];
    int written = gzip ? WriteGzipEntry(w, src, name, &outPath, head)
                       : WriteStoredEntry(w, src, name, &outPath, head);
    if (written != 0) return;
    std::printf("\n");
    AfterEntry(w, CutGz(name, w.run.names), outPath, head);
}

}  // namespace

void WalkEntries(ArchiveWalk& w, int count) {
    RunState& run = w.run;
    for (int i = 0; i < count && !run.stopped; ++i) {
        // Past the run's budget of entries the whole run stops.
        if (run.entries >= run.limits.entries) {
            ReportFailure(w, "error : too many entries %s\n", w.datPath);
            run.stopped = true;
            return;
        }
        ++run.entries;
        WalkEntry(w, i);
    }
}
