// The platform layer: the Windows side's pure rules (checked on any system),
// and on POSIX option syntax and the refusal to overwrite a file that is
// being read.
#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
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


TEST(PlatformPosix, OutputRefusedForAFileBeingReadUnderAnyName) {
    TempDir tmp;
    const std::string file = tmp.path + "/arc", hard = tmp.path + "/hard", soft = tmp.path + "/soft";
    testdat::WriteFile(file, testdat::ToBytes("keep"));
    ASSERT_EQ(link(file.c_str(), hard.c_str()), 0);
    ASSERT_EQ(symlink(file.c_str(), soft.c_str()), 0);

    int64_t length = 0;
    int first = plat::OpenForReading(hard, &length);
    int second = plat::OpenForReading(file, &length);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    for (const std::string& name : {file, hard, soft, tmp.path + "/./arc"})
        EXPECT_EQ(plat::OpenForOutput(name), -1) << name;
    EXPECT_EQ(Contents(file), "keep");

    plat::CloseFile(first);  // still held by the second reader
    EXPECT_EQ(plat::OpenForOutput(soft), -1);
    EXPECT_EQ(Contents(file), "keep");

    plat::CloseFile(second);
    int out = plat::OpenForOutput(soft);
    ASSERT_GE(out, 0);
    plat::CloseFile(out);
    EXPECT_EQ(Contents(file), "");
}

TEST(PlatformPosix, ReplaceFileSparesAFileBeingRead) {
    TempDir tmp;
    const std::string from = tmp.path + "/new", to = tmp.path + "/arc";
    testdat::WriteFile(from, testdat::ToBytes("N"));
    testdat::WriteFile(to, testdat::ToBytes("archive"));

    int64_t length = 0;
    int reader = plat::OpenForReading(to, &length);
    EXPECT_EQ(length, 7);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(plat::ReplaceFile(from, to), -1);
    EXPECT_EQ(Contents(to), "archive");
    EXPECT_EQ(Contents(from), "N");

    plat::CloseFile(reader);
    EXPECT_EQ(plat::ReplaceFile(from, to), 0);
    EXPECT_EQ(Contents(to), "N");
    EXPECT_NE(access(from.c_str(), F_OK), 0);
}

TEST(PlatformPosix, ReplaceFileBetweenTwoLinksKeepsTheFile) {
    TempDir tmp;
    const std::string a = tmp.path + "/a", b = tmp.path + "/b";
    testdat::WriteFile(a, testdat::ToBytes("only copy"));
    ASSERT_EQ(link(a.c_str(), b.c_str()), 0);
    EXPECT_EQ(plat::ReplaceFile(a, b), 0);
    EXPECT_EQ(Contents(b), "only copy");
}

#endif  // _WIN32

}  // namespace
