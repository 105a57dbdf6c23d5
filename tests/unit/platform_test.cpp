// The platform layer: the Windows side's pure rules (checked on any system),
// and on POSIX option syntax and the steps of the output tree: no link
// followed, no file that is being read touched.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "dat_writer.h"
#include "platform/platform.h"
#include "tool_runner.h"

namespace {

// The console window closes with the process only when the process is its
// one user; a script's or a shell's run never waits.
TEST(PlatformWindowsRules, WaitsForAKeyOnlyInAConsoleOfItsOwn) {
    struct Case { unsigned long processes; bool inputIsConsole; bool wait; };
    for (const Case& c : {Case{1, true, true}, Case{2, true, false}, Case{3, true, false}, Case{0, false, false},
                          Case{1, false, false}, Case{0, true, false}}) {
        EXPECT_EQ(plat::ShouldWaitForKey(c.processes, c.inputIsConsole), c.wait) << c.processes << c.inputIsConsole;
    }
}

TEST(PlatformWindowsRules, ExtendedLengthPathOfAFullPath) {
    struct Case { const wchar_t* full; const wchar_t* extended; };
    for (const Case& c : {
             Case{L"C:\\out\\a.bin", L"\\\\?\\C:\\out\\a.bin"},
             Case{L"z:\\", L"\\\\?\\z:\\"},
             Case{L"\\\\server\\share\\d\\f", L"\\\\?\\UNC\\server\\share\\d\\f"},
             Case{L"\\\\?\\C:\\out", L"\\\\?\\C:\\out"},                    // already extended
             Case{L"\\\\?\\UNC\\srv\\s\\x", L"\\\\?\\UNC\\srv\\s\\x"},
             Case{L"\\\\.\\C:\\out", L"\\\\.\\C:\\out"},                    // a device path stays
             Case{L"\\\\?x\\share", L"\\\\?\\UNC\\?x\\share"},              // a server named "?x"
             Case{L"C:out", L"C:out"},                                   // not full
             Case{L"out\\a", L"out\\a"},
             Case{L"", L""},
         }) {
        EXPECT_EQ(plat::ExtendedLengthPath(c.full), c.extended);
    }
}

#ifndef _WIN32

struct TempDir {
    std::string path = testdat::MakeTempDir();
    ~TempDir() { testdat::RemoveTree(path); }
};

std::string Contents(const std::string& path) { return testdat::ToString(testdat::ReadFile(path)); }

TEST(PlatformPosix, OptionsStartWithADash) {
    EXPECT_TRUE(plat::IsOption("-s"));
    EXPECT_TRUE(plat::IsOption("-"));
    EXPECT_FALSE(plat::IsOption("/home/x.dat"));
    EXPECT_FALSE(plat::IsOption("x-y"));
    EXPECT_FALSE(plat::IsOption(""));
}


// Creating, renaming and removing in a folder of the output tree never go
// through a symbolic link, and never touch a file that is being read, under
// any of its names.  Hard links are names of their own: replacing one leaves
// the file it shared.
TEST(PlatformPosix, OutputTreeStepsNeverFollowLinksNorTouchFilesBeingRead) {
    TempDir tmp;
    const std::string out = tmp.path + "/out/", outside = tmp.path + "/outside/";
    ASSERT_EQ(mkdir(out.c_str(), 0777), 0);
    ASSERT_EQ(mkdir(outside.c_str(), 0777), 0);
    ASSERT_EQ(mkdir((outside + "dir").c_str(), 0777), 0);
    testdat::WriteFile(outside + "victim", testdat::ToBytes("victim"));
    testdat::WriteFile(out + "arc", testdat::ToBytes("archive"));
    testdat::WriteFile(out + "old", testdat::ToBytes("old"));
    ASSERT_EQ(link((out + "arc").c_str(), (out + "arc2").c_str()), 0);
    ASSERT_EQ(link((outside + "victim").c_str(), (out + "hard").c_str()), 0);
    ASSERT_EQ(link((out + "old").c_str(), (out + "old2").c_str()), 0);
    ASSERT_EQ(symlink("../outside/victim", (out + "flink").c_str()), 0);
    ASSERT_EQ(symlink("../outside/dir", (out + "dlink").c_str()), 0);
    ASSERT_EQ(symlink("../outside/none", (out + "dangling").c_str()), 0);

    int64_t length = 0;
    const int reader = plat::OpenForReading(out + "arc2", &length);
    ASSERT_GE(reader, 0);
    plat::Folder folder, sub;
    ASSERT_EQ(plat::OpenFolder(out, &folder), 0);
    auto create = [&](const char* name) {
        int fd = plat::CreateFileIn(folder, name);
        return fd < 0 ? -1 : plat::CloseFile(fd);
    };
    auto enter = [&](const char* name) {
        int result = plat::OpenSubfolder(folder, name, true, &sub);
        plat::CloseFolder(sub);
        return result;
    };
    auto read = [&](const char* name) {
        int64_t size = 0;
        int fd = plat::OpenForReadingIn(folder, name, &size);
        return fd < 0 ? -1 : plat::CloseFile(fd);
    };
    auto remove = [&](const char* name) {
        plat::RemoveFileIn(folder, name);
        return access((out + name).c_str(), F_OK) == 0 || errno != ENOENT ? -1 : 0;
    };
    struct Case {
        const char* what;
        std::function<int()> step;
        int result;
    };
    const Case cases[] = {
        {"create over the file being read", [&] { return create("arc"); }, -1},
        {"create over another name of it", [&] { return create("arc2"); }, -1},
        {"create over a link to a file", [&] { return create("flink"); }, -1},
        {"create over a link to a folder", [&] { return create("dlink"); }, -1},
        {"create over a dangling link", [&] { return create("dangling"); }, -1},
        {"create over a hard link", [&] { return create("hard"); }, 0},
        {"enter a link to a folder", [&] { return enter("dlink"); }, -1},
        {"enter a dangling link", [&] { return enter("dangling"); }, -1},
        {"rename over a link", [&] { return plat::RenameIn(folder, "old", "flink"); }, -1},
        {"rename over the file being read", [&] { return plat::RenameIn(folder, "old", "arc"); }, -1},
        {"rename between two names of one file", [&] { return plat::RenameIn(folder, "old", "old2"); }, 0},
        {"read a file", [&] { return read("old"); }, 0},
        {"read through a link", [&] { return read("flink"); }, -1},
        {"read through a link to a folder", [&] { return read("dlink"); }, -1},
        {"remove a link", [&] { return remove("flink"); }, -1},
        {"remove the file being read", [&] { return remove("arc"); }, -1},
        {"remove a link to a folder", [&] { return remove("dlink"); }, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.step(), c.result) << c.what;

    EXPECT_EQ(Contents(outside + "victim"), "victim");
    EXPECT_EQ(Contents(out + "hard"), "");
    EXPECT_EQ(Contents(out + "arc"), "archive");
    EXPECT_EQ(Contents(out + "old2"), "old");
    EXPECT_EQ(testdat::Tree(outside).size(), 2u);  // dir/ and victim
    for (const char* name : {"flink", "dlink", "dangling"}) {
        struct stat st;
        EXPECT_TRUE(lstat((out + name).c_str(), &st) == 0 && S_ISLNK(st.st_mode)) << name;
    }

    plat::CloseFile(reader);  // no longer being read: it can be replaced
    EXPECT_EQ(create("arc"), 0);
    EXPECT_EQ(Contents(out + "arc"), "");
    EXPECT_EQ(Contents(out + "arc2"), "archive");
    plat::CloseFolder(folder);
}

#endif  // _WIN32

}  // namespace
