#include "extract/entry_sink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

int EntrySink::Create() {
    if (allowance_ < kLeastPerFile) {
        overAllowance_ = true;
        return -1;
    }
    if (Open() == 0) return 0;
    systemError_ = errno;
    return -1;
}

int EntrySink::Finish() {
    if (End() == 0) return 0;
    systemError_ = errno;
    return -1;
}

int EntrySink::Reach(uint64_t end) {
    if (end > allowance_) {
        overAllowance_ = true;
        return -1;
    }
    extent_ = std::max(extent_, end);
    return 0;
}

int EntrySink::Write(const uint8_t* data, size_t len) {
    const uint64_t at = taken_;
    if (Reach(at + len) != 0) return -1;
    if (at < kContentHeadSize) std::memcpy(head_ + at, data, static_cast<size_t>(std::min<uint64_t>(len, kContentHeadSize - at)));
    taken_ += len;
    if (Put(at, data, len) == 0) return 0;
    systemError_ = errno;
    return -1;
}

int EntrySink::Restart() {
    std::memset(head_, 0, sizeof head_);
    taken_ = 0;
    return Discard();
}

uint64_t EntrySink::CopyFrom(const File& src, uint64_t pos, uint64_t len) {
    if (Reach(taken_ + len) != 0) return 0;
    const uint64_t copied = PutBySystem(src, pos, taken_, len);
    taken_ += copied;
    return copied;
}

int TestSink::Put(uint64_t at, const uint8_t* data, size_t len) {
    if (!decided_ && Taken() >= 4) {
        decided_ = true;
        const Content content = HeadContent();
        if ((keepArchives_ && content == Content::kArchive) || (keepImages_ && content == Content::kGim)) {
            // The bytes before this piece are all in the head.
            if (kept_.OpenTemporary() != 0 || kept_.WriteAt(0, Head(), static_cast<size_t>(at)) != 0) return -1;
        }
    }
    return kept_.IsOpen() ? kept_.WriteAt(at, data, len) : 0;
}

int TestSink::Discard() {
    decided_ = false;
    return kept_.IsOpen() ? kept_.Close() : 0;
}
