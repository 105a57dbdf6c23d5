// Whole-program tests: entry names cannot leave the destination, output files
// cannot overwrite the archive being read, and failures leave no files.
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "cli_fixture.h"

namespace clitest {
namespace {

class Safety : public CliTest {};

TEST_F(Safety, UnsafeNamesCreateNothing) {
    for (const std::string name : {"../x", "a/../../x", "..\\x", "a\\..\\..\\x", "x/../y", "..", "a/..",
                                   "/abs", "\\abs", "C:x", "c:x"}) {
        const Bytes archive = Of({Named(name, "1"), Named("ok.txt", "2")}).Build();
        WriteFile(Path("x.dat"), archive);
        // Nothing anywhere in dir but the archive and out/sub/ok.txt.
        EXPECT_TRUE(Gave(Run("", "x.dat", "out/sub"), 1,
                         name + " 1 bytes\nerror : unsafe path " + Printed(Path("out/sub/" + Slashes(name))) +
                             "\nok.txt 1 bytes\n",
                         {{"x.dat", ToString(archive)}, {"out/", ""}, {"out/sub/", ""}, {"out/sub/ok.txt", "2"}}, ""))
            << name;
        RemoveTree(Path("out"));
    }
}

TEST_F(Safety, DotsInsideNamesAreFine) {
    Archive a;
    for (const char* n : {"...", "a..b", "..c", "d..", ".e", "f/.../g"}) a.entries.push_back(Named(n, n));
    if (WindowsTool()) {
        // There a name ending in a dot is refused: "..." would end up as
        // "..", "d.." as "d".
        EXPECT_TRUE(Gave(Unpack(a), 1,
                         "... 3 bytes\nerror : unsafe path " + Printed(Path("out/...")) +
                             "\na..b 4 bytes\n..c 3 bytes\nd.. 3 bytes\nerror : unsafe path " + Printed(Path("out/d..")) +
                             "\n.e 2 bytes\nf/.../g 7 bytes\nerror : unsafe path " + Printed(Path("out/f/.../g")) + "\n",
                         {{"a..b", "a..b"}, {"..c", "..c"}, {".e", ".e"}}));
        return;
    }
    EXPECT_TRUE(Gave(Unpack(a), 0, "... 3 bytes\na..b 4 bytes\n..c 3 bytes\nd.. 3 bytes\n.e 2 bytes\nf/.../g 7 bytes\n",
                     {{"...", "..."}, {"a..b", "a..b"}, {"..c", "..c"}, {"d..", "d.."}, {".e", ".e"}, {"f/", ""},
                      {"f/.../", ""}, {"f/.../g", "f/.../g"}}));
}

TEST_F(Safety, ArchiveBeingReadIsNeverOverwritten) {
    Of({Named("x.dat", "new"), Named("ok.txt", "2")}).Write(Path("x.dat"));
    const Bytes before = ReadFile(Path("x.dat"));
    RunResult r = RunTool({ToolPath(Path("x.dat")), ToolPath(dir_)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("x.dat 3 bytes\nerror : cannot create " + Dat() + "\nok.txt 1 bytes\n"));
    EXPECT_EQ(ReadFile(Path("x.dat")), before);
    EXPECT_EQ(ReadFile(Path("ok.txt")), ToBytes("2"));
}

// The top archive is still open while a nested one is unpacked.
TEST_F(Safety, NestedEntryCannotOverwriteTheTopArchive) {
    const Bytes innerBytes = Of({Named("top.dat", "zz")}).Build();
    std::filesystem::create_directory(Path("in"));
    Of({Named("in.dat", innerBytes)}).Write(Path("in/top.dat"));  // 45 bytes
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
    Of({Named("a.bin", "A")}).Write(Path("x.dat"));
    RunResult r = Run("", "x.dat", "file");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("a.bin 1 bytes\nerror : cannot create " + Printed(Path("file/a.bin")) + "\n"));
    EXPECT_EQ(ReadFile(Path("file")), ToBytes("keep"));
}

// Files are created 0666 and folders 0777, less the umask.
TEST_F(Safety, ModesFollowTheUmask) {
    if (WindowsTool()) GTEST_SKIP() << "POSIX modes";
    Of({Named("d/f.txt", "F")}).Write(Path("x.dat"));
    struct Case { mode_t mask, file, folder; };
    for (const Case& c : {Case{022, 0644, 0755}, Case{027, 0640, 0750}}) {
        mode_t old = umask(c.mask);
        RunResult r = Run("");
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
    Of({Named("big.bin", Noise(10000, 3)), Named("after.txt", "ok")}).Write(Path("x.dat"));
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit low = old;
    low.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // inherited: writes fail with EFBIG
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    RunResult r = Run("");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(Gave(r, 1,
                     "big.bin 10000 bytes\nerror : cannot write " + Printed(Path("out/big.bin")) + "\nafter.txt 2 bytes\n",
                     {{"after.txt", "ok"}}));
}

// Links left in the destination by another program or user: nothing is
// created, written, renamed or removed through one, and the link and what it
// leads to stay as they were.  A hard link is a name of the destination's
// own: it is replaced, the file it shared stays.  The destination itself and
// the folders above it may be links: the user chose them.
TEST_F(Safety, LinksInTheDestinationAreNeverFollowed) {
    namespace fs = std::filesystem;
    Archive nested;
    nested.entries.push_back(Named("e.txt", "E"));
    const Bytes nestedBytes = nested.Build();
    struct Case {
        std::string what;
        std::vector<std::pair<std::string, std::string>> links;  // where -> what it leads to ("=x": a hard link to x)
        std::vector<Entry> entries;
        std::string dest;
        std::string listing;  // "{path}": path below the destination, as error lines print it
        int status;
        TreeMap out;  // the tree of out, the links taken away
    };
    const std::string victim = "victim";
    const Case cases[] = {
        {"a link to a file at the output path", {{"out/x.txt", "../victim"}}, {Named("x.txt", "new"), Named("ok", "2")},
         "out", "x.txt 3 bytes\nerror : cannot create {x.txt}\nok 1 bytes\n", 1, {{"ok", "2"}}},
        {"a dangling link at the output path", {{"out/x.txt", "../missing"}}, {Named("x.txt", "new")},
         "out", "x.txt 3 bytes\nerror : cannot create {x.txt}\n", 1, {}},
        {"a link to a folder on the way", {{"out/d", "../elsewhere"}}, {Named("d/y.txt", "y")},
         "out", "d/y.txt 1 bytes\nerror : cannot create {d/y.txt}\n", 1, {}},
        {"a link deeper on the way", {{"out/a/b", "../../elsewhere"}}, {Named("a/b/c/y.txt", "y")},
         "out", "a/b/c/y.txt 1 bytes\nerror : cannot create {a/b/c/y.txt}\n", 1, {{"a/", ""}}},
        {"a nested archive's folder", {{"out/n", "../elsewhere"}}, {Named("n.dat", nestedBytes)},
         "out", "n.dat " + N(nestedBytes.size()) + " bytes\nn/e.txt 1 bytes\nerror : cannot create {n/e.txt}\n", 1,
         {{"n.dat", ToString(nestedBytes)}}},
        {"a GIM image's new name", {{"out/t.gim", "../victim"}}, {Named("t.bin", "MIG.data")},
         "out", "t.bin 8 bytes\n", 0, {{"t.bin", "MIG.data"}}},
        {"a hard link at the output path", {{"out/h.txt", "=victim"}}, {Named("h.txt", "new")},
         "out", "h.txt 3 bytes\n", 0, {{"h.txt", "new"}}},
        {"the destination and a folder above it", {{"up", "elsewhere"}, {"elsewhere/dest", "../out"}},
         {Named("a/y.txt", "y")}, "up/dest", "a/y.txt 1 bytes\n", 0, {{"a/", ""}, {"a/y.txt", "y"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The emulator shows a link to a file (or to nothing) as the file
        // itself, no reparse point: there is nothing to tell it by.
        if (WindowsTool() && c.links[0].second.find("victim") != std::string::npos) continue;
        for (const char* made : {"out", "elsewhere", "up", "victim", "missing"}) RemoveTree(Path(made));
        fs::create_directories(Path("out"));
        fs::create_directories(Path("elsewhere"));
        WriteFile(Path("victim"), ToBytes(victim));
        for (const auto& link : c.links) {
            fs::create_directories(fs::path(Path(link.first)).parent_path());
            if (link.second[0] == '=')
                fs::create_hard_link(Path(link.second.substr(1)), Path(link.first));
            else
                fs::create_symlink(link.second, Path(link.first));
        }
        Of(c.entries).Write(Path("x.dat"));
        RunResult r = Run("", "x.dat", c.dest);
        EXPECT_EQ(r.status, c.status);
        std::string listing = c.listing;
        for (size_t at; (at = listing.find('{')) != std::string::npos;) {
            const size_t end = listing.find('}', at);
            listing.replace(at, end + 1 - at, Printed(Path(c.dest + "/" + listing.substr(at + 1, end - at - 1))));
        }
        EXPECT_EQ(r.out, Lines(listing));
        for (const auto& link : c.links) {
            EXPECT_TRUE(link.second[0] == '=' || fs::is_symlink(Path(link.first))) << link.first;
            if (link.second[0] != '=') fs::remove(Path(link.first));
        }
        EXPECT_EQ(Tree(Path("out")), c.out);
        EXPECT_EQ(ReadFile(Path("victim")), ToBytes(victim));
        EXPECT_FALSE(Exists("missing"));
        EXPECT_TRUE(fs::is_empty(Path("elsewhere")) || c.dest != "out");
    }
}

}  // namespace
}  // namespace clitest
