// The "GPDA" records and their bounds.
#include "format/archive_format.h"

#include <algorithm>

#include "format/signatures.h"
#include "io/little_endian.h"

ArchiveHeader ReadArchiveHeader(const uint8_t* bytes) {
    return ArchiveHeader{ReadLE32(bytes), ReadLE32(bytes + kHeaderFileSizeField),
                         static_cast<int32_t>(ReadLE32(bytes + kHeaderEntryCountField))};
}

bool IsArchiveOfLength(const ArchiveHeader& header, uint64_t fileLength) {
    return header.magic == kArchiveMagic && header.fileSize == static_cast<uint32_t>(fileLength);
}

TableEntry ReadTableEntry(const uint8_t* bytes) {
    return TableEntry{ReadLE32(bytes + kEntryOffsetField), ReadLE32(bytes + kEntrySizeField),
                      ReadLE32(bytes + kEntryNameField)};
}

uint64_t TableEntryOffset(int i) { return kArchiveHeaderSize + kTableEntrySize * static_cast<uint64_t>(i); }

uint64_t IndexLength(uint64_t fileLength) { return std::min(fileLength, kIndexLimit); }

namespace {

// The number of records that lie wholly inside an index.
int RecordsThatFit(uint64_t indexLength) {
    return indexLength < kArchiveHeaderSize ? 0 : static_cast<int>((indexLength - kArchiveHeaderSize) / kTableEntrySize);
}

}  // namespace

int TableEntryCount(const ArchiveHeader& header, uint64_t indexLength) {
    return std::max(0, std::min(header.entryCount, RecordsThatFit(indexLength)));
}

bool TableTooLarge(const ArchiveHeader& header, uint64_t indexLength) {
    return header.entryCount > RecordsThatFit(indexLength);
}

bool EntryDataInRange(const TableEntry& entry, uint64_t fileLength) {
    return static_cast<uint64_t>(entry.offset) + entry.size <= fileLength;
}

bool NameLengthInIndex(uint32_t nameOffset, uint64_t indexLength) { return uint64_t{nameOffset} + 4 <= indexLength; }

NameTextSpan FindNameText(uint32_t nameOffset, uint32_t length, uint64_t indexLength) {
    const uint64_t text = uint64_t{nameOffset} + 4;
    const uint64_t inIndex = indexLength > text ? indexLength - text : 0;
    return NameTextSpan{text, std::min<uint64_t>(length, inIndex), length <= inIndex};
}
