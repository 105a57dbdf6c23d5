// libFuzzer harness of the extractor: every input is written to an archive
// file and unpacked, recursively, into a fresh destination folder.  Besides
// the sanitizers' findings it stops on a file written outside the
// destination, on a change to the archive, and on a file handle left open.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "extract/extract.h"

namespace fs = std::filesystem;

namespace {

// One work folder per process (parallel jobs share TMPDIR), holding the
// archive and the destination folder and nothing else.
struct Workspace {
    fs::path root;
    std::string archive;
    std::string dest;
};

int LowestFreeFd() {
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) close(fd);
    return fd;
}

void RemoveWorkspace();

Workspace& Work() {
    static Workspace* w = [] {
        // The listing lines are of no interest; printing them to /dev/null
        // keeps each run cheap.
        if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
        std::string pattern = (fs::temp_directory_path() / "ravelkit-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        auto* made = new Workspace;
        made->root = pattern;
        made->archive = (made->root / "fuzz.dat").string();
        made->dest = (made->root / "out").string();
        std::atexit(RemoveWorkspace);
        return made;
    }();
    return *w;
}

void RemoveWorkspace() {
    std::error_code ec;
    fs::remove_all(Work().root, ec);
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "extract_fuzzer: %s\n", what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Workspace& w = Work();
    FILE* f = std::fopen(w.archive.c_str(), "wb");
    if (f == nullptr) Fail("cannot write " + w.archive);
    if (size > 0 && std::fwrite(data, 1, size, f) != size) Fail("cannot write " + w.archive);
    if (std::fclose(f) != 0) Fail("cannot write " + w.archive);

    const int freeFdBefore = LowestFreeFd();
    // Both name forms: decoded names (the default) and raw ones (-r), taken
    // from a header byte the format ignores.
    RunOptions run;
    run.names = plat::ChooseNameForm(size > 8 && (data[8] & 1) != 0);
    (void)ExtractDat(w.archive, w.dest + "/", "", run);
    std::fflush(stdout);
    // Every handle the extractor opened is closed again.
    if (LowestFreeFd() != freeFdBefore) Fail("a file handle was left open");

    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(w.root, ec)) {
        const std::string name = e.path().filename().string();
        if (name != "fuzz.dat" && name != "out") Fail("written outside the destination: " + e.path().string());
    }
    if (ec) Fail("cannot list " + w.root.string() + ": " + ec.message());
    // The archive itself is never written to.
    f = std::fopen(w.archive.c_str(), "rb");
    if (f == nullptr) Fail("the archive was removed");
    for (size_t k = 0; k <= size; ++k) {
        int c = std::fgetc(f);
        if (k == size ? c != EOF : c != data[k]) Fail("the archive was changed");
    }
    std::fclose(f);
    fs::remove_all(w.dest, ec);
    if (ec) Fail("cannot remove " + w.dest + ": " + ec.message());
    return 0;
}
