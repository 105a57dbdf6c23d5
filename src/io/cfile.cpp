#include "io/cfile.h"

#include <cerrno>

#include "platform/platform.h"

Cfile::~Cfile() { (void)Close(); }

int Cfile::Open(const std::string& path, Mode mode) {
    Close();
    int64_t measured = 0;
    int newFd = mode == kRead ? plat::OpenForReading(path, &measured) : plat::OpenForOutput(path);
    if (newFd < 0) return -1;
    fd = newFd;
    length = measured;
    return 0;
}

int Cfile::Close() {
    int result = fd >= 0 ? plat::CloseFile(fd) : 0;
    fd = -1;
    length = 0;
    return result;
}

int64_t Cfile::ReadAt(uint64_t pos, void* buf, size_t len) {
    auto* p = static_cast<unsigned char*>(buf);
    size_t done = 0;
    while (done < len) {
        int64_t n = plat::ReadAt(fd, p + done, len - done, pos + done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int Cfile::Write(const void* buf, size_t len) {
    const auto* p = static_cast<const unsigned char*>(buf);
    size_t done = 0;
    while (done < len) {
        int64_t n = plat::WriteSome(fd, p + done, len - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int Cfile::SetLength(uint64_t len) { return plat::SetFileLength(fd, len); }

uint64_t Cfile::CopyFrom(const Cfile& src, uint64_t pos, uint64_t len) {
    return plat::CopyRange(src.fd, pos, fd, len);
}
