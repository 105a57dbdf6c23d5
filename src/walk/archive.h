// An archive being walked: where its bytes lie (a stretch of an open file:
// all of the archive given, a nested archive's own file, or a stretch of its
// parent or of a temporary file), its header, and its index (the entry
// table and the name records), read on demand through a small cache so that
// every open level of nesting holds little memory.  The index cache and the
// read window belong to the walk, which alone reads through them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "format/archive_format.h"
#include "io/file.h"
#include "io/heap_buffer.h"
#include "io/read_window.h"
#include "listing/failure.h"

class Archive {
public:
    Archive() = default;
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // Opens the archive at path and checks its header.  Returns 0, or -1
    // with *why set to the failure to report (and errno to the system's
    // reason when it could not be opened).
    int Open(const std::string& path, Failure* why);

    // Takes the length bytes at base of file (which must stay open) as the
    // archive and checks its header.  Returns 0, or -1 with *why set.
    int OpenWithin(const File& file, uint64_t base, uint64_t length, Failure* why);

    // The file the archive's bytes are in, where they begin, how many.
    const File& Data() const { return *file_; }
    uint64_t Base() const { return base_; }
    uint64_t Length() const { return length_; }

    // A window of the archive's file for reading the first bytes of entry
    // after entry (listing), made on first use.
    ReadWindow& Window();

    // The entry records the index holds (none for a count of 0 or less), and
    // whether the header promised more.
    int EntryCount() const;
    bool TableTooLarge() const;

    // Reads entry record i (below EntryCount).  Returns 0, or -1 when the
    // archive cannot be read.
    int ReadEntry(int i, TableEntry* entry);

    // Reads the text of the name record at nameOffset (up to its length or
    // a zero byte).  Returns 1 with *text set, 0 when the record lies
    // outside the index, -1 when the archive cannot be read.
    int ReadNameText(uint32_t nameOffset, std::string* text);

    // True when both archives hold the same bytes.  scratch is a buffer of
    // at least 2 bytes to compare through; a read failure counts as a
    // difference.
    bool SameBytes(const Archive& other, HeapBuffer& scratch) const;

private:
    // Checks the header once the bytes are found.
    int Start(Failure* why);
    // Copies len bytes of the index at pos into out.  Returns 0, or -1 when
    // they cannot be read.
    int ReadIndex(uint64_t pos, uint8_t* out, size_t len);
    // Makes block slot k hold the block that starts at start.
    int LoadBlock(int k, uint64_t start);

    static constexpr size_t kBlockSize = 32 * 1024;
    static constexpr size_t kWindowSize = 64 * 1024;

    File own_;
    const File* file_ = &own_;
    uint64_t base_ = 0;
    uint64_t length_ = 0;
    ArchiveHeader header_{};
    uint64_t indexLength_ = 0;
    // Two blocks, so that reading the table and the names in turn does not
    // fetch one block again and again.
    HeapBuffer blocks_;
    uint64_t blockStart_[2] = {UINT64_MAX, UINT64_MAX};
    int lastUsed_ = 0;
    std::unique_ptr<ReadWindow> window_;
};
