// Windows side of the platform layer, on the C runtime and Win32.
//
// Archives are opened with the runtime's sharing mode "deny write", so while
// one is being read no output file can truncate it and no rename or removal
// can replace it: the system refuses, whatever name the file is reached by.
//
// Paths arrive as UTF-8 and every one reaches the system through SystemPath:
// as UTF-16, made a full path and put in extended-length form ("\\?\C:\..."),
// handed to the wide (W) functions.  So names hold any character whatever the
// system's ANSI code page, and a tree may be as deep as the file system
// allows.  After KeepSystemCodePageNames (-r) the process works as the ANSI
// programs of this system do: paths are the ANSI code page's bytes, converted
// as the ANSI functions convert them and left to the system's own limits
// (MAX_PATH), names are searched in the runtime's multibyte code page (the
// same one), and the listing prints bytes.
//
// Below the destination no reparse point (a symbolic link, a junction, a
// mount point) is entered, created over, renamed over or removed: each name
// is checked by its attributes before the step, and files are created with
// FILE_FLAG_OPEN_REPARSE_POINT, so that a link is never followed.
#include "platform/platform_config.h"

#include <windows.h>
#include <shellapi.h>

// <windows.h> maps these to its own A/W functions; the names here are ours.
#undef ReplaceFile

#include <fcntl.h>
#include <io.h>
#include <mbctype.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plat {
namespace {

// The runtime's _read and _write take unsigned int counts.
constexpr size_t kMaxChunk = 1u << 30;

// The longest path the system takes, in UTF-16 units, with room for the
// extended-length prefix and the terminator.
constexpr size_t kMaxSystemPath = 32768 + 16;

// Set once at start-up by KeepSystemCodePageNames: paths, arguments and the
// listing are the ANSI code page's bytes.
bool codePageNames = false;

// text as UTF-16, converted from codePage; with flags MB_ERR_INVALID_CHARS
// empty when text is not valid in it.  Empty text gives an empty result.
std::wstring Wide(const std::string& text, UINT codePage, DWORD flags) {
    if (text.empty() || text.size() > INT_MAX) return std::wstring();
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    if (MultiByteToWideChar(codePage, flags, text.data(), length, &wide[0], n) != n) return std::wstring();
    return wide;
}

// A terminated UTF-16 string in codePage (UTF-8: a lone surrogate becomes
// U+FFFD).
std::string Narrow(const wchar_t* wide, UINT codePage) {
    const int n = WideCharToMultiByte(codePage, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string text(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(codePage, 0, wide, -1, &text[0], n, nullptr, nullptr) != n) return std::string();
    text.resize(static_cast<size_t>(n - 1));
    return text;
}

// A name the system gives back, as paths are held here: UTF-8, or after
// KeepSystemCodePageNames the ANSI code page's bytes.
std::string NameFromSystem(const wchar_t* wide) { return Narrow(wide, codePageNames ? CP_ACP : CP_UTF8); }

// The full form of path: against the working directory (or the drive's),
// '/' made '\', "." and ".." components worked out.  Empty on failure.
std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (int tries = 0; tries < 2; ++tries) {
        const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
        if (n == 0) return std::wstring();
        if (n < full.size()) {
            full.resize(n);
            return full;
        }
        full.resize(n);  // n counts the terminator when the room was short
    }
    return std::wstring();
}

// The path as the system is handed it: see the top of this file.  Every
// function here that takes a path goes through this one.  Empty when the
// path cannot be converted (not UTF-8, empty, too long).
std::wstring SystemPath(const std::string& path) {
    if (codePageNames) {
        // The ANSI functions' limit: a full path of MAX_PATH characters,
        // terminator included (Wine does not keep it for wide ones).
        std::wstring ansi = Wide(path, CP_ACP, 0);
        return FullPath(ansi).size() < MAX_PATH ? ansi : std::wstring();
    }
    const std::wstring wide = Wide(path, CP_UTF8, MB_ERR_INVALID_CHARS);
    if (wide.empty()) return wide;
    // An extended-length path is taken as it is written.
    if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    const std::wstring full = ExtendedLengthPath(FullPath(wide));
    return full.size() < kMaxSystemPath ? full : std::wstring();
}

// Opens the file at a system path with the runtime, denying writes to
// others.  Returns a descriptor, or -1 with errno set.
int OpenShared(const std::wstring& path, int flags) {
    int fd = -1;
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    // A file another program holds open for writing for a moment (a virus
    // scanner, a process that wrote it and is still ending) is asked for a
    // few times before it counts as one that cannot be opened.
    for (int attempt = 0;; ++attempt) {
        if (_wsopen_s(&fd, path.c_str(), flags | _O_BINARY, _SH_DENYWR, _S_IREAD | _S_IWRITE) == 0) return fd;
        if (GetLastError() != ERROR_SHARING_VIOLATION || attempt == 20) return -1;
        Sleep(50);
    }
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
    wchar_t path[kMaxSystemPath];  // as the system was handed it
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
    if (interrupt.writing) (void)DeleteFileW(interrupt.path);
    return FALSE;  // the system's own handler then ends the process
}

// Whether out is a console, asked once per stream (standard output is the
// only one the tool writes text to).
bool IsConsole(std::FILE* out) {
    static std::FILE* asked = nullptr;
    static bool console = false;
    if (out != asked) {
        DWORD mode = 0;
        const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
        console = h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
        asked = out;
    }
    return console;
}

// Writes UTF-8 text to the console behind out as UTF-16, lines ended with
// CR LF as the runtime ends them in files; a failure is ignored (the console
// is gone).
void WriteToConsole(std::FILE* out, const std::string& text) {
    (void)std::fflush(out);  // whatever the runtime holds goes first
    std::wstring wide;
    for (wchar_t c : Wide(text, CP_UTF8, 0)) {
        if (c == L'\n') wide += L'\r';
        wide += c;
    }
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    constexpr size_t kPiece = 8192;  // older consoles take little at a time
    for (size_t done = 0; done < wide.size();) {
        const DWORD n = static_cast<DWORD>(wide.size() - done < kPiece ? wide.size() - done : kPiece);
        DWORD written = 0;
        if (!WriteConsoleW(h, wide.data() + done, n, &written, nullptr) || written == 0) return;
        done += written;
    }
}

}  // namespace

