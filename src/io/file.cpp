#include "io/file.h"

#include <utility>

#include "platform/platform.h"

File::~File() { (void)Close(); }

int File::Adopt(int fd, int64_t length) {
    if (fd < 0) return -1;
    fd_ = fd;
    length_ = length;
    return 0;
}

int File::Open(const std::string& path) {
    (void)Close();
    int64_t measured = 0;
    const int fd = plat::OpenForReading(path, &measured);
    return Adopt(fd, measured);
}

int File::OpenIn(const plat::Folder& folder, const std::string& name) {
    (void)Close();
    int64_t measured = 0;
    const int fd = plat::OpenForReadingIn(folder, name, &measured);
    return Adopt(fd, measured);
}

int File::Create(const plat::Folder& folder, const std::string& name) {
    (void)Close();
    return Adopt(plat::CreateFileIn(folder, name));
}

int File::OpenTemporary() {
    (void)Close();
    return Adopt(plat::OpenTemporary());
}

int File::CreateBeside(const std::string& path, std::string* made) {
    (void)Close();
    return Adopt(plat::CreateBeside(path, made));
}

int File::FinishBeside(const std::string& made, const std::string& path) {
    const int fd = fd_;
    fd_ = -1;
    length_ = 0;
    return plat::FinishBeside(fd, made, path);
}

int File::Close() {
    int result = fd_ >= 0 ? plat::CloseFile(fd_) : 0;
    fd_ = -1;
    length_ = 0;
    return result;
}

int64_t File::ReadAt(uint64_t pos, void* buf, size_t len) const { return plat::ReadFull(fd_, buf, len, pos); }

int File::WriteAt(uint64_t pos, const void* buf, size_t len) { return plat::WriteFull(fd_, buf, len, pos); }

int File::Map(uint64_t pos, uint64_t len, MappedBytes* mapped) const {
    MappedBytes made;
    if (plat::MapReadOnly(fd_, pos, len, &made.view_, &made.start_) != 0) return -1;
    made.offset_ = pos;
    made.size_ = static_cast<size_t>(len);
    *mapped = std::move(made);
    return 0;
}

MappedBytes::~MappedBytes() {
    if (view_ != nullptr) plat::Unmap(view_, offset_, size_);
}

int File::SetLength(uint64_t len) { return plat::SetLength(fd_, len); }

uint64_t File::CopyFrom(const File& src, uint64_t srcPos, uint64_t pos, uint64_t len) {
    return plat::CopyRange(src.fd_, srcPos, fd_, pos, len);
}
