#include "walk/archive.h"

#include <algorithm>
#include <cstring>

#include "io/little_endian.h"

int Archive::Open(const std::string& path, Failure* why) {
    if (own_.Open(path) != 0) {
        *why = Failure::kCannotOpen;
        return -1;
    }
    length_ = static_cast<uint64_t>(own_.Length());
    return Start(why);
}

ReadWindow& Archive::Window() {
    if (!window_) window_ = std::make_unique<ReadWindow>(Data(), kWindowSize);
    return *window_;
}

int Archive::OpenWithin(const File& file, uint64_t base, uint64_t length, Failure* why) {
    file_ = &file;
    base_ = base;
    length_ = length;
    return Start(why);
}

int Archive::Start(Failure* why) {
    window_.reset();
    indexLength_ = IndexLength(Length());
    if (blocks_.Allocate(2 * kBlockSize) != 0) {
        *why = Failure::kOutOfMemory;
        return -1;
    }
    // A file shorter than the header reads as zeros after its end.
    uint8_t header[kArchiveHeaderSize] = {};
    if (ReadIndex(0, header, static_cast<size_t>(std::min<uint64_t>(indexLength_, kArchiveHeaderSize))) != 0) {
        *why = Failure::kCannotRead;
        return -1;
    }
    header_ = ReadArchiveHeader(header);
    if (!IsArchiveOfLength(header_, Length())) {
        *why = Failure::kUnknownFormat;
        return -1;
    }
    return 0;
}

int Archive::EntryCount() const { return TableEntryCount(header_, indexLength_); }

bool Archive::TableTooLarge() const { return ::TableTooLarge(header_, indexLength_); }

int Archive::ReadEntry(int i, TableEntry* entry) {
    uint8_t record[kTableEntrySize];
    if (ReadIndex(TableEntryOffset(i), record, sizeof record) != 0) return -1;
    *entry = ReadTableEntry(record);
    return 0;
}

int Archive::ReadNameText(uint32_t nameOffset, std::string* text) {
    if (!NameLengthInIndex(nameOffset, indexLength_)) return 0;
    uint8_t lengthField[4];
    if (ReadIndex(nameOffset, lengthField, sizeof lengthField) != 0) return -1;
    const NameTextSpan span = FindNameText(nameOffset, ReadLE32(lengthField), indexLength_);
    // In pieces, so that a long record ended early by a zero byte costs
    // little.
    text->clear();
    uint8_t piece[256];
    for (uint64_t done = 0; done < span.available;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof piece, span.available - done));
        if (ReadIndex(span.textOffset + done, piece, n) != 0) return -1;
        const void* zero = std::memchr(piece, 0, n);
        if (zero != nullptr) {
            text->append(reinterpret_cast<const char*>(piece), static_cast<size_t>(static_cast<const uint8_t*>(zero) - piece));
            return 1;
        }
        text->append(reinterpret_cast<const char*>(piece), n);
        done += n;
    }
    return span.whole ? 1 : 0;
}

int Archive::LoadBlock(int k, uint64_t start) {
    const size_t len = static_cast<size_t>(std::min<uint64_t>(kBlockSize, indexLength_ - start));
    uint8_t* block = blocks_.Data() + static_cast<size_t>(k) * kBlockSize;
    blockStart_[k] = UINT64_MAX;
    // A short read means the archive shrank under us.
    if (file_->ReadAt(base_ + start, block, len) != static_cast<int64_t>(len)) return -1;
    blockStart_[k] = start;
    return 0;
}

int Archive::ReadIndex(uint64_t pos, uint8_t* out, size_t len) {
    while (len > 0) {
        const uint64_t start = pos - pos % kBlockSize;
        int k = blockStart_[0] == start ? 0 : blockStart_[1] == start ? 1 : -1;
        if (k < 0) {
            k = 1 - lastUsed_;
            if (LoadBlock(k, start) != 0) return -1;
        }
        lastUsed_ = k;
        const size_t at = static_cast<size_t>(pos - start);
        const size_t n = std::min(len, kBlockSize - at);
        std::memcpy(out, blocks_.Data() + static_cast<size_t>(k) * kBlockSize + at, n);
        out += n;
        pos += n;
        len -= n;
    }
    return 0;
}

bool Archive::SameBytes(const Archive& other, HeapBuffer& scratch) const {
    if (Length() != other.Length()) return false;
    const size_t half = scratch.Size() / 2;
    uint8_t* mine = scratch.Data();
    uint8_t* theirs = scratch.Data() + half;
    for (uint64_t pos = 0; pos < Length();) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(Length() - pos, half));
        if (file_->ReadAt(base_ + pos, mine, n) != static_cast<int64_t>(n) ||
            other.file_->ReadAt(other.base_ + pos, theirs, n) != static_cast<int64_t>(n) ||
            std::memcmp(mine, theirs, n) != 0)
            return false;
        pos += n;
    }
    return true;
}