int OpenForReading(const std::string& path, int64_t* length) {
    int fd = OpenShared(SystemPath(path), _O_RDONLY);
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

namespace {

// True when the attributes are those of a reparse point: the output tree
// never goes through one.
bool IsReparsePoint(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The attributes of what is at a system path (a link's own), or
// INVALID_FILE_ATTRIBUTES when there is nothing or no path.
DWORD AttributesOf(const std::wstring& sys) {
    return sys.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(sys.c_str());
}

// The system path of the existing file at sys under the name the system
// stores for it: names that differ in case only (or a short 8.3 name) name
// one file, whose name should not change when it is replaced.  sys itself
// when that name cannot be had.
std::wstring AsStored(const std::wstring& sys) {
    const size_t cut = sys.find_last_of(L"\\/");
    const size_t nameStart = cut == std::wstring::npos ? 0 : cut + 1;
    if (sys.find_first_of(L"*?", nameStart) != std::wstring::npos) return sys;  // no pattern, one name
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(sys.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return sys;
    FindClose(h);
    return sys.substr(0, nameStart) + found.cFileName;
}

// Makes way for a new file at a system path, and sets *target to the path to
// create it at: an existing file is removed (never written in place; an
// archive being read refuses the removal through its sharing mode) and its
// name kept, a reparse point or a folder is refused.  Returns 0, or -1.
int RemoveToReplace(const std::wstring& sys, std::wstring* target) {
    *target = sys;
    const DWORD attributes = AttributesOf(sys);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (IsReparsePoint(attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
    *target = AsStored(sys);
    return DeleteFileW(sys.c_str()) ? 0 : -1;
}

// Creates a new file at a system path, failing on anything already there; a
// link there is never followed.  Reading and deleting stay open to others,
// writing does not.  Returns the handle, or INVALID_HANDLE_VALUE.
HANDLE CreateNew(const std::wstring& sys) {
    return CreateFileW(sys.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Gives the new output file h, made at the system path sys, a descriptor,
// and makes it the file an interrupt removes.  Returns the descriptor, or -1
// with errno set and h closed (the file removed too when removeOnFailure).
int AdoptOutput(HANDLE h, const std::wstring& sys, bool removeOnFailure) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        if (removeOnFailure) (void)DeleteFileW(sys.c_str());
        errno = EMFILE;
        return -1;
    }
    if (sys.size() < kMaxSystemPath) {
        std::wmemcpy(interrupt.path, sys.c_str(), sys.size() + 1);
        interrupt.fd = fd;
        interrupt.writing = true;
    }
    return fd;
}

// True when the attributes are a folder's (a link to one included).
bool IsFolderAttributes(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// True when a system path names a folder that is no reparse point.
bool IsPlainFolder(const std::wstring& sys) {
    const DWORD attributes = AttributesOf(sys);
    return IsFolderAttributes(attributes) && !IsReparsePoint(attributes);
}

// Gives the file at system path from the name to, replacing a file there,
// in one step: the file at `to` is replaced only when `from` takes its
// place, so a failed rename loses nothing.  Names that differ in case only
// (one file) are renamed in place.  An archive being read survives: its
// sharing mode denies the deletion that replacing it needs.  Returns 0, or
// -1 when the file keeps its old name.
int RenameReplacing(const std::wstring& from, const std::wstring& to) {
    if (from.empty() || to.empty()) return -1;
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : -1;
}

}  // namespace

int CreateFileIn(const Folder& folder, const std::string& name) {
    InterruptLock guard;
    const std::wstring sys = SystemPath(folder.path + name);
    if (sys.empty()) {
        errno = ENOENT;
        return -1;
    }
    std::wstring target;
    HANDLE h = RemoveToReplace(sys, &target) == 0 ? CreateNew(target) : INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE) {
        errno = GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
        return -1;
    }
    return AdoptOutput(h, target, false);
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
    const std::wstring sys = SystemPath(path);
    if (sys.empty()) return false;
    // An archive being read is open with writing denied to others: asking
    // to write to it (without changing it) fails with a sharing violation.
    HANDLE h = CreateFileW(sys.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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

namespace {

// An OVERLAPPED that carries a file offset: every read and write names its
// own, so no call depends on (or moves for another) a file position.
OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

int64_t ReadFull(int fd, void* buf, size_t len, uint64_t offset) {
    auto* p = static_cast<unsigned char*>(buf);
    size_t done = 0;
    while (done < len) {
        OVERLAPPED at = At(offset + done);
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(len - done < kMaxChunk ? len - done : kMaxChunk);
        if (!ReadFile(HandleOf(fd), p + done, want, &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            errno = EIO;
            return -1;
        }
        if (n == 0) break;
        done += n;
    }
    return static_cast<int64_t>(done);
}

int WriteFull(int fd, const void* buf, size_t len, uint64_t offset) {
    const auto* p = static_cast<const unsigned char*>(buf);
    size_t done = 0;
    while (done < len) {
        OVERLAPPED at = At(offset + done);
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(len - done < kMaxChunk ? len - done : kMaxChunk);
        if (!WriteFile(HandleOf(fd), p + done, want, &n, &at) || n == 0) {
            errno = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
            return -1;
        }
        done += n;
    }
    return 0;
}

int SetLength(int fd, uint64_t len) { return _chsize_s(fd, static_cast<int64_t>(len)) == 0 ? 0 : -1; }

int CreateNewOutput(const std::string& path) {
    InterruptLock guard;
    const std::wstring sys = SystemPath(path);
    if (sys.empty()) {
        errno = ENOENT;
        return -1;
    }
    HANDLE h = CreateNew(sys);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        errno = err == ERROR_FILE_EXISTS ? EEXIST : err == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
        return -1;
    }
    return AdoptOutput(h, sys, true);
}

int FinishBeside(int fd, const std::string& made, const std::string& path) {
    // Under the lock an interrupt waits until the file has its name (and
    // then leaves it) or is gone.
    InterruptLock guard;
    const std::wstring sysMade = SystemPath(made), sysPath = SystemPath(path);
    int result = _close(fd) == 0 ? 0 : -1;
    if (result == 0 && RenameReplacing(sysMade, sysPath) != 0) result = -2;
    if (result != 0) (void)DeleteFileW(sysMade.c_str());
    if (interrupt.fd == fd) interrupt.writing = false;
    return result;
}

int MapReadOnly(int fd, uint64_t offset, uint64_t len, void** view, const uint8_t** start) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const uint64_t below = offset % info.dwAllocationGranularity;
    const uint64_t from = offset - below;
    if (len == 0 || len + below > SIZE_MAX) return -1;
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    // The mapping object may go at once: the view keeps what it needs.
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) return -1;
    void* p = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(from >> 32), static_cast<DWORD>(from),
                            static_cast<SIZE_T>(len + below));
    CloseHandle(mapping);
    if (p == nullptr) return -1;
    *view = p;
    *start = static_cast<const uint8_t*>(p) + below;
    return 0;
}

void Unmap(void* view, uint64_t, uint64_t) { (void)UnmapViewOfFile(view); }

uint64_t CopyRange(int, uint64_t, int, uint64_t, uint64_t) { return 0; }

int MakeDir(const std::string& path) {
    const std::wstring sys = SystemPath(path);
    if (sys.empty()) return ENOENT;
    if (CreateDirectoryW(sys.c_str(), nullptr)) return 0;
    switch (GetLastError()) {
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
            return ENOENT;
        default:
            return EACCES;
    }
}

bool IsFolder(const std::string& path) { return IsFolderAttributes(AttributesOf(SystemPath(path))); }

int OpenFolder(const std::string& path, Folder* folder) {
    // The destination may be a link: only its being a folder counts.
    if (!IsFolderAttributes(AttributesOf(SystemPath(path.empty() ? "." : path)))) return -1;
    folder->path = path;
    return 0;
}

int OpenForReadingIn(const Folder& folder, const std::string& name, int64_t* length) {
    if (IsReparsePoint(AttributesOf(SystemPath(folder.path + name)))) {
        errno = ELOOP;
        return -1;
    }
    return OpenForReading(folder.path + name, length);
}

int OpenSubfolder(const Folder& parent, const std::string& name, bool create, Folder* folder) {
    const std::wstring sys = SystemPath(parent.path + name);
    if (create && !sys.empty() && AttributesOf(sys) == INVALID_FILE_ATTRIBUTES)
        (void)CreateDirectoryW(sys.c_str(), nullptr);
    if (!IsPlainFolder(sys)) return -1;
    folder->path = parent.path + name + "\\";
    return 0;
}

namespace {

PathKind KindOfAttributes(DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return PathKind::kLink;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::kFolder;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return PathKind::kOther;
    return PathKind::kFile;
}

// The volume and the index of the file at path, links followed.
bool FileIndex(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    const std::wstring sys = SystemPath(path);
    if (sys.empty()) return false;
    HANDLE h = CreateFileW(sys.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BOOL ok = GetFileInformationByHandle(h, info);
    CloseHandle(h);
    return ok != 0;
}

}  // namespace

PathKind KindOf(const std::string& path) {
    const std::wstring sys = SystemPath(path);
    if (sys.empty()) return PathKind::kOther;
    DWORD attributes = GetFileAttributesW(sys.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return KindOfAttributes(attributes);
    DWORD err = GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? PathKind::kMissing : PathKind::kOther;
}

int ListFolder(const std::string& path, const std::function<void(const FolderItem&)>& visit) {
    std::wstring pattern = SystemPath(path.empty() ? std::string(".") : path);
    if (pattern.empty()) return -1;
    if (pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
    do {
        if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0) continue;
        visit(FolderItem{NameFromSystem(found.cFileName), KindOfAttributes(found.dwFileAttributes)});
    } while (FindNextFileW(h, &found));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(h);
    return complete ? 0 : -1;
}

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return FileIndex(a, &ia) && FileIndex(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

void RemoveFile(const std::string& path) {
    const std::wstring sys = SystemPath(path);
    if (!sys.empty()) (void)DeleteFileW(sys.c_str());
}

void CloseFolder(Folder& folder) { folder.path.clear(); }

// Folders are held by path: holding one costs no system handle.
size_t FoldersHeldOpen() { return 4096; }

int RenameIn(const Folder& folder, const std::string& from, const std::string& to) {
    // A link at `to` is left alone.
    const std::wstring sysTo = SystemPath(folder.path + to);
    if (IsReparsePoint(AttributesOf(sysTo))) return -1;
    return RenameReplacing(SystemPath(folder.path + from), sysTo);
}

void RemoveFileIn(const Folder& folder, const std::string& name) {
    const std::wstring sys = SystemPath(folder.path + name);
    const DWORD attributes = AttributesOf(sys);
    if (attributes == INVALID_FILE_ATTRIBUTES || IsReparsePoint(attributes) ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return;
    (void)DeleteFileW(sys.c_str());
}

// A path of UTF-8 text, up to three bytes for each of the UTF-16 units the
// system takes; SystemPath refuses what the system would.
size_t MaxPathLength() { return kMaxSystemPath * 3; }

void RemoveOutputOnInterrupt() {
    if (interrupt.installed) return;
    InitializeCriticalSection(&interrupt.lock);
    interrupt.installed = true;
    // A process started with Ctrl-C ignored gets no CTRL_C_EVENT at all, so
    // it stays ignored.
    (void)SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

void EnterBaseFolder() {
    std::vector<wchar_t> buf(MAX_PATH + 1);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return;
        if (n < buf.size() - 1) {
            buf.resize(n);
            break;
        }
        if (buf.size() > kMaxSystemPath) return;  // longer than any path Windows takes
        buf.resize(buf.size() * 2);
    }
    std::wstring exe(buf.begin(), buf.end());
    size_t slash = exe.rfind(L'\\');
    if (slash == std::wstring::npos) return;
    (void)SetCurrentDirectoryW(exe.substr(0, slash + 1).c_str());
}

bool IsOption(const char* arg) { return arg[0] == '-' || arg[0] == '/'; }

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    if (codePageNames) return args;
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (wide == nullptr) return args;  // out of memory: the runtime's reading
    args.clear();
    for (int i = 0; i < n; ++i) args.push_back(Narrow(wide[i], CP_UTF8));
    LocalFree(wide);
    return args;
}

void KeepSystemCodePageNames() { codePageNames = true; }

void WriteText(std::FILE* out, const std::string& text) {
    if (!codePageNames && IsConsole(out))
        WriteToConsole(out, text);
    else
        (void)std::fwrite(text.data(), 1, text.size(), out);
}

void WaitForKeyIfConsoleIsOwn() {
    DWORD processes[2];
    const DWORD count = GetConsoleProcessList(processes, 2);
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool inputIsConsole = in != nullptr && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode) != 0;
    if (!ShouldWaitForKey(count, inputIsConsole)) return;
    WriteText(stdout, "Press any key to close.\n");
    (void)std::fflush(stdout);
    (void)FlushConsoleInputBuffer(in);  // keys pressed during the run do not count
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(in, &record, 1, &read) && read == 1)
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
}

namespace {

// _ismbblead and _ismbbtrail follow the runtime's current multibyte code
// page.  Names are stepped this way rather than with _mbsrchr and _mbsstr:
// those let a lead byte take any next byte, and some runtimes' _mbsstr
// matches at trail bytes.
size_t RuntimeCharLength(const char* s) {
    return _ismbblead(static_cast<unsigned char>(s[0])) && _ismbbtrail(static_cast<unsigned char>(s[1])) ? 2 : 1;
}

}  // namespace

bool DecodesNames(bool keepRaw) { return !keepRaw; }

// Raw names (-r) are searched as the ANSI functions will read them.
CharLengthFunction SystemCharLength() { return RuntimeCharLength; }

}  // namespace plat
