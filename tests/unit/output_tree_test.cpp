// The output tree: folders are made along an output path as needed, and a
// missing parent stops the walk.
#include <gtest/gtest.h>

#include <map>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "dat_writer.h"
#include "tool_runner.h"
#include "unpack/output_tree.h"
#include "unpack/run.h"

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
#endif

}  // namespace
