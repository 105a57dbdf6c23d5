// The output tree: folders are made along an output path as needed, a
// missing parent stops the walk, and the folders held open stay bounded.
#include <gtest/gtest.h>

#include <map>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#endif

#include "dat_writer.h"
#include "tool_runner.h"
#include "tree/output_tree.h"
#include "walk/run.h"

namespace {

struct TempDir {
    std::string path = testdat::MakeTempDir();
    ~TempDir() { testdat::RemoveTree(path); }
};

#ifndef _WIN32
TEST(OutputTree, CreatesEveryFolderButTheLast) {
    TempDir tmp;
    const NameRules rules = HostNameRules(true);
    OutputTree tree(tmp.path + "/", rules);
    File out;
    ASSERT_EQ(tree.CreateFile(tmp.path + "/a//b/c/\x95\x5C" "d/file.bin", out), 0);
    std::map<std::string, std::string> want{
        {"a/", ""}, {"a/b/", ""}, {"a/b/c/", ""}, {"a/b/c/\x95\x5C" "d/", ""}, {"a/b/c/\x95\x5C" "d/file.bin", ""}};
    EXPECT_EQ(testdat::Tree(tmp.path), want);
    // A second file in a known folder, and folders that exist already.
    ASSERT_EQ(tree.CreateFile(tmp.path + "/a//b/c/\x95\x5C" "d/two", out), 0);
    OutputTree again(tmp.path + "/", rules);
    ASSERT_EQ(again.CreateFile(tmp.path + "/a/b/new/f", out), 0);
    EXPECT_EQ(testdat::Tree(tmp.path).size(), want.size() + 3);
}

TEST(OutputTree, AFileOrAMissingParentOnTheWayFailsTheCreation) {
    TempDir tmp;
    OutputTree tree(tmp.path + "/", HostNameRules(false));
    testdat::WriteFile(tmp.path + "/f", testdat::ToBytes("data"));
    ASSERT_EQ(symlink((tmp.path + "/nowhere").c_str(), (tmp.path + "/dangling").c_str()), 0);
    File out;
    EXPECT_EQ(tree.CreateFile(tmp.path + "/f/sub/x", out), -1);
    EXPECT_EQ(tree.CreateFile(tmp.path + "/dangling/sub/deeper/x", out), -1);
    EXPECT_NE(access((tmp.path + "/nowhere").c_str(), F_OK), 0);
    EXPECT_EQ(testdat::Tree(tmp.path).count("f"), 1u);
    EXPECT_EQ(testdat::Tree(tmp.path).count("nowhere/"), 0u);
}

// Descriptors this process holds open.
size_t OpenDescriptors() {
    namespace fs = std::filesystem;
    return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// The tree holds no more folders open than the descriptor limit allows
// (half of it), letting go of the least recently used and walking to them
// again when they are wanted.
TEST(OutputTree, HoldsABoundedNumberOfFolders) {
    TempDir tmp;
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    struct rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    const size_t before = OpenDescriptors();
    size_t most = 0;
    {
        OutputTree tree(tmp.path + "/", HostNameRules(false));
        File out;
        for (int round = 0; round < 3; ++round)
            for (int i = 0; i < 50; ++i) {
                const std::string name = tmp.path + "/d" + std::to_string(i % 10) + "/e" + std::to_string(i) + "/f" +
                                         std::to_string(round);
                ASSERT_EQ(tree.CreateFile(name, out), 0) << name;
                most = std::max(most, OpenDescriptors());
            }
    }
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_LE(most, before + 32 + 2);  // the held folders, the destination, the file
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(testdat::Tree(tmp.path).size(), 10u + 50u + 150u);
}
#endif

}  // namespace
