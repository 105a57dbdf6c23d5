#include "io/file.h"

#include <cerrno>
#include <utility>

#include "platform/platform.h"

File::~File() { (void)Close(); }

int File::Open(const std::string& path, Mode mode) {
    (void)Close();
    int64_t measured = 0;
    (void)mode;  // reading is the one way
    int fd = plat::OpenForReading(path, &measured);
    if (fd < 0) return -1;
    fd_ = fd;
    length_ = measured;
    return 0;
}

int File::OpenIn(const plat::Folder& folder, const std::string& name) {
    (void)Close();
    int64_t measured = 0;
    int fd = plat::OpenForReadingIn(folder, name, &measured);
    if (fd < 0) return -1;
    fd_ = fd;
    length_ = measured;
    return 0;
}

int File::Create(const plat::Folder& folder, const std::string& name) {
    (void)Close();
    int fd = plat::CreateFileIn(folder, name);
    if (fd < 0) return -1;
    fd_ = fd;
    return 0;
}

int File::OpenTemporary() {
    (void)Close();
    fd_ = plat::OpenTemporary();
    return fd_ >= 0 ? 0 : -1;
}

int File::CreateBeside(const std::string& path, std::string* made) {
    (void)Close();
    fd_ = plat::CreateBeside(path, made);
    return fd_ >= 0 ? 0 : -1;
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

int64_t File::ReadAt(uint64_t pos, void* buf, size_t len) const {
    auto* p = static_cast<unsigned char*>(buf);
    size_t done = 0;
    while (done < len) {
        int64_t n = plat::ReadAt(fd_, p + done, len - done, pos + done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int File::Write(const void* buf, size_t len) {
    const auto* p = static_cast<const unsigned char*>(buf);
    size_t done = 0;
    while (done < len) {
        int64_t n = plat::WriteSome(fd_, p + done, len - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        done += static_cast<size_t>(n);
    }
    return 0;
}

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
int File::WriteAt(uint64_t pos, const void* buf, size_t len) {
    const auto* p = static_cast<const unsigned char*>(buf);
    size_t done = 0;
    while (done < len) {
        int64_t n = plat::WriteAt(fd_, p + done, len - done, pos + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int File::SeekTo(uint64_t pos) { return plat::Seek(fd_, pos); }

int File::SetLength(uint64_t len) { return plat::SetLength(fd_, len); }

int File::Empty() { return plat::EmptyFile(fd_); }

uint64_t File::CopyFrom(const File& src, uint64_t pos, uint64_t len) { return plat::CopyRange(src.fd_, pos, fd_, len); }
