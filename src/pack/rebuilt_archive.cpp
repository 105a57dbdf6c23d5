#include "pack/rebuilt_archive.h"

#include <algorithm>
#include <cstring>

#include "gzip/gzip_deflate.h"
#include "io/entry_reader.h"
#include "io/little_endian.h"

namespace {

constexpr uint64_t kMaxOffset = UINT32_MAX;  // offsets and sizes are 32-bit
constexpr uint64_t kMaxAlignment = 2048;
constexpr size_t kTrailerSize = 8;

// Copies len bytes at from of src to at of dst, by the system where it can.
BuildStep CopyBytes(const File& src, uint64_t from, File& dst, uint64_t at, uint64_t len, HeapBuffer& buffer,
                    BuildStep readFailure) {
    uint64_t done = dst.CopyFrom(src, from, at, len);
    while (done < len) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(len - done, buffer.Size()));
        if (src.ReadAt(from + done, buffer.Data(), n) != static_cast<int64_t>(n)) return readFailure;
        if (dst.WriteAt(at + done, buffer.Data(), n) != 0) return BuildStep::kWriteFailed;
        done += n;
    }
    return BuildStep::kOk;
}

// Writes what it is given at a running position of a file, refusing to pass
// the format's 32-bit offsets.
class PositionedSink : public ByteSink {
public:
    PositionedSink(File& file, uint64_t pos) : file_(file), pos_(pos) {}

    int Write(const uint8_t* data, size_t len) override {
        if (pos_ + len > kMaxOffset) {
            tooLarge_ = true;
            return -1;
        }
        if (file_.WriteAt(pos_, data, len) != 0) return -1;
        pos_ += len;
        return 0;
    }
    int Restart() override { return -1; }

    uint64_t Position() const { return pos_; }
    bool TooLarge() const { return tooLarge_; }

private:
    File& file_;
    uint64_t pos_;
    bool tooLarge_ = false;
};

// A stretch of bytes in the original, and the entry it holds (-1: the
// index).
struct Stretch {
    uint64_t start;
    uint64_t end;
    int entry;
};

// Marks the entries whose stretch overlaps any other stretch: in start
// order, a stretch that begins before the furthest end so far overlaps the
// stretch that reaches there.
void MarkOverlaps(std::vector<Stretch>& stretches, std::vector<bool>& exclusive) {
    std::sort(stretches.begin(), stretches.end(), [](const Stretch& a, const Stretch& b) { return a.start < b.start; });
    uint64_t reach = 0;
    int holder = -1;
    bool any = false;
    for (const Stretch& s : stretches) {
        if (s.end <= s.start) continue;  // an empty stretch overlaps nothing
        if (any && s.start < reach) {
            if (s.entry >= 0) exclusive[static_cast<size_t>(s.entry)] = false;
            if (holder >= 0) exclusive[static_cast<size_t>(holder)] = false;
        }
        if (!any || s.end > reach) {
            reach = s.end;
            holder = s.entry;
        }
        any = true;
    }
}

}  // namespace

void RebuiltArchive::SetOriginal(const File& file, uint64_t base, uint64_t length) {
    original_ = &file;
    base_ = base;
    originalLength_ = length;
}

void RebuiltArchive::BuildIn(File& out) {
    target_ = &out;
    targetGiven_ = true;
}

BuildStep RebuiltArchive::Begin() {
    if (begun_) return BuildStep::kOk;
    if (!targetGiven_ && own_.OpenTemporary() != 0) return BuildStep::kWriteFailed;
    BuildStep step = CopyBytes(*original_, base_, *target_, 0, originalLength_, buffer_, BuildStep::kOriginalUnreadable);
    if (step != BuildStep::kOk) return step;
    begun_ = true;
    length_ = originalLength_;
    return BuildStep::kOk;
}

BuildStep RebuiltArchive::ReadLayout() {
    if (layoutRead_) return BuildStep::kOk;
    const uint64_t indexLength = IndexLength(originalLength_);
    uint8_t* index = buffer_.Data();
    if (buffer_.Size() < indexLength ||
        original_->ReadAt(base_, index, static_cast<size_t>(indexLength)) != static_cast<int64_t>(indexLength))
        return BuildStep::kOriginalUnreadable;
    const int count = TableEntryCount(ReadArchiveHeader(index), indexLength);
    std::vector<Stretch> stretches;
    stretches.reserve(2 * static_cast<size_t>(count) + 1);
    stretches.push_back(Stretch{0, TableEntryOffset(count), -1});
    alignment_ = kMaxAlignment;
    for (int i = 0; i < count; ++i) {
        const TableEntry e = ReadTableEntry(index + TableEntryOffset(i));
        while (e.offset % alignment_ != 0) alignment_ /= 2;
        stretches.push_back(Stretch{e.offset, uint64_t{e.offset} + e.size, i});
        if (e.nameOffset == 0 || !NameLengthInIndex(e.nameOffset, indexLength)) continue;
        const NameTextSpan span = FindNameText(e.nameOffset, ReadLE32(index + e.nameOffset), indexLength);
        stretches.push_back(Stretch{e.nameOffset, span.textOffset + span.available, -1});
    }
    exclusive_.assign(static_cast<size_t>(count), true);
    MarkOverlaps(stretches, exclusive_);
    layoutRead_ = true;
    return BuildStep::kOk;
}

