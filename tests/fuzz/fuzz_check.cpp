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

#include "listing/entry_lines.h"
#include "listing/pack_lines.h"
#include "pack/packer.h"
#include "test/tester.h"
#include "unpack/unpacker.h"

namespace fs = std::filesystem;

namespace fuzzcheck {
namespace {

// The budgets of a checked run.  The tool's own are far larger; a run that
// spends these takes a fraction of a second, so an input that runs into the
// fuzzer's timeout is a finding of its own.
constexpr uint64_t kCheckNestedArchives = 256;
constexpr uint64_t kCheckEntries = 20000;
constexpr uint64_t kCheckOutputPerArchiveByte = 64;
constexpr uint64_t kCheckOutputAllowance = 1 << 20;

// What a planted link's target holds, so that a write through it shows.
constexpr char kVictimText[] = "not to be touched";

// One work folder per process (parallel jobs share the folder above it),
// holding the archive and the destination folder and nothing else; and a
// folder beside it that links planted in the destination lead to, holding a
// file (victim) and an empty folder (elsewhere).
struct Workspace {
    std::string root;
    std::string archive;
    std::string dest;
    std::string outside;
    std::string victim;
    std::string elsewhere;
};

// A link planted in the destination before unpacking: where, and to what.
struct PlantedLink {
    const char* name;    // in the destination
    const char* target;  // in the outside folder
    bool hard;
};

// The links an input's header byte chooses from (its bits 1-3; 0 plants
// none).  The names are those that entries reach without names of their
// own: the first unnamed entry's file, the folder its nested archive unpacks
// into, its GIM name; and a short one names often pass through.
constexpr PlantedLink kPlantedLinks[] = {
    {"fuzz_01.dat", "victim", false}, {"fuzz_01", "elsewhere", false}, {"a", "elsewhere", false},
    {"a", "victim", false},           {"fuzz_01.gim", "victim", false}, {"fuzz_01.dat", "victim", true},
    {"fuzz_02.dat", "none", false},
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

// Writes data as the whole of the file at path.
void WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
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

// A fresh folder under parent.
std::string MakeFolder(const std::string& parent, const char* name) {
    std::string pattern = parent + "/" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a folder in " + parent);
    return pattern;
}

Workspace& Work() {
    static Workspace* w = [] {
        auto* made = new Workspace;
        made->root = MakeFolder(WorkParent(), "ravelkit-fuzz");
        made->archive = made->root + "/fuzz.dat";
        made->dest = made->root + "/out";
        made->outside = MakeFolder(WorkParent(), "ravelkit-fuzz-outside");
        made->victim = made->outside + "/victim";
        made->elsewhere = made->outside + "/elsewhere";
        WriteWhole(made->victim, reinterpret_cast<const uint8_t*>(kVictimText), sizeof kVictimText - 1);
        if (mkdir(made->elsewhere.c_str(), 0777) != 0) Fail("cannot make " + made->elsewhere);
        std::atexit(RemoveWorkspace);
        return made;
    }();
    return *w;
}

void RemoveWorkspace() {
    std::error_code ec;
    fs::remove_all(Work().root, ec);
    fs::remove_all(Work().outside, ec);
}

int LowestFreeFd() {
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) close(fd);
    return fd;
}

// True when the file at path holds exactly data.
bool Holds(const std::string& path, const uint8_t* data, size_t size) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::vector<uint8_t> now(size + 1);
    size_t done = 0;
    ssize_t n;
    while ((n = read(fd, now.data() + done, now.size() - done)) > 0) {
        done += static_cast<size_t>(n);
        if (done == now.size()) break;
    }
    close(fd);
    return n >= 0 && done == size && (size == 0 || std::memcmp(now.data(), data, size) == 0);
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

// Makes the destination with the link chosen by bits 1-3 of `choice` in it,
// if any.  Returns that link, or null (the destination is then left to the
// tool to make).
const PlantedLink* PlantLink(const Workspace& w, uint8_t choice) {
    const size_t pick = (choice >> 1) & 7;
    if (pick == 0 || pick > sizeof kPlantedLinks / sizeof kPlantedLinks[0]) return nullptr;
    if (mkdir(w.dest.c_str(), 0777) != 0) Fail("cannot make " + w.dest);
    const PlantedLink* planted = &kPlantedLinks[pick - 1];
    const std::string at = w.dest + "/" + planted->name, target = w.outside + "/" + planted->target;
    if ((planted->hard ? link(target.c_str(), at.c_str()) : symlink(target.c_str(), at.c_str())) != 0)
        Fail("cannot plant a link at " + at);
    return planted;
}

// Nothing outside the work folder changed: the victim holds its text, the
// other folder is empty, nothing was made where the dangling link leads, and
// a symbolic link planted in the destination is still there.
void CheckOutsideUnchanged(const Workspace& w, const PlantedLink* planted) {
    if (!Holds(w.victim, reinterpret_cast<const uint8_t*>(kVictimText), sizeof kVictimText - 1))
        Fail("written through a link to " + w.victim);
    std::error_code ec;
    if (!fs::is_empty(w.elsewhere, ec) || ec) Fail("written through a link into " + w.elsewhere);
    if (fs::exists(fs::symlink_status(w.outside + "/none"))) Fail("created through a dangling link");
    if (planted != nullptr && !planted->hard && !fs::is_symlink(w.dest + "/" + planted->name, ec))
        Fail(std::string("the planted link was replaced: ") + planted->name);
}

// The bytes of every file in the destination: never more than the run's
// output budget, which counts every byte written.
uint64_t BytesIn(const std::string& dest) {
    uint64_t total = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dest, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && !it->is_symlink(ec)) total += it->file_size(ec);
    return total;
}

// Runs one of the tool's modes (run, given the listing's output, returns
// the failures it counted) and returns its listing, and in *failures the
// failures.
template <typename Run>
std::string Listed(Run run, uint64_t* failures = nullptr) {
    char* text = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&text, &length);
    if (out == nullptr) Fail("cannot open a memory stream");
    {
        ListingOutput output(out);
        const uint64_t counted = run(output);
        if (failures != nullptr) *failures = counted;
    }
    std::fclose(out);
    std::string listed(text, length);
    std::free(text);
    return listed;
}

