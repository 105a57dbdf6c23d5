// An archive packed again from its original: the original's bytes copied
// whole, so that the header, the entry table, the name records, gaps and
// every kept entry's data stay as they were; then each replaced entry's new
// data written in its old place when they fit and nothing else lies there,
// else after the end; and only the replaced entries' records and the
// archive's size field changed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/archive_format.h"
#include "io/file.h"
#include "io/heap_buffer.h"

// How a step of building went.
enum class BuildStep {
    kOk,
    kSourceUnreadable,    // the new data could not be read
    kOriginalUnreadable,  // the original archive could not be read
    kWriteFailed,         // the archive being built could not be written
    kTooLarge,            // an offset or a size would pass the format's 32 bits
    kOutOfMemory,
};

// The bytes an entry gets: the length bytes at the start of file, stored as
// they are, or (header not null) compressed into a gzip member that begins
// with the headerLength bytes at headerPos of header.
struct NewEntryData {
    const File& file;
    uint64_t length;
    const File* header = nullptr;
    uint64_t headerPos = 0;
    uint64_t headerLength = 0;
};

class RebuiltArchive {
public:
    // buffer: lent for copying and for reading the index, at least
    // kIndexLimit bytes, not in use while a call of this class runs.
    explicit RebuiltArchive(HeapBuffer& buffer) : buffer_(buffer) {}
    RebuiltArchive(const RebuiltArchive&) = delete;
    RebuiltArchive& operator=(const RebuiltArchive&) = delete;

    // The original archive: the length bytes at base of file, which must
    // stay open until Finish.
    void SetOriginal(const File& file, uint64_t base, uint64_t length);

    // Builds in out (open and empty), which then always gets the archive;
    // otherwise an anonymous temporary file is made at the first change.
    void BuildIn(File& out);

    // Gives entry i, whose record the original holds as old, the new data;
    // *newSize is their stored size.
    BuildStep Replace(int i, const TableEntry& old, const NewEntryData& data, uint64_t* newSize);

    // Completes the archive: the copy (for a file given to BuildIn, even
    // when nothing changed) and the size field.
    BuildStep Finish();

    // True once an entry was replaced: only then does Built hold anything.
    bool Changed() const { return changed_; }
    const File& Built() const { return *target_; }
    uint64_t Length() const { return length_; }

private:
    // Makes the copy of the original, once.
    BuildStep Begin();
    // Reads the original's layout from its index, once: the alignment of
    // its data, and which entries' data share no byte with another entry or
    // with the index.
    BuildStep ReadLayout();
    // True when entry i's old data may be overwritten.
    BuildStep MayOverwrite(int i, const TableEntry& old, uint64_t size, bool* may);
    // Where appended data begin: the end, rounded up to the alignment, the
    // gap zero-filled.
    BuildStep AppendAt(uint64_t* pos);
    // Writes a gzip member of the data at pos; *size its length.
    BuildStep WriteMember(uint64_t pos, const NewEntryData& data, uint64_t* size);
    // Zero-fills len bytes at pos.
    BuildStep Zero(uint64_t pos, uint64_t len);
    // Writes entry i's offset and size into its record.
    BuildStep WriteRecord(int i, uint64_t offset, uint64_t size);

    HeapBuffer& buffer_;
    const File* original_ = nullptr;
    uint64_t base_ = 0;
    uint64_t originalLength_ = 0;
    File own_;
    File* target_ = &own_;
    bool targetGiven_ = false;
    bool begun_ = false;
    bool changed_ = false;
    uint64_t length_ = 0;
    bool layoutRead_ = false;
    uint64_t alignment_ = 1;
    std::vector<bool> exclusive_;  // per entry: its data overlap nothing else
};
