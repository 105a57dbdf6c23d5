#include "io/member_stream.h"

#include <algorithm>

MemberStream::MemberStream(Cfile& archive, Cbuffer& buffer, uint64_t offset, uint64_t size)
    : archive_(archive), buffer_(buffer), offset_(offset), size_(size) {}

MemberStream::MemberStream(Cfile& archive, uint64_t offset, uint64_t size)
    : archive_(archive), buffer_(own_), offset_(offset), size_(size) {}

std::unique_ptr<ByteSource> MemberStream::Fork() const {
    std::unique_ptr<MemberStream> fork(new MemberStream(archive_, offset_ + consumed_, size_ - consumed_));
    if (fork->own_.Alloc(static_cast<size_t>(std::min<uint64_t>(fork->size_, 256 * 1024))) == nullptr) return nullptr;
    return fork;
}

int MemberStream::Fill() {
    if (avail_ > 0) return 1;
    if (fetched_ == size_) return 0;
    size_t want = static_cast<size_t>(std::min<uint64_t>(size_ - fetched_, buffer_.size));
    if (archive_.ReadAt(offset_ + fetched_, buffer_.data, want) != static_cast<int64_t>(want)) return -1;
    fetched_ += want;
    pos_ = 0;
    avail_ = want;
    return 1;
}

int MemberStream::Rewind(uint64_t position) {
    if (position > consumed_) return -1;
    fetched_ = consumed_ = position;
    pos_ = avail_ = 0;
    return 0;
}
