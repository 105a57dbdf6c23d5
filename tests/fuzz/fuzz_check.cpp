#include "fuzz_check.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "unpack/unpack.h"

namespace fs = std::filesystem;

namespace fuzzcheck {
namespace {

// The budgets of a checked run.  The tool's own are far larger; a run that
// spends these takes a fraction of a second, so an input that runs into the
// fuzzer's timeout is a finding of its own.
constexpr uint64_t kCheckNestedArchives = 256;
constexpr uint64_t kCheckEntries = 20000;

// One work folder per process (parallel jobs share the folder above it),
// holding the archive and the destination folder and nothing else.
struct Workspace {
    std::string root;
    std::string archive;
    std::string dest;
};

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check: %s\n", what.c_str());
    std::abort();
}

// A memory file system keeps the many small files of a run off the disk.
std::string WorkParent() {
    const char* tmp = std::getenv("RAVELKIT_FUZZ_TMP");
    if (tmp != nullptr && *tmp != '\0') return tmp;
    struct stat st;
    if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
    std::error_code ec;
    fs::path t = fs::temp_directory_path(ec);
    return ec ? std::string("/tmp") : t.string();
}

void RemoveWorkspace();

Workspace& Work() {
    static Workspace* w = [] {
        std::string pattern = WorkParent() + "/ravelkit-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a folder in " + WorkParent());
        auto* made = new Workspace;
        made->root = pattern;
        made->archive = made->root + "/fuzz.dat";
        made->dest = made->root + "/out";
        std::atexit(RemoveWorkspace);
        return made;
    }();
    return *w;
}

void RemoveWorkspace() {
    std::error_code ec;
    fs::remove_all(Work().root, ec);
}

int LowestFreeFd() {
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) close(fd);
    return fd;
}

void WriteArchive(const std::string& path, const uint8_t* data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("cannot write " + path);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) Fail("cannot write " + path);
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0) Fail("cannot write " + path);
}

// The archive itself is never written to, renamed or removed.
void CheckArchiveUnchanged(const std::string& path, const uint8_t* data, size_t size) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail("the archive was removed");
    std::vector<uint8_t> now(size + 1);
    size_t done = 0;
    ssize_t n;
    while ((n = read(fd, now.data() + done, now.size() - done)) > 0) {
        done += static_cast<size_t>(n);
        if (done == now.size()) break;
    }
    close(fd);
    if (n < 0 || done != size || (size > 0 && std::memcmp(now.data(), data, size) != 0))
        Fail("the archive was changed");
}

// Nothing but the archive and the destination is in the work folder.
void CheckNothingOutside(const Workspace& w) {
    DIR* d = opendir(w.root.c_str());
    if (d == nullptr) Fail("cannot list " + w.root);
    while (const dirent* e = readdir(d)) {
        const char* name = e->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (std::strcmp(name, "fuzz.dat") != 0 && std::strcmp(name, "out") != 0) {
            closedir(d);
            Fail(std::string("written outside the destination: ") + w.root + "/" + name);
        }
    }
    closedir(d);
}

// Runs the tool's walk over the archive with the given options (packing
// into packed, when given) and returns its listing, and in *failures the
// failures it counted.
std::string Listed(const Workspace& w, const RunOptions& run, uint64_t* failures = nullptr,
                   const std::string& packed = "") {
    char* text = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&text, &length);
    if (out == nullptr) Fail("cannot open a memory stream");
    {
        Listing listing(out);
        if (run.mode == RunMode::kPack)
            PackArchive(w.archive, w.dest + "/", packed, run, listing);
        else
            UnpackArchive(w.archive, w.dest + "/", run, listing);
        if (failures != nullptr) *failures = listing.Failures();
    }
    std::fclose(out);
    std::string listed(text, length);
    std::free(text);
    return listed;
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
    std::vector<uint8_t> bytes;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    uint8_t piece[65536];
    ssize_t n;
    while ((n = read(fd, piece, sizeof piece)) > 0) bytes.insert(bytes.end(), piece, piece + n);
    close(fd);
    return bytes;
}

// A tree unpacked without a failure packs back, untouched, into the archive
// it came from, byte for byte.
void CheckPackedBack(const Workspace& w, RunOptions run, const uint8_t* data, size_t size) {
    const std::string packed = w.root + "/packed.dat";
    run.mode = RunMode::kPack;
    uint64_t failures = 0;
    const std::string listed = Listed(w, run, &failures, packed);
    if (failures != 0) Fail("packing the unpacked tree failed:\n" + listed);
    const std::vector<uint8_t> back = ReadWhole(packed);
    if (back.size() != size || (size > 0 && std::memcmp(back.data(), data, size) != 0))
        Fail("packing the unpacked tree gave other bytes:\n" + listed);
    if (unlink(packed.c_str()) != 0) Fail("cannot remove " + packed);
}

// Testing prints what unpacking prints, but for the failures that only
// creating and writing files can meet.
bool CreationFailed(const std::string& listing) {
    return listing.find("error : cannot create ") != std::string::npos ||
           listing.find("error : cannot write ") != std::string::npos;
}

}  // namespace

void CheckInput(const uint8_t* data, size_t size) {
    Workspace& w = Work();
    WriteArchive(w.archive, data, size);

    const int freeFdBefore = LowestFreeFd();
    // Both name forms: decoded names (the default) and raw ones (-r), taken
    // from a header byte the format ignores.
    RunOptions run;
    run.names = HostNameRules(size > 8 && (data[8] & 1) != 0);
    // -g, taken from another ignored header byte: the GIM decoder and the
    // PNG writer are fuzzed through the tool.
    run.convertGim = size > 9 && (data[9] & 1) != 0;
    run.limits.nestedArchives = kCheckNestedArchives;
    run.limits.entries = kCheckEntries;
    run.mode = RunMode::kTest;
    const std::string tested = Listed(w, run);
    if (fs::exists(w.dest)) Fail("testing created " + w.dest);
    run.mode = RunMode::kUnpack;
    uint64_t failures = 0;
    const std::string unpacked = Listed(w, run, &failures);
    if (tested != unpacked && !CreationFailed(unpacked))
        Fail("testing printed\n" + tested + "where unpacking printed\n" + unpacked);
    if (failures == 0) CheckPackedBack(w, run, data, size);
    if (LowestFreeFd() != freeFdBefore) Fail("a file handle was left open");

    CheckNothingOutside(w);
    CheckArchiveUnchanged(w.archive, data, size);
    std::error_code ec;
    fs::remove_all(w.dest, ec);
    if (ec) Fail("cannot remove " + w.dest + ": " + ec.message());
}

}  // namespace fuzzcheck
