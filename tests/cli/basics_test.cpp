// Whole-program tests: command line, opening and the listing of stored entries.
#include <gtest/gtest.h>

#include "dat_writer.h"
#include "tool_runner.h"

using namespace testdat;

namespace {

class Basics : public ::testing::Test {
protected:
    void SetUp() override { dir_ = MakeTempDir(); }
    void TearDown() override { RemoveTree(dir_); }
    std::string Path(const std::string& rel) const { return dir_ + "/" + rel; }
    std::string dir_;
};

TEST_F(Basics, UnpacksSmallArchive) {
    Archive a;
    a.entries.push_back(Named("a.bin", "hello"));
    a.Write(Path("x.dat"));
    RunResult r = RunTool({ToolPath(Path("x.dat")), ToolPath(Path("out"))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Lines("a.bin 5 bytes\n"));
    auto tree = Tree(Path("out"));
    EXPECT_EQ(tree["a.bin"], "hello");
}

}  // namespace
