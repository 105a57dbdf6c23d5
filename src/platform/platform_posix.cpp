// POSIX side of the platform layer.
//
// POSIX has no sharing modes, so "deny writing to others" is kept here by
// hand: every file opened for reading records its identity (device, inode)
// until it is closed, and removing or replacing a file with one of those
// identities is refused.  The records belong to this one run of the tool.
//
// The output tree is worked on through folder descriptors: every name is a
// single component looked up in the folder before it with O_NOFOLLOW (or
// AT_SYMLINK_NOFOLLOW), so a symbolic link below the destination is never
// followed, whatever is swapped in meanwhile.
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace plat {
namespace {

struct FileId {
    dev_t dev;
    ino_t ino;
    bool operator==(const FileId& o) const { return dev == o.dev && ino == o.ino; }
};

struct OpenReader {
    int fd;
    FileId id;
};

std::vector<OpenReader>& OpenReaders() {
    static std::vector<OpenReader> readers;
    return readers;
}

bool IsOpenForReading(const FileId& id) {
    const auto& r = OpenReaders();
    return std::any_of(r.begin(), r.end(), [&](const OpenReader& o) { return o.id == id; });
}

FileId IdOf(const struct stat& st) { return FileId{st.st_dev, st.st_ino}; }

// Runs a system call again for as long as a signal interrupts it: the one
// place that retries on EINTR.  Returns the call's last result.
template <typename Call>
auto RetryOnInterrupt(Call call) -> decltype(call()) {
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR) return result;
    }
}

// Gives the file `from` in the folder dirFd the name `to` there, replacing
// whatever file has that name, unless that file is open for reading
// through OpenForReading.  rename(2) replaces the target atomically, and
// does nothing when both names are links to one file, so the source is
// never lost.  Returns 0, or -1 when the file keeps its old name.
int RenameReplacing(int dirFd, const std::string& from, const std::string& to) {
    struct stat st;
    if (fstatat(dirFd, to.c_str(), &st, 0) == 0 && IsOpenForReading(IdOf(st))) return -1;
    return renameat(dirFd, from.c_str(), dirFd, to.c_str()) == 0 ? 0 : -1;
}

// The output file an interrupt removes.  The signal handler reads this, so
// it is plain memory set aside before any signal can come: the file's folder
// descriptor and its name, copied into a fixed buffer (no name the system
// takes is longer), and the state says whether the file named there is ours
// to remove.  While a file is being created a signal is only noted; it is
// acted on once the creation has succeeded or failed, so that the handler
// never removes a file it did not create (the archive being read, say).
enum OutputState : int { kNoOutput, kOpeningOutput, kWritingOutput };

struct InterruptState {
    volatile sig_atomic_t state;
    volatile sig_atomic_t pendingSignal;
    int fd;
    int folderFd;
    char name[PATH_MAX];
};

