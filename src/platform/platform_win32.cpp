// Windows side of the platform layer, on the C runtime and Win32.
//
// Archives are opened with the runtime's sharing mode "deny write", so while
// one is being read no output file can truncate it and no rename or removal
// can replace it: the system refuses, whatever name the file is reached by.
// Names are searched in the runtime's current multibyte code page (the
// system's ANSI code page, 932 on a Japanese system).
#include "platform/platform_config.h"

#include <windows.h>
#include <shlwapi.h>

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

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:" alone names a drive's current folder, which always exists.
bool IsBareDrive(const std::string& path) {
    return path.size() == 2 && IsAsciiLetter(path[0]) && path[1] == ':';
}

// True when both names lead to one file (one volume, one file index).  Any
// failure to tell counts as "different".
bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string* names[2] = {&a, &b};
    for (int k = 0; k < 2; ++k) {
        HANDLE h = CreateFileA(names[k]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        BOOL ok = GetFileInformationByHandle(h, &info[k]);
        CloseHandle(h);
        if (!ok) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

bool IsDeviceName(std::string base) {
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

}  // namespace

int OpenForReading(const std::string& path, int64_t* length) {
    int fd = OpenShared(path, _O_RDONLY);
    if (fd < 0) return -1;
    *length = _filelengthi64(fd);
    if (*length < 0) {
        int err = errno;
        _close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

int OpenForOutput(const std::string& path) { return OpenShared(path, _O_TRUNC | _O_CREAT | _O_RDWR); }

void CloseFile(int fd) { _close(fd); }

int64_t ReadAt(int fd, void* buf, size_t len, uint64_t offset) {
    // The runtime has no positioned read: seek, then read.
    if (_lseeki64(fd, static_cast<int64_t>(offset), SEEK_SET) < 0) return -1;
    return _read(fd, buf, static_cast<unsigned int>(len < kMaxChunk ? len : kMaxChunk));
}

int64_t WriteSome(int fd, const void* buf, size_t len) {
    return _write(fd, buf, static_cast<unsigned int>(len < kMaxChunk ? len : kMaxChunk));
}

int SetFileLength(int fd, uint64_t len) { return _chsize_s(fd, static_cast<int64_t>(len)) == 0 ? 0 : -1; }

uint64_t CopyRange(int, uint64_t, int, uint64_t) { return 0; }

int MakeDir(const std::string& path) {
    if (IsBareDrive(path) || _mkdir(path.c_str()) == 0) return 0;
    return errno;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void RemoveFile(const std::string& path) { (void)std::remove(path.c_str()); }

int ReplaceFile(const std::string& from, const std::string& to) {
    // rename() never replaces an existing file here, so the target goes
    // first.  When both names lead to one file (they differ in case only),
    // removing the target would remove the source: then it is only renamed.
    // An archive being read survives: its sharing mode makes the removal
    // fail, and the rename then fails on the target that is still there.
    if (!SameFile(from, to)) (void)std::remove(to.c_str());
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : -1;
}

void MoveToExecutableFolder() {
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

std::string WithTrailingSeparator(const std::string& dir, NameForm form) {
    if (dir.empty() || FindLastOf(dir, "/\\", form) == dir.size() - 1) return dir;
    if (dir.size() + 2 <= MAX_PATH) {
        char buf[MAX_PATH];
        std::memcpy(buf, dir.c_str(), dir.size() + 1);
        // PathAddBackslashA looks at the last byte in the ANSI code page;
        // should it take a trail byte for '\', the separator is added here.
        if (PathAddBackslashA(buf) != nullptr && std::strlen(buf) == dir.size() + 1) return buf;
    }
    return dir + '\\';
}

// _ismbblead and _ismbbtrail follow the runtime's current multibyte code
// page.  The searches step by CharLength rather than using _mbsrchr and
// _mbsstr: those let a lead byte take any next byte, and some runtimes'
// _mbsstr matches at trail bytes.
size_t CharLength(const char* s) {
    return _ismbblead(static_cast<unsigned char>(s[0])) && _ismbbtrail(static_cast<unsigned char>(s[1])) ? 2 : 1;
}

// Names stay in the code page: the system turns them into Unicode.
NameForm ChooseNameForm(bool) { return NameForm::kRaw; }

std::string NameFromArchive(const std::string& bytes, NameForm) { return bytes; }

const char* NameBaseSeparators() { return "\\"; }

bool IsReservedComponent(const std::string& component) {
    // ':' opens a stream of the file before it (or names a drive).
    if (component.find(':') != std::string::npos) return true;
    if (IsDeviceName(component.substr(0, component.find('.')))) return true;
    // Windows drops trailing dots and spaces, so "..." or ". ." would become
    // the parent folder or the folder itself.
    return component.size() >= 2 && component.find_first_not_of(". ") == std::string::npos;
}

}  // namespace plat
