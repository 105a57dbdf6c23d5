// Whole-program tests: entry names cannot leave the destination, output files
// cannot overwrite the archive being read, and failures leave no files.
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "cli_fixture.h"

namespace clitest {
namespace {

class Safety : public CliTest {};

std::string HostSeparators(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

TEST_F(Safety, UnsafeNamesCreateNothing) {
    for (const std::string name : {"../x", "a/../../x", "..\\x", "a\\..\\..\\x", "x/../y", "..", "a/..",
                                   "/abs", "\\abs", "C:x", "c:x"}) {
        Archive a;
        a.entries.push_back(Named(name, "1"));
        a.entries.push_back(Named("ok.txt", "2"));
        a.Write(Path("x.dat"));
        RunResult r = RunTool({ToolPath(Path("x.dat")), ToolPath(Path("out/sub"))});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.out, Lines(name + " 1 bytes\nerror : unsafe path " +
                               Printed(Path("out/sub/" + HostSeparators(name))) + "\nok.txt 1 bytes\n"));
        TreeMap tree = Tree(dir_);
        tree.erase("x.dat");
        EXPECT_EQ(tree, (TreeMap{{"out/", ""}, {"out/sub/", ""}, {"out/sub/ok.txt", "2"}})) << name;
        RemoveTree(Path("out"));
    }
}

TEST_F(Safety, DotsInsideNamesAreFine) {
    Archive a;
    for (const char* n : {"...", "a..b", "..c", "d..", ".e", "f/.../g"}) a.entries.push_back(Named(n, n));
    RunResult r = Unpack(a);
    if (WindowsTool()) {
        // There a name ending in a dot is refused: "..." would end up as
        // "..", "d.." as "d".
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, Lines("... 3 bytes\nerror : unsafe path " + Printed(Path("out/...")) +
                               "\na..b 4 bytes\n..c 3 bytes\nd.. 3 bytes\nerror : unsafe path " + Printed(Path("out/d..")) +
                               "\n.e 2 bytes\nf/.../g 7 bytes\nerror : unsafe path " + Printed(Path("out/f/.../g")) + "\n"));
        EXPECT_EQ(Out(), (TreeMap{{"a..b", "a..b"}, {"..c", "..c"}, {".e", ".e"}}));
        return;
    }
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Lines("... 3 bytes\na..b 4 bytes\n..c 3 bytes\nd.. 3 bytes\n.e 2 bytes\nf/.../g 7 bytes\n"));
    EXPECT_EQ(Out(), (TreeMap{{"...", "..."}, {"a..b", "a..b"}, {"..c", "..c"}, {"d..", "d.."}, {".e", ".e"},
                              {"f/", ""}, {"f/.../", ""}, {"f/.../g", "f/.../g"}}));
}

TEST_F(Safety, ArchiveBeingReadIsNeverOverwritten) {
    Archive a;
    a.entries.push_back(Named("x.dat", "new"));
    a.entries.push_back(Named("ok.txt", "2"));
    a.Write(Path("x.dat"));
    const Bytes before = ReadFile(Path("x.dat"));
    RunResult r = RunTool({ToolPath(Path("x.dat")), ToolPath(dir_)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("x.dat 3 bytes\nerror : cannot create " + Dat() + "\nok.txt 1 bytes\n"));
    EXPECT_EQ(ReadFile(Path("x.dat")), before);
    EXPECT_EQ(ReadFile(Path("ok.txt")), ToBytes("2"));
}

// The top archive is still open while a nested one is unpacked.
TEST_F(Safety, NestedEntryCannotOverwriteTheTopArchive) {
    Archive inner;
    inner.entries.push_back(Named("top.dat", "zz"));
    const Bytes innerBytes = inner.Build();
    Archive top;
    top.entries.push_back(Named("in.dat", innerBytes));  // 45 bytes
    std::filesystem::create_directory(Path("in"));
    top.Write(Path("in/top.dat"));
    const Bytes before = ReadFile(Path("in/top.dat"));
    RunResult r = RunTool({ToolPath(Path("in/top.dat")), ToolPath(dir_)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("in.dat 45 bytes\nin/top.dat 2 bytes\nerror : cannot create " +
                           Printed(Path("in/top.dat")) + "\n"));
    EXPECT_EQ(ReadFile(Path("in/top.dat")), before);
    EXPECT_EQ(ReadFile(Path("in.dat")), innerBytes);  // its entry failed: kept
}

TEST_F(Safety, DestinationThatIsAFile) {
    WriteFile(Path("file"), ToBytes("keep"));
    Archive a;
    a.entries.push_back(Named("a.bin", "A"));
    a.Write(Path("x.dat"));
    RunResult r = RunTool({ToolPath(Path("x.dat")), ToolPath(Path("file"))});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("a.bin 1 bytes\nerror : cannot create " + Printed(Path("file/a.bin")) + "\n"));
    EXPECT_EQ(ReadFile(Path("file")), ToBytes("keep"));
}

// Files are created 0666 and folders 0777, less the umask.
TEST_F(Safety, ModesFollowTheUmask) {
    if (WindowsTool()) GTEST_SKIP() << "POSIX modes";
    Archive a;
    a.entries.push_back(Named("d/f.txt", "F"));
    a.Write(Path("x.dat"));
    struct Case { mode_t mask, file, folder; };
    for (const Case& c : {Case{022, 0644, 0755}, Case{027, 0640, 0750}}) {
        mode_t old = umask(c.mask);
        RunResult r = RunTool({ToolPath(Path("x.dat")), ToolPath(Path("out"))});
        umask(old);
        EXPECT_EQ(r.status, 0);
        struct stat st;
        ASSERT_EQ(stat(Path("out/d/f.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.file);
        ASSERT_EQ(stat(Path("out/d").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.folder);
        RemoveTree(Path("out"));
    }
}

// A file size limit makes the copy's writes fail part way; the partial file
// is removed and the walk goes on.
TEST_F(Safety, WriteFailureRemovesThePartialFile) {
    if (WindowsTool()) GTEST_SKIP() << "POSIX file size limit";
    Archive a;
    a.entries.push_back(Named("big.bin", Noise(10000, 3)));
    a.entries.push_back(Named("after.txt", "ok"));
    a.Write(Path("x.dat"));
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit low = old;
    low.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // inherited: writes fail with EFBIG
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    RunResult r = RunTool({ToolPath(Path("x.dat")), ToolPath(Path("out"))});
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("big.bin 10000 bytes\nerror : cannot write " + Printed(Path("out/big.bin")) +
                           "\nafter.txt 2 bytes\n"));
    EXPECT_EQ(Out(), (TreeMap{{"after.txt", "ok"}}));
}

}  // namespace
}  // namespace clitest
