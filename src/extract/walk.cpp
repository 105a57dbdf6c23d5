// The walk: every entry of an accepted archive becomes one output file, in
// table order, with one listing line each.  Files that turn out to be
// archives are unpacked depth first; GIM images get the ".gim" extension.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "extract/extract.h"
#include "extract/walk.h"
#include "platform/platform.h"

MemberStream::MemberStream(Cfile& archive, Cbuffer& buffer, uint64_t offset, uint64_t size)
    : archive_(archive), buffer_(buffer), offset_(offset), size_(size) {}

int MemberStream::Fill() {
    if (avail_ > 0) return 1;
    if (fetched_ == size_) return 0;
    if (fetched_ == 0 && archive_.SeekTo(offset_) != 0) return -1;
    size_t want = static_cast<size_t>(std::min<uint64_t>(size_ - fetched_, buffer_.size));
    if (archive_.Read(buffer_.data, want) != static_cast<int64_t>(want)) return -1;
    fetched_ += want;
    pos_ = 0;
    avail_ = want;
    return 1;
}

int MemberStream::NextByte() {
    int more = Fill();
    if (more <= 0) return more == 0 ? -1 : -2;
    int byte = Data()[0];
    Consume(1);
    return byte;
}

void ReportFailure(ArchiveWalk& w, const char* format, const std::string& path) {
    std::printf(format, path.c_str());
    w.failed = true;
}

int CreateOutputFile(ArchiveWalk& w, const std::string& name, std::string* outPath) {
    *outPath = w.destDir + w.prefix + name;
    if (IsUnsafeEntryPath(w.prefix, name, w.run.names)) {
        ReportFailure(w, "\nerror : unsafe path %s\n", NormaliseSeparators(*outPath, w.run.names));
        return -1;
    }
    CreatePathDirs(*outPath, w.run.names);
    if (w.out.Open(*outPath, Cfile::kCreate) != 0) {
        ReportFailure(w, "\nerror : cannot create %s\n", *outPath);
        return -1;
    }
    return 0;
}

void FinishOutputFile(ArchiveWalk& w, uint8_t head[kHeadSize]) {
    std::memset(head, 0, kHeadSize);
    if (w.out.SeekTo(0) == 0) (void)w.out.Read(head, kHeadSize);
    w.out.Close();
}

void AbandonOutputFile(ArchiveWalk& w, const std::string& outPath, bool readFailed) {
    if (readFailed)
        ReportFailure(w, "\nerror : cannot read %s\n", w.datPath);
    else
        ReportFailure(w, "\nerror : cannot write %s\n", outPath);
    w.out.Close();
    plat::RemoveFile(outPath);
}

namespace {

// Copies a stored entry.  Returns 0 with head filled, -1 after an error line.
int WriteStoredEntry(ArchiveWalk& w, MemberStream& src, const std::string& name, std::string* outPath,
                     uint8_t head[kHeadSize]) {
    if (CreateOutputFile(w, CutGz(name, w.run.names), outPath) != 0) return -1;
    int more;
    while ((more = src.Fill()) > 0) {
        if (w.out.Write(src.Data(), src.Available()) != 0) {
            AbandonOutputFile(w, *outPath, false);
            return -1;
        }
        src.Consume(src.Available());
    }
    if (more < 0) {
        AbandonOutputFile(w, *outPath, true);
        return -1;
    }
    FinishOutputFile(w, head);
    return 0;
}

bool Begins(const uint8_t head[kHeadSize], const char signature[4]) {
    return std::memcmp(head, signature, 4) == 0;
}

// Unpacks a written file that is an archive itself, then removes it; a file
// that cannot be unpacked is kept.
void UnpackNested(ArchiveWalk& w, const std::string& name, const std::string& outPath) {
    if (w.depth + 1 > kMaxNestingDepth) {
        ReportFailure(w, "error : nesting too deep %s\n", outPath);
        return;
    }
    int result = ExtractDat(outPath, w.destDir, NestedPrefix(w.prefix, name, w.run.names), w.run, w.depth + 1);
    if (result != kExtractRejected) plat::RemoveFile(outPath);
    if (result != kExtractOk) w.failed = true;
}

// What follows a written entry: a nested archive is unpacked, a GIM image
// renamed.
void AfterEntry(ArchiveWalk& w, const std::string& name, const std::string& outPath,
                const uint8_t head[kHeadSize]) {
    if (Begins(head, "GPDA")) {
        if (w.run.recurse) UnpackNested(w, name, outPath);
    } else if (Begins(head, "MIG.")) {
        std::string gim = GimPath(outPath, w.run.names);
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
    for (int i = 0; i < count; ++i) WalkEntry(w, i);
}
