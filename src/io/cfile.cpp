#include "io/cfile.h"

#include <cstdio>

#include "platform/platform.h"

Cfile::~Cfile() { Close(); }

int Cfile::Open(const std::string& path, Mode mode) {
    Close();
    int newFd = mode == kRead ? plat::OpenForReading(path) : plat::OpenForOutput(path);
    if (newFd < 0) return -1;
    fd = newFd;
    int64_t end = plat::SeekFile(fd, 0, SEEK_END);
    if (end < 0 || plat::SeekFile(fd, 0, SEEK_SET) != 0) {
        Close();
        return -1;
    }
    length = end;
    return 0;
}

void Cfile::Close() {
    if (fd >= 0) plat::CloseFile(fd);
    fd = -1;
    length = 0;
}

int Cfile::SeekTo(uint64_t pos) {
    return plat::SeekFile(fd, static_cast<int64_t>(pos), SEEK_SET) == static_cast<int64_t>(pos) ? 0 : -1;
}

int64_t Cfile::Read(void* buf, size_t len) { return plat::ReadFull(fd, buf, len); }

int Cfile::Write(const void* buf, size_t len) { return plat::WriteFull(fd, buf, len); }
