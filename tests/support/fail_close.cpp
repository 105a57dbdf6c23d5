// Test-only preload library: close() of a file whose path ends in the text
// of RAVELKIT_FAIL_CLOSE closes it and then reports EIO, as a network file
// system or a full quota does when data written earlier could not be stored.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int close(int fd) {
    using CloseFn = int (*)(int);
    static CloseFn real = reinterpret_cast<CloseFn>(dlsym(RTLD_NEXT, "close"));
    const char* suffix = std::getenv("RAVELKIT_FAIL_CLOSE");
    bool fail = false;
    if (suffix != nullptr && *suffix != '\0') {
        char link[64];
        char path[4096];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        ssize_t n = readlink(link, path, sizeof path - 1);
        size_t len = std::strlen(suffix);
        if (n > 0 && static_cast<size_t>(n) >= len) {
            path[n] = '\0';
            fail = std::strcmp(path + n - len, suffix) == 0;
        }
    }
    int result = real(fd);
    if (fail && result == 0) {
        errno = EIO;
        return -1;
    }
    return result;
}