InterruptState interrupt;  // zero: no output file

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Removes the output file being written, if any, then ends the process by
// sig with its default action.  Async-signal-safe.
[[noreturn]] void EndByInterrupt(int sig) {
    if (interrupt.state == kWritingOutput) (void)unlinkat(interrupt.folderFd, interrupt.name, 0);
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    (void)sigaction(sig, &dfl, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    (void)sigprocmask(SIG_UNBLOCK, &only, nullptr);
    (void)raise(sig);
    _exit(128 + sig);  // only if the default action did not end the process
}

extern "C" void OnInterrupt(int sig) {
    if (interrupt.state == kOpeningOutput) {
        interrupt.pendingSignal = sig;
        return;
    }
    EndByInterrupt(sig);
}

// Marks `name` in the folder folderFd (AT_FDCWD: name is a path) as the
// file being created for output.
void BeginOutput(int folderFd, const std::string& name) {
    interrupt.state = kNoOutput;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (name.size() >= sizeof interrupt.name) return;  // the system refuses such a name anyway
    std::memcpy(interrupt.name, name.c_str(), name.size() + 1);
    interrupt.folderFd = folderFd;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    interrupt.state = kOpeningOutput;
}

// Ends the opening step: fd is the new output file, or -1 when the open failed.
// A signal that came meanwhile is acted on now.
void EndOutputOpening(int fd) {
    if (interrupt.state != kOpeningOutput) return;
    interrupt.fd = fd;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    interrupt.state = fd >= 0 ? kWritingOutput : kNoOutput;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (interrupt.pendingSignal != 0) EndByInterrupt(interrupt.pendingSignal);
}

// The output file is no longer ours to remove on an interrupt.
void EndOutput() {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    interrupt.state = kNoOutput;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

PathKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return PathKind::kFile;
    if (S_ISDIR(mode)) return PathKind::kFolder;
    if (S_ISLNK(mode)) return PathKind::kLink;
    return PathKind::kOther;
}

// Folders are held to look names up in, never read: where the system has a
// descriptor for just that, it needs no read permission on the folder.
#if defined(O_PATH)
constexpr int kFolderAccess = O_PATH;
#elif defined(O_SEARCH)
constexpr int kFolderAccess = O_SEARCH;
#else
constexpr int kFolderAccess = O_RDONLY;
#endif

// Opens the folder `name` in the folder dirFd, refusing a link.  Returns a
// descriptor, or -1 with errno set.
int OpenFolderAt(int dirFd, const std::string& name) {
    return RetryOnInterrupt([&] { return openat(dirFd, name.c_str(), kFolderAccess | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
}

// Creates `name` in dirFd, new and empty; O_EXCL fails on anything already
// there, a link included, without following it.  Returns a descriptor, or
// -1 with errno set (EEXIST: something is there).
int CreateNewAt(int dirFd, const std::string& name) {
    return RetryOnInterrupt([&] { return openat(dirFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666); });
}

// Removes what is at `name` in dirFd so that a new file can take its place:
// a link, a folder or a file open for reading stays.  Returns 0, or -1 with
// errno set.
int RemoveToReplace(int dirFd, const std::string& name) {
    struct stat st;
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    int err = S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) ? EISDIR : IsOpenForReading(IdOf(st)) ? EACCES : 0;
    if (err != 0) {
        errno = err;
        return -1;
    }
    return unlinkat(dirFd, name.c_str(), 0);
}

}  // namespace

namespace {

// Keeps fd, just opened for reading, when it is a regular file: records its
// identity (see above) and sets *length.  Returns fd, or -1 with errno set
// and fd closed (a folder gives EISDIR).
int KeepReader(int fd, int64_t* length) {
    if (fd < 0) return -1;
    struct stat st;
    int err = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : !S_ISREG(st.st_mode) ? EINVAL : 0;
    if (err != 0) {
        close(fd);
        errno = err;
        return -1;
    }
    OpenReaders().push_back(OpenReader{fd, IdOf(st)});
    *length = static_cast<int64_t>(st.st_size);
    return fd;
}

}  // namespace

// O_NONBLOCK below: opening a FIFO would otherwise wait for a writer.  It
// has no effect on reading a regular file, the only kind kept open.
int OpenForReading(const std::string& path, int64_t* length) {
    const int fd = RetryOnInterrupt([&] { return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); });
    return KeepReader(fd, length);
}

int OpenForReadingIn(const Folder& folder, const std::string& name, int64_t* length) {
    const int fd = RetryOnInterrupt([&] { return openat(folder.fd, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW); });
    return KeepReader(fd, length);
}

int OpenTemporary() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
#ifdef O_TMPFILE
    const int anonymous = RetryOnInterrupt([&] { return open(dir.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, 0600); });
    if (anonymous >= 0) return anonymous;
#endif
    // Without O_TMPFILE (or a file system that lacks it): a file made and
    // unlinked at once.
    std::string name = dir + "/ravelkit-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) return -1;
    (void)unlink(name.c_str());
    (void)fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

bool IsOpenForReading(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && IsOpenForReading(IdOf(st));
}

int CloseFile(int fd) {
    // A file being closed is complete: an interrupt from now on leaves it.
    if (interrupt.state == kWritingOutput && interrupt.fd == fd) interrupt.state = kNoOutput;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    auto& r = OpenReaders();
    r.erase(std::remove_if(r.begin(), r.end(), [&](const OpenReader& o) { return o.fd == fd; }), r.end());
    return close(fd) == 0 ? 0 : -1;
}

int64_t ReadFull(int fd, void* buf, size_t len, uint64_t offset) {
    auto* p = static_cast<unsigned char*>(buf);
    size_t done = 0;
    while (done < len) {
        const ssize_t n = RetryOnInterrupt([&] { return pread(fd, p + done, len - done, static_cast<off_t>(offset + done)); });
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int WriteFull(int fd, const void* buf, size_t len, uint64_t offset) {
    const auto* p = static_cast<const unsigned char*>(buf);
    size_t done = 0;
    while (done < len) {
        const ssize_t n = RetryOnInterrupt([&] { return pwrite(fd, p + done, len - done, static_cast<off_t>(offset + done)); });
        if (n <= 0) return -1;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int SetLength(int fd, uint64_t len) {
    return RetryOnInterrupt([&] { return ftruncate(fd, static_cast<off_t>(len)); }) == 0 ? 0 : -1;
}

int CreateNewOutput(const std::string& path) {
    BeginOutput(AT_FDCWD, path);
    const int fd = RetryOnInterrupt([&] { return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
    const int err = errno;
    EndOutputOpening(fd);
    errno = err;
    return fd;
}

int FinishBeside(int fd, const std::string& made, const std::string& path) {
    // An interrupt until the rename removes the file under its made name
    // (after the rename there is none, and the finished file stays).
    int result = close(fd) == 0 ? 0 : -1;
    if (result == 0 && RenameReplacing(AT_FDCWD, made, path) != 0) result = -2;
    if (result != 0) (void)unlink(made.c_str());
    EndOutput();
    return result;
}

int MapReadOnly(int fd, uint64_t offset, uint64_t len, void** view, const uint8_t** start) {
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    const uint64_t below = offset % page;
    if (len == 0 || len + below > SIZE_MAX) return -1;
    void* p = mmap(nullptr, static_cast<size_t>(len + below), PROT_READ, MAP_SHARED, fd, static_cast<off_t>(offset - below));
    if (p == MAP_FAILED) return -1;
    *view = p;
    *start = static_cast<const uint8_t*>(p) + below;
    return 0;
}

void Unmap(void* view, uint64_t offset, uint64_t len) {
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    (void)munmap(view, static_cast<size_t>(len + offset % page));
}

uint64_t CopyRange(int inFd, uint64_t inPos, int outFd, uint64_t outPos, uint64_t len) {
#ifdef __linux__
    // Whatever stops the kernel (EXDEV, ENOSYS, EINVAL, EOPNOTSUPP on file
    // systems or kernels that cannot, an end of file, a real I/O error)
    // hands the rest to the caller's own copy.
    uint64_t done = 0;
    while (done < len) {
        off_t in = static_cast<off_t>(inPos + done);
        off_t out = static_cast<off_t>(outPos + done);
        size_t want = static_cast<size_t>(std::min<uint64_t>(len - done, 1u << 30));
        ssize_t n = RetryOnInterrupt([&] { return copy_file_range(inFd, &in, outFd, &out, want, 0); });
        if (n <= 0) break;
        done += static_cast<uint64_t>(n);
    }
    return done;
#else
    (void)inFd, (void)inPos, (void)outFd, (void)outPos, (void)len;
    return 0;
#endif
}

int MakeDir(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int OpenFolder(const std::string& path, Folder* folder) {
    const int fd = RetryOnInterrupt([&] { return open(path.empty() ? "." : path.c_str(), kFolderAccess | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0) return -1;
    folder->fd = fd;
    return 0;
}

int OpenSubfolder(const Folder& parent, const std::string& name, bool create, Folder* folder) {
    int fd = OpenFolderAt(parent.fd, name);
    if (fd < 0 && errno == ENOENT && create) {
        // mkdirat makes no folder through a link either: a dangling one is
        // "already there".
        if (mkdirat(parent.fd, name.c_str(), 0777) != 0 && errno != EEXIST) return -1;
        fd = OpenFolderAt(parent.fd, name);
    }
    if (fd < 0) return -1;
    folder->fd = fd;
    return 0;
}

PathKind KindOf(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) return KindOfMode(st.st_mode);
    return errno == ENOENT || errno == ENOTDIR ? PathKind::kMissing : PathKind::kOther;
}

int ListFolder(const std::string& path, const std::function<void(const FolderItem&)>& visit) {
    DIR* d = opendir(path.empty() ? "." : path.c_str());
    if (d == nullptr) return -1;
    errno = 0;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        PathKind kind = e->d_type == DT_REG   ? PathKind::kFile
                        : e->d_type == DT_DIR ? PathKind::kFolder
                        : e->d_type == DT_LNK ? PathKind::kLink
                        : e->d_type == DT_UNKNOWN ? KindOf(path + name)
                                                  : PathKind::kOther;
        visit(FolderItem{name, kind});
        errno = 0;
    }
    const int err = errno;
    closedir(d);
    return err == 0 ? 0 : -1;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && IdOf(sa) == IdOf(sb);
}

void RemoveFile(const std::string& path) { (void)remove(path.c_str()); }

void CloseFolder(Folder& folder) {
    if (folder.fd >= 0) (void)close(folder.fd);
    folder.fd = -1;
}

size_t FoldersHeldOpen() {
    // Half the descriptors this process may open, within reason.
    constexpr rlim_t kFewest = 8, kMost = 512;
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return kFewest;
    return static_cast<size_t>(std::max(kFewest, std::min(kMost, limit.rlim_cur / 2)));
}

int CreateFileIn(const Folder& folder, const std::string& name) {
    // Most output files are new: one call creates them.
    BeginOutput(folder.fd, name);
    int fd = CreateNewAt(folder.fd, name);
    if (fd < 0 && errno == EEXIST && RemoveToReplace(folder.fd, name) == 0) fd = CreateNewAt(folder.fd, name);
    int err = errno;
    EndOutputOpening(fd);
    errno = err;
    return fd;
}

int RenameIn(const Folder& folder, const std::string& from, const std::string& to) {
    struct stat st;
    if (fstatat(folder.fd, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) return -1;
    return RenameReplacing(folder.fd, from, to);
}

void RemoveFileIn(const Folder& folder, const std::string& name) {
    struct stat st;
    if (fstatat(folder.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        IsOpenForReading(IdOf(st)))
        return;
    (void)unlinkat(folder.fd, name.c_str(), 0);
}

size_t MaxPathLength() { return PATH_MAX - 1; }

void RemoveOutputOnInterrupt() {
    struct sigaction on;
    std::memset(&on, 0, sizeof on);
    on.sa_handler = OnInterrupt;
    on.sa_flags = SA_RESTART;
    sigemptyset(&on.sa_mask);
    for (int sig : kInterruptSignals) sigaddset(&on.sa_mask, sig);
    for (int sig : kInterruptSignals) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        (void)sigaction(sig, &on, nullptr);
    }
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

void EnterBaseFolder() {}

bool IsOption(const char* arg) { return arg[0] == '-'; }

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void KeepSystemCodePageNames() {}

void WriteText(std::FILE* out, const std::string& text) { (void)std::fwrite(text.data(), 1, text.size(), out); }

void WaitForKeyIfConsoleIsOwn() {}

bool DecodesNames(bool keepRaw) { return !keepRaw; }

CharLengthFunction SystemCharLength() { return nullptr; }

}  // namespace plat
