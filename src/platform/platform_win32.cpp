// Windows side of the platform layer, on the C runtime and Win32.
//
// Archives are opened with the runtime's sharing mode "deny write", so while
// one is being read no output file can truncate it and no rename or removal
// can replace it: the system refuses, whatever name the file is reached by.
// Names are handed to the system as the archive's bytes, which it reads in
// the ANSI code page (932 on a Japanese system), and searched in the
// runtime's multibyte code page, the same one.
#include "platform/platform_config.h"

#include <windows.h>

// <windows.h> maps these to its own A/W functions; the names here are ours.
#undef ReplaceFile

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <mbctype.h>
#include <share.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plat {
namespace {

// The runtime's _read and _write take unsigned int counts.
constexpr size_t kMaxChunk = 1u << 30;

int OpenShared(const std::string& path, int flags) {
    int fd = -1;
    if (_sopen_s(&fd, path.c_str(), flags | _O_BINARY, _SH_DENYWR, _S_IREAD | _S_IWRITE) != 0) return -1;
    return fd;
}

// The output file an interrupt removes.  Console control handlers run on a
// thread of their own, so the state is guarded by a lock that the handler
// takes and never gives back: the main thread then cannot start or close a
// file while the process ends.  Output files are opened with delete sharing,
// so the handler can remove the file while it is still open (the system
// removes it when the process has ended).
struct InterruptState {
    CRITICAL_SECTION lock;
    bool installed;  // the lock is set up
    bool writing;    // path names the output file being written
    int fd;
    char path[MAX_PATH * 4];
};

InterruptState interrupt;

class InterruptLock {
public:
    InterruptLock() {
        if (interrupt.installed) EnterCriticalSection(&interrupt.lock);
    }
    ~InterruptLock() {
        if (interrupt.installed) LeaveCriticalSection(&interrupt.lock);
    }
    InterruptLock(const InterruptLock&) = delete;
    InterruptLock& operator=(const InterruptLock&) = delete;
};

BOOL WINAPI OnConsoleControl(DWORD) {
    EnterCriticalSection(&interrupt.lock);  // kept until the process ends
    if (interrupt.writing) (void)DeleteFileA(interrupt.path);
    return FALSE;  // the system's own handler then ends the process
}

}  // namespace

int OpenForReading(const std::string& path, int64_t* length) {
    int fd = OpenShared(path, _O_RDONLY);
    if (fd < 0) return -1;
    *length = _filelengthi64(fd);
    // Pipes, consoles and other devices are no archives.
    if (*length < 0 || GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        int err = *length < 0 ? errno : EINVAL;
        _close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

int OpenForOutput(const std::string& path) {
    InterruptLock guard;
    // Reading and deleting stay open to others, writing does not; an archive
    // being read (opened denying writes) makes this fail.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
        return -1;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EMFILE;
        return -1;
    }
    if (path.size() < sizeof interrupt.path) {
        std::memcpy(interrupt.path, path.c_str(), path.size() + 1);
        interrupt.fd = fd;
        interrupt.writing = true;
    }
    return fd;
}

int OpenTemporary() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH || GetTempFileNameW(folder, L"rvk", 0, name) == 0) {
        errno = ENOENT;
        return -1;
    }
    // Deleted by the system when its last handle closes, the end of the
    // process included.
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        (void)DeleteFileW(name);
        errno = EACCES;
        return -1;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EMFILE;
    }
    return fd;
}

bool IsOpenForReading(const std::string& path) {
    // An archive being read is open with writing denied to others: asking
    // to write to it (without changing it) fails with a sharing violation.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

int CloseFile(int fd) {
    InterruptLock guard;
    if (interrupt.writing && interrupt.fd == fd) interrupt.writing = false;
    return _close(fd) == 0 ? 0 : -1;
}

int64_t ReadAt(int fd, void* buf, size_t len, uint64_t offset) {
    // The runtime has no positioned read: seek, then read.
    if (_lseeki64(fd, static_cast<int64_t>(offset), SEEK_SET) < 0) return -1;
    return _read(fd, buf, static_cast<unsigned int>(len < kMaxChunk ? len : kMaxChunk));
}

int64_t WriteSome(int fd, const void* buf, size_t len) {
    return _write(fd, buf, static_cast<unsigned int>(len < kMaxChunk ? len : kMaxChunk));
}

int EmptyFile(int fd) { return _chsize_s(fd, 0) == 0 && _lseeki64(fd, 0, SEEK_SET) == 0 ? 0 : -1; }

uint64_t CopyRange(int, uint64_t, int, uint64_t) { return 0; }

int MakeDir(const std::string& path) {
    if (_mkdir(path.c_str()) == 0) return 0;
    return errno;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void RemoveFile(const std::string& path) { (void)std::remove(path.c_str()); }

int ReplaceFile(const std::string& from, const std::string& to) {
    // One step: the file at `to` is replaced only when `from` takes its
    // place, so a failed rename loses nothing.  Names that differ in case
    // only (one file) are renamed in place.  An archive being read survives:
    // its sharing mode denies the deletion that replacing it needs.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : -1;
}

void RemoveOutputOnInterrupt() {
    if (interrupt.installed) return;
    InitializeCriticalSection(&interrupt.lock);
    interrupt.installed = true;
    // A process started with Ctrl-C ignored gets no CTRL_C_EVENT at all, so
    // it stays ignored.
    (void)SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void EnterBaseFolder() {
    std::vector<char> buf(MAX_PATH + 1);
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return;
        if (n < buf.size() - 1) {
            buf.resize(n);
            break;
        }
        if (buf.size() > 0x10000) return;  // longer than any path Windows takes
        buf.resize(buf.size() * 2);
    }
    std::string exe(buf.begin(), buf.end());
    size_t slash = exe.rfind('\\');
    if (slash == std::string::npos) return;
    (void)SetCurrentDirectoryA(exe.substr(0, slash + 1).c_str());
}

bool IsOption(const char* arg) { return arg[0] == '-' || arg[0] == '/'; }

namespace {

// _ismbblead and _ismbbtrail follow the runtime's current multibyte code
// page.  Names are stepped this way rather than with _mbsrchr and _mbsstr:
// those let a lead byte take any next byte, and some runtimes' _mbsstr
// matches at trail bytes.
size_t RuntimeCharLength(const char* s) {
    return _ismbblead(static_cast<unsigned char>(s[0])) && _ismbbtrail(static_cast<unsigned char>(s[1])) ? 2 : 1;
}

}  // namespace

// Names stay in the code page: the system turns them into Unicode.
bool DecodesNames(bool) { return false; }

CharLengthFunction SystemCharLength() { return RuntimeCharLength; }

}  // namespace plat
