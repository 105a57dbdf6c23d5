// The "GPDA" archive format, as records read from bytes; no I/O.
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
#include <string>

constexpr size_t kDatHeaderSize = 16;
constexpr size_t kDatEntrySize = 16;
constexpr uint64_t kDatIndexLimit = 0x100000;  // 1 MiB

struct DatHeader {
    uint32_t magic;
    uint32_t fileSize;
    int32_t entryCount;
};

struct DatEntry {
    uint32_t offset;
    uint32_t size;
    uint32_t nameOffset;  // 0: no stored name
};

// Reads the header from its 16 bytes.
DatHeader ParseDatHeader(const uint8_t* bytes);

// True when the header is that of an archive fileLength bytes long: the
// magic, and the recorded size equal to the low 32 bits of the length.
bool IsDatArchive(const DatHeader& header, uint64_t fileLength);

// Reads an entry record from its 16 bytes.
DatEntry ParseDatEntry(const uint8_t* bytes);

// Where entry record i (from 0) begins.
uint64_t DatEntryOffset(int i);

// The length of the index of a file fileLength bytes long.
uint64_t DatIndexLength(uint64_t fileLength);

// Number of entry records that lie wholly inside an index of indexLen bytes.
int DatEntriesThatFit(uint64_t indexLen);

// True when the entry's data lie inside a file fileLength bytes long.
bool DatEntryInRange(const DatEntry& entry, uint64_t fileLength);

// Where the text of a name record lies, as far as the index holds it.  The
// text is its recorded length of bytes, or fewer when a zero byte ends it
// early; `available` of them lie in the index.  When `whole` is false the
// recorded length runs past the index, and the name is only good if a zero
// byte ends it within the bytes that are there.
struct DatNameSpan {
    uint64_t textOffset;
    uint64_t available;
    bool whole;
};

// True when the 4-byte length field of the name record at nameOffset lies in
// the index.
bool DatNameLengthInIndex(uint32_t nameOffset, uint64_t indexLen);

// The span of the text of the name record at nameOffset, whose length field
// (in the index) holds length.
DatNameSpan DatNameTextSpan(uint32_t nameOffset, uint32_t length, uint64_t indexLen);
