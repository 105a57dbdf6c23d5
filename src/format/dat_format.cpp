// The "GPDA" records and their bounds.
#include "format/dat_format.h"

#include <algorithm>

#include "io/little_endian.h"

namespace {

constexpr uint32_t kDatMagic = 0x41445047;  // "GPDA"

}  // namespace

DatHeader ParseDatHeader(const uint8_t* bytes) {
    return DatHeader{ReadLE32(bytes), ReadLE32(bytes + 4), static_cast<int32_t>(ReadLE32(bytes + 12))};
}

bool IsDatArchive(const DatHeader& header, uint64_t fileLength) {
    return header.magic == kDatMagic && header.fileSize == static_cast<uint32_t>(fileLength);
}

DatEntry ParseDatEntry(const uint8_t* bytes) { return DatEntry{ReadLE32(bytes), ReadLE32(bytes + 8), ReadLE32(bytes + 12)}; }

uint64_t DatEntryOffset(int i) { return kDatHeaderSize + kDatEntrySize * static_cast<uint64_t>(i); }

uint64_t DatIndexLength(uint64_t fileLength) { return std::min(fileLength, kDatIndexLimit); }

int DatEntriesThatFit(uint64_t indexLen) {
    return indexLen < kDatHeaderSize ? 0 : static_cast<int>((indexLen - kDatHeaderSize) / kDatEntrySize);
}

bool DatEntryInRange(const DatEntry& entry, uint64_t fileLength) {
    return static_cast<uint64_t>(entry.offset) + entry.size <= fileLength;
}

bool DatNameLengthInIndex(uint32_t nameOffset, uint64_t indexLen) { return uint64_t{nameOffset} + 4 <= indexLen; }

DatNameSpan DatNameTextSpan(uint32_t nameOffset, uint32_t length, uint64_t indexLen) {
    const uint64_t text = uint64_t{nameOffset} + 4;
    const uint64_t inIndex = indexLen > text ? indexLen - text : 0;
    return DatNameSpan{text, std::min<uint64_t>(length, inIndex), length <= inIndex};
}
