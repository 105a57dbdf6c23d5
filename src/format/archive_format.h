// The "GPDA" archive format, as records read from bytes and written into
// them; no I/O.
//
// An archive starts with a 16-byte header, then a table of 16-byte entry
// records, then name records and entry data anywhere after.  The header, the
// table and the name records must lie in the index: the first
// min(file length, 1 MiB) bytes.  All integers are little-endian.
//
//   header   0 "GPDA"   4 file size   8 (unused)   12 entry count (signed)
//   entry    0 offset   4 (unused)    8 size       12 name record offset (0: none)
//   name     0 length   4 text (code page 932, may end early at a zero byte)
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kArchiveHeaderSize = 16;
constexpr size_t kTableEntrySize = 16;
constexpr uint64_t kIndexLimit = 0x100000;  // 1 MiB

// Where the fields a rebuilt archive rewrites lie: in the header, and in
// an entry record.
constexpr size_t kHeaderFileSizeField = 4;
constexpr size_t kHeaderEntryCountField = 12;
constexpr size_t kEntryOffsetField = 0;
constexpr size_t kEntrySizeField = 8;
constexpr size_t kEntryNameField = 12;

struct ArchiveHeader {
    uint32_t magic;
    uint32_t fileSize;
    int32_t entryCount;
};

struct TableEntry {
    uint32_t offset;
    uint32_t size;
    uint32_t nameOffset;  // 0: no stored name
};

// Reads the header from its 16 bytes.
ArchiveHeader ReadArchiveHeader(const uint8_t* bytes);

// True when the header is that of an archive fileLength bytes long: the
// signature, and the recorded size equal to the low 32 bits of the length.
bool IsArchiveOfLength(const ArchiveHeader& header, uint64_t fileLength);

// Reads an entry record from its 16 bytes.
TableEntry ReadTableEntry(const uint8_t* bytes);

// Where entry record i (from 0) begins.
uint64_t TableEntryOffset(int i);

// The length of the index of a file fileLength bytes long.
uint64_t IndexLength(uint64_t fileLength);

// The entry records an index of indexLength bytes holds for this header:
// the recorded count, none when it is 0 or less, and only the records that
// lie wholly inside the index.
int TableEntryCount(const ArchiveHeader& header, uint64_t indexLength);

// True when the header promises more records than the index holds.
bool TableTooLarge(const ArchiveHeader& header, uint64_t indexLength);

// True when the entry's data lie inside a file fileLength bytes long.
bool EntryDataInRange(const TableEntry& entry, uint64_t fileLength);

// Where the text of a name record lies, as far as the index holds it.  The
// text is its recorded length of bytes, or fewer when a zero byte ends it
// early; `available` of them lie in the index.  When `whole` is false the
// recorded length runs past the index, and the name is only good if a zero
// byte ends it within the bytes that are there.
struct NameTextSpan {
    uint64_t textOffset;
    uint64_t available;
    bool whole;
};

// True when the 4-byte length field of the name record at nameOffset lies in
// the index.
bool NameLengthInIndex(uint32_t nameOffset, uint64_t indexLength);

// The span of the text of the name record at nameOffset, whose length field
// (in the index) holds length.
NameTextSpan FindNameText(uint32_t nameOffset, uint32_t length, uint64_t indexLength);
