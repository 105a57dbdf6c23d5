#include "io/entry_reader.h"

#include <algorithm>

int EntryReader::Fill() {
    if (avail_ > 0) return 1;
    if (fetched_ == size_) return 0;
    const bool first = window_ != nullptr && fetched_ == 0;
    const size_t piece = first ? std::min(firstPiece_, bufferLength_) : bufferLength_;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size_ - fetched_, piece));
    const int64_t got = first ? window_->ReadAt(offset_ + fetched_, buffer_, want)
                              : archive_.ReadAt(offset_ + fetched_, buffer_, want);
    if (got != static_cast<int64_t>(want)) return -1;
    fetched_ += want;
    pos_ = 0;
    avail_ = want;
    return 1;
}

int EntryReader::Rewind(uint64_t position) {
    if (position > consumed_) return -1;
    fetched_ = consumed_ = position;
    pos_ = avail_ = 0;
    return 0;
}
