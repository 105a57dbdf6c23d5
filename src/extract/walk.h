// What the walk over one archive's entries shares with the gzip expansion.
// Internal to the extraction code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "extract/extract.h"
#include "io/cbuffer.h"
#include "io/cfile.h"

// One call of ExtractDat: the archive, its index, the buffers, and whether a
// failure has been reported.
struct ArchiveWalk {
    const std::string& datPath;
    const std::string& destDir;
    const std::string& prefix;
    const RunOptions& run;
    int depth;
    Cfile archive;
    Cfile out;
    Cbuffer index;
    size_t indexLength = 0;
    Cbuffer copy;
    bool failed = false;
};

// One entry's bytes, read from the archive in chunks through a buffer.
class MemberStream {
public:
    MemberStream(Cfile& archive, Cbuffer& buffer, uint64_t offset, uint64_t size);

    // Makes sure unread bytes are buffered unless the member is used up.
    // Returns 1 when bytes are available, 0 at the member's end, -1 when the
    // archive could not be read.
    int Fill();

    const uint8_t* Data() const { return buffer_.data + pos_; }
    size_t Available() const { return avail_; }
    void Consume(size_t n) { pos_ += n; avail_ -= n; consumed_ += n; }

    // The next byte (0-255), -1 at the member's end, -2 on a read failure.
    int NextByte();

    // Bytes of the member not yet consumed.
    uint64_t Remaining() const { return size_ - consumed_; }

private:
    Cfile& archive_;
    Cbuffer& buffer_;
    uint64_t offset_;
    uint64_t size_;
    uint64_t fetched_ = 0;
    uint64_t consumed_ = 0;
    size_t pos_ = 0;
    size_t avail_ = 0;
};

constexpr size_t kHeadSize = 16;

// Unpacks entries 0 ... count - 1 of an opened archive, in table order.
void WalkEntries(ArchiveWalk& w, int count);

// Refuses unsafe names, creates the folders and the output file for
// prefix + name.  Returns 0 with w.out open and *outPath set, or -1 after
// printing the error line.
int CreateOutputFile(ArchiveWalk& w, const std::string& name, std::string* outPath);

// Reads the first bytes of the output file into head (zero where it is
// shorter) and closes it.
void FinishOutputFile(ArchiveWalk& w, uint8_t head[kHeadSize]);

// Reports a failed read of the archive or write of the output file, then
// closes and removes the incomplete output file.
void AbandonOutputFile(ArchiveWalk& w, const std::string& outPath, bool readFailed);

// Prints an error line and remembers that a failure was reported.
void ReportFailure(ArchiveWalk& w, const char* format, const std::string& path);

// Writes a gzip member expanded.  name is the listed name on entry and the
// final name on return.  Returns 0 with head filled, or -1 after an error
// line (no file is left then).
int WriteGzipEntry(ArchiveWalk& w, MemberStream& src, std::string& name, std::string* outPath,
                   uint8_t head[kHeadSize]);
