// Archive records, and the opening and closing frame of ExtractDat.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "extract/extract.h"
#include "extract/walk.h"

uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

DatHeader ParseHeader(const uint8_t* index) {
    return DatHeader{ReadLE32(index), ReadLE32(index + 4), static_cast<int32_t>(ReadLE32(index + 12))};
}

DatEntry ParseEntry(const uint8_t* index, int i) {
    const uint8_t* p = index + kHeaderSize + kEntrySize * static_cast<size_t>(i);
    return DatEntry{ReadLE32(p), ReadLE32(p + 8), ReadLE32(p + 12)};
}

int EntriesThatFit(size_t indexLen) {
    return indexLen < kHeaderSize ? 0 : static_cast<int>((indexLen - kHeaderSize) / kEntrySize);
}

bool ReadNameRecord(const uint8_t* index, size_t indexLen, uint32_t nameOffset, std::string* text) {
    uint64_t pos = nameOffset;
    if (pos + 4 > indexLen) return false;
    uint32_t length = ReadLE32(index + pos);
    pos += 4;
    text->clear();
    for (uint32_t k = 0; k < length; ++k, ++pos) {
        if (pos >= indexLen) return false;
        if (index[pos] == 0) break;
        text->push_back(static_cast<char>(index[pos]));
    }
    return true;
}

namespace {

// Opens the archive and loads its index.  Returns 0 when it is an archive,
// -1 after printing why not.
int OpenArchive(ArchiveWalk& w) {
    if (w.archive.Open(w.datPath, Cfile::kRead) != 0) {
        std::printf("error : cannot open %s\n", w.datPath.c_str());
        return -1;
    }
    w.indexLength = static_cast<size_t>(std::min<int64_t>(w.archive.length, kIndexLimit));
    // No entry can be longer than the archive, so small (nested) archives
    // get small buffers.
    size_t copyLength = static_cast<size_t>(std::min<int64_t>(w.archive.length, kCopyChunk));
    if (w.index.Alloc(std::max(w.indexLength, kHeaderSize)) == nullptr ||
        w.copy.Alloc(std::max<size_t>(copyLength, 1)) == nullptr) {
        std::printf("error : out of memory %s\n", w.datPath.c_str());
        return -1;
    }
    if (w.archive.ReadAt(0, w.index.data, w.indexLength) != static_cast<int64_t>(w.indexLength)) {
        std::printf("error : cannot read %s\n", w.datPath.c_str());
        return -1;
    }
    DatHeader header = ParseHeader(w.index.data);
    if (header.magic != kDatMagic || header.fileSize != static_cast<uint32_t>(w.archive.length)) {
        std::printf("error : unknown format %s\n", w.datPath.c_str());
        return -1;
    }
    return 0;
}

// True when the rest of two archives of one length, from the end of their
// loaded index on, holds the same bytes.  A read failure counts as a
// difference.
bool SameRest(ArchiveWalk& a, ArchiveWalk& b) {
    Cbuffer other;
    if (other.Alloc(a.copy.size) == nullptr) return false;
    int64_t pos = static_cast<int64_t>(a.indexLength);
    while (pos < a.archive.length) {
        size_t n = static_cast<size_t>(std::min<int64_t>(a.archive.length - pos, a.copy.size));
        const uint64_t at = static_cast<uint64_t>(pos);
        if (a.archive.ReadAt(at, a.copy.data, n) != static_cast<int64_t>(n) ||
            b.archive.ReadAt(at, other.data, n) != static_cast<int64_t>(n) || std::memcmp(a.copy.data, other.data, n) != 0)
            return false;
        pos += static_cast<int64_t>(n);
    }
    return true;
}

// True when the archive holds the same bytes as one of the archives being
// unpacked around it: unpacking it would repeat that one's walk, which led
// here, without end.  Only archives of equal length are compared.
bool RepeatsAnOpenArchive(ArchiveWalk& w) {
    for (ArchiveWalk* outer : w.run.open) {
        if (outer->archive.length != w.archive.length) continue;
        if (std::memcmp(outer->index.data, w.index.data, w.indexLength) != 0) continue;
        if (SameRest(w, *outer)) return true;
    }
    return false;
}

// Keeps the walk on the run's list of open archives for as long as it lives.
class OpenArchiveEntry {
public:
    explicit OpenArchiveEntry(ArchiveWalk& w) : open_(w.run.open) { open_.push_back(&w); }
    ~OpenArchiveEntry() { open_.pop_back(); }
    OpenArchiveEntry(const OpenArchiveEntry&) = delete;
    OpenArchiveEntry& operator=(const OpenArchiveEntry&) = delete;

private:
    std::vector<ArchiveWalk*>& open_;
};

}  // namespace

int ExtractArchive(RunState& run, const std::string& datPath, const std::string& destDir,
                   const std::string& prefix, int depth) {
    ArchiveWalk w{datPath, destDir, prefix, run, depth, {}, {}, {}, 0, {}, false};
    if (OpenArchive(w) != 0) return kExtractRejected;
    if (RepeatsAnOpenArchive(w)) {
        std::printf("error : archive contains itself %s\n", datPath.c_str());
        return kExtractRejected;
    }
    OpenArchiveEntry listed(w);
    int count = ParseHeader(w.index.data).entryCount;
    int fit = EntriesThatFit(w.indexLength);
    WalkEntries(w, std::min(count, fit));
    if (count > fit && !run.stopped) ReportFailure(w, "error : entry table too large %s\n", datPath);
    return w.failed ? kExtractFailed : kExtractOk;
}

int ExtractDat(const std::string& datPath, const std::string& destDir, const std::string& prefix,
               const RunOptions& options) {
    RunState run(options);
    return ExtractArchive(run, datPath, destDir, prefix, 0);
}
