// Whole-program tests: output that cannot be completed.  A file whose close
// fails, or that an interrupt cuts short, is removed rather than left
// looking complete; a listing that cannot be written fails the run.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "cli_fixture.h"

namespace clitest {
namespace {

class OutputFailures : public CliTest {};


// A gzip member of `mib` MiB of zero bytes, built from one compressed
// mebibyte repeated: cheap to make however large it expands.
Bytes ZerosGzip(size_t mib) {
    const Bytes block = Deflate(Bytes(1 << 20, 0), false);
    Bytes g = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    for (size_t i = 0; i < mib; ++i) g.insert(g.end(), block.begin(), block.end());
    const uint8_t finalStoredBlock[] = {0x01, 0x00, 0x00, 0xFF, 0xFF};
    g.insert(g.end(), finalStoredBlock, finalStoredBlock + sizeof finalStoredBlock);
    g.resize(g.size() + 8, 0);  // a trailer never filled in: nothing to check
    return g;
}

// Close reporting a failure (a network file system, a full quota) means
// data may be lost: the file is reported and removed, for stored and gzip
// entries alike.
TEST_F(OutputFailures, FailedCloseIsAWriteFailure) {
#ifndef RAVELKIT_FAIL_CLOSE_LIB
    GTEST_SKIP() << "needs the POSIX preload library";
#else
    if (WindowsTool()) GTEST_SKIP() << "a POSIX preload library";
    const Bytes gz = Gzip(ToBytes("packed"));
    for (const Entry& lost : {Named("lost.bin", "data"), Named("lost.bin.gz", gz)}) {
        SCOPED_TRACE(lost.name);
        RemoveTree(Path("out"));
        Archive a;
        a.entries = {Named("keep.txt", "k"), lost, Named("after.txt", "a")};
        a.Write(Path("x.dat"));
        ToolOptions options;
        options.env = {std::string("LD_PRELOAD=") + RAVELKIT_FAIL_CLOSE_LIB, "RAVELKIT_FAIL_CLOSE=/lost.bin",
                       "ASAN_OPTIONS=verify_asan_link_order=0"};
        RunResult r = RunToolWith({Path("x.dat"), Path("out")}, options);
        EXPECT_EQ(r.status, 1);
        const std::string sizes = lost.name == "lost.bin" ? "4 bytes" : N(gz.size()) + " bytes";
        EXPECT_EQ(r.out, "keep.txt 1 bytes\n" + lost.name + " " + sizes + "\nerror : cannot write " +
                             Path("out/lost.bin") + "\nafter.txt 1 bytes\n");
        EXPECT_EQ(Out(), (TreeMap{{"keep.txt", "k"}, {"after.txt", "a"}}));
    }
#endif
}

// A listing that cannot be written fails the run, with one line on standard
// error; the files are unpacked all the same.
TEST_F(OutputFailures, UnwritableListingFailsTheRun) {
    if (WindowsTool()) GTEST_SKIP() << "/dev/full";
    Archive a;
    a.entries = {Named("a.txt", "A")};
    a.Write(Path("x.dat"));
    ToolOptions options;
    options.stdoutFile = "/dev/full";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{Path("x.dat"), Path("out")}, std::vector<std::string>{}}) {
        RunResult r = RunToolWith(args, options);
        EXPECT_EQ(r.status, 1) << args.size();
        EXPECT_EQ(r.err, "error : cannot write standard output\n");
    }
    EXPECT_EQ(Out(), (TreeMap{{"a.txt", "A"}}));
}

// Interrupted while writing, the tool removes the unfinished file and ends
// as the signal would; complete files stay.  An interrupt ignored from the
// start (nohup, a script's background job) stays ignored.
TEST_F(OutputFailures, InterruptRemovesTheUnfinishedFile) {
    if (WindowsTool()) GTEST_SKIP() << "POSIX signals";
    const size_t bigMib = 1024;
    Archive a;
    a.entries = {Named("first.txt", "1"), Named("big.bin.gz", ZerosGzip(bigMib))};
    a.Write(Path("x.dat"));
    const std::string big = Path("out/big.bin");
    struct Case {
        int sig;
        bool ignored;
    };
    for (const Case& c : {Case{SIGINT, false}, Case{SIGTERM, false}, Case{SIGHUP, false}}) {
        SCOPED_TRACE(c.sig);
        RemoveTree(Path("out"));
        ToolOptions options;
        // The signal comes once the big file has its first bytes.
        options.whileRunning = [&](int pid) {
            struct stat st;
            while (stat(big.c_str(), &st) != 0 || st.st_size == 0) {
                if (kill(pid, 0) != 0) return;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            kill(pid, c.sig);
        };
        RunResult r = RunToolWith({Path("x.dat"), Path("out")}, options);
        EXPECT_EQ(r.signal, c.sig);
        EXPECT_EQ(Out(), (TreeMap{{"first.txt", "1"}}));
    }

    // Ignored: the file is finished.
    RemoveTree(Path("out"));
    a.entries[1] = Named("big.bin.gz", ZerosGzip(32));
    a.Write(Path("x.dat"));
    ToolOptions options;
    options.ignoredSignals = {SIGINT};
    options.whileRunning = [&](int pid) {
        struct stat st;
        while (stat(big.c_str(), &st) != 0) {
            if (kill(pid, 0) != 0) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kill(pid, SIGINT);
    };
    RunResult r = RunToolWith({Path("x.dat"), Path("out")}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(std::filesystem::file_size(big), 32u << 20);
}

}  // namespace
}  // namespace clitest