// The listing of testing or unpacking (unpack) the archive.
std::string Extracted(const Workspace& w, const RunOptions& options, bool unpack, uint64_t* failures = nullptr) {
    return Listed(
        [&](ListingOutput& out) {
            ExtractionLines lines(out, ListingStyle::kText);
            RunState state(&lines);
            if (unpack)
                Unpack(w.archive, options, state, &lines);
            else
                Test(w.archive, options, state, &lines);
            return state.Failures();
        },
        failures);
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
void CheckPackedBack(const Workspace& w, const RunOptions& options, const uint8_t* data, size_t size) {
    const std::string packed = w.root + "/packed.dat";
    uint64_t failures = 0;
    const std::string listed = Listed(
        [&](ListingOutput& out) {
            PackLines lines(out, ListingStyle::kText);
            RunState state(&lines);
            Pack(w.archive, packed, options, state, &lines);
            return state.Failures();
        },
        &failures);
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
    WriteWhole(w.archive, data, size);
    // A header byte the format ignores: bit 0 chooses the name form, bits
    // 1-3 a link to plant in the destination before unpacking.
    const uint8_t choice = size > 8 ? data[8] : 0;

    const int freeFdBefore = LowestFreeFd();
    // Both name forms: decoded names (the default) and raw ones (-r).
    RunOptions run;
    run.destDir = w.dest + "/";
    run.names = HostNameRules((choice & 1) != 0);
    // -g, taken from another ignored header byte: the GIM decoder and the
    // PNG writer are fuzzed through the tool.
    run.convertGim = size > 9 && (data[9] & 1) != 0;
    run.limits.nestedArchives = kCheckNestedArchives;
    run.limits.entries = kCheckEntries;
    run.limits.outputPerArchiveByte = kCheckOutputPerArchiveByte;
    run.limits.outputAllowance = kCheckOutputAllowance;
    const std::string tested = Extracted(w, run, false);
    if (fs::exists(w.dest)) Fail("testing created " + w.dest);
    const PlantedLink* planted = PlantLink(w, choice);
    uint64_t failures = 0;
    const std::string unpacked = Extracted(w, run, true, &failures);
    if (tested != unpacked && !CreationFailed(unpacked))
        Fail("testing printed\n" + tested + "where unpacking printed\n" + unpacked);
    // A symbolic link in the tree can keep a GIM image under its old name
    // without a failure (its new name is the link), where packing looks for
    // the new name.
    if (failures == 0 && (planted == nullptr || planted->hard)) CheckPackedBack(w, run, data, size);
    if (LowestFreeFd() != freeFdBefore) Fail("a file handle was left open");

    CheckNothingOutside(w);
    if (!Holds(w.archive, data, size)) Fail("the archive was changed or removed");
    CheckOutsideUnchanged(w, planted);
    if (BytesIn(w.dest) > kCheckOutputPerArchiveByte * size + kCheckOutputAllowance) Fail("output past the budget");
    std::error_code ec;
    fs::remove_all(w.dest, ec);
    if (ec) Fail("cannot remove " + w.dest + ": " + ec.message());
}

}  // namespace fuzzcheck