BuildStep RebuiltArchive::MayOverwrite(int i, const TableEntry& old, uint64_t size, bool* may) {
    *may = false;
    if (size > old.size) return BuildStep::kOk;
    BuildStep step = ReadLayout();
    if (step != BuildStep::kOk) return step;
    *may = static_cast<size_t>(i) < exclusive_.size() && exclusive_[static_cast<size_t>(i)];
    return BuildStep::kOk;
}

BuildStep RebuiltArchive::Zero(uint64_t pos, uint64_t len) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(len, buffer_.Size()));
    std::memset(buffer_.Data(), 0, piece);
    for (uint64_t done = 0; done < len;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(len - done, piece));
        if (target_->WriteAt(pos + done, buffer_.Data(), n) != 0) return BuildStep::kWriteFailed;
        done += n;
    }
    return BuildStep::kOk;
}

BuildStep RebuiltArchive::AppendAt(uint64_t* pos) {
    BuildStep step = ReadLayout();
    if (step != BuildStep::kOk) return step;
    *pos = (length_ + alignment_ - 1) / alignment_ * alignment_;
    if (*pos > kMaxOffset) return BuildStep::kTooLarge;
    return Zero(length_, *pos - length_);
}

BuildStep RebuiltArchive::WriteMember(uint64_t pos, const NewEntryData& data, uint64_t* size) {
    BuildStep step = CopyBytes(*data.header, data.headerPos, *target_, pos, data.headerLength, buffer_,
                               BuildStep::kOriginalUnreadable);
    if (step != BuildStep::kOk) return step;
    EntryReader src(data.file, buffer_.Data(), buffer_.Size(), 0, data.length);
    PositionedSink sink(*target_, pos + data.headerLength);
    const DeflateOutcome outcome = DeflateAll(src, sink);
    switch (outcome.stop) {
        case DeflateOutcome::kEnd: break;
        case DeflateOutcome::kReadFailed: return BuildStep::kSourceUnreadable;
        case DeflateOutcome::kWriteFailed: return sink.TooLarge() ? BuildStep::kTooLarge : BuildStep::kWriteFailed;
        case DeflateOutcome::kNoMemory: return BuildStep::kOutOfMemory;
    }
    uint8_t trailer[kTrailerSize];
    WriteLE32(trailer, outcome.crc);
    WriteLE32(trailer + 4, static_cast<uint32_t>(outcome.length));
    if (sink.Write(trailer, sizeof trailer) != 0) return sink.TooLarge() ? BuildStep::kTooLarge : BuildStep::kWriteFailed;
    *size = sink.Position() - pos;
    return BuildStep::kOk;
}

BuildStep RebuiltArchive::WriteRecord(int i, uint64_t offset, uint64_t size) {
    uint8_t field[4];
    const uint64_t record = TableEntryOffset(i);
    WriteLE32(field, static_cast<uint32_t>(offset));
    if (target_->WriteAt(record + kEntryOffsetField, field, 4) != 0) return BuildStep::kWriteFailed;
    WriteLE32(field, static_cast<uint32_t>(size));
    if (target_->WriteAt(record + kEntrySizeField, field, 4) != 0) return BuildStep::kWriteFailed;
    changed_ = true;
    return BuildStep::kOk;
}

BuildStep RebuiltArchive::Replace(int i, const TableEntry& old, const NewEntryData& data, uint64_t* newSize) {
    BuildStep step = Begin();
    if (step != BuildStep::kOk) return step;
    bool inPlace = false;
    uint64_t pos = 0, size = data.length;
    if (data.header == nullptr) {
        // Stored: the size is known before a byte is written.
        if (size > kMaxOffset) return BuildStep::kTooLarge;
        if ((step = MayOverwrite(i, old, size, &inPlace)) != BuildStep::kOk) return step;
        if (inPlace) {
            pos = old.offset;
        } else {
            if ((step = AppendAt(&pos)) != BuildStep::kOk) return step;
            if (pos + size > kMaxOffset) return BuildStep::kTooLarge;
        }
        step = CopyBytes(data.file, 0, *target_, pos, size, buffer_, BuildStep::kSourceUnreadable);
    } else {
        // Compressed: written after the end, then moved into the old place
        // when it turns out to fit there.
        const uint64_t end = length_;
        if ((step = AppendAt(&pos)) != BuildStep::kOk || (step = WriteMember(pos, data, &size)) != BuildStep::kOk ||
            (step = MayOverwrite(i, old, size, &inPlace)) != BuildStep::kOk)
            return step;
        if (inPlace) {
            step = CopyBytes(*target_, pos, *target_, old.offset, size, buffer_, BuildStep::kWriteFailed);
            if (step == BuildStep::kOk && target_->SetLength(end) != 0) step = BuildStep::kWriteFailed;
            pos = old.offset;
        }
    }
    if (step != BuildStep::kOk) return step;
    if (inPlace)
        step = Zero(pos + size, old.size - size);
    else
        length_ = pos + size;
    if (step == BuildStep::kOk) step = WriteRecord(i, pos, size);
    *newSize = size;
    return step;
}

BuildStep RebuiltArchive::Finish() {
    if (!targetGiven_ && !changed_) return BuildStep::kOk;
    BuildStep step = Begin();
    if (step != BuildStep::kOk || length_ == originalLength_) return step;
    uint8_t field[4];
    WriteLE32(field, static_cast<uint32_t>(length_));
    return target_->WriteAt(kHeaderFileSizeField, field, 4) == 0 ? BuildStep::kOk : BuildStep::kWriteFailed;
}
