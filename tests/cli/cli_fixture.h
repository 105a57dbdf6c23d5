// What the whole-program tests share: a fresh folder per test, and running
// the tool on an archive in it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "dat_writer.h"
#include "tool_runner.h"

namespace clitest {

using namespace testdat;
using TreeMap = std::map<std::string, std::string>;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = MakeTempDir(); }
    void TearDown() override { RemoveTree(dir_); }

    std::string Path(const std::string& rel) const { return dir_ + "/" + rel; }
    bool Exists(const std::string& rel) const { return std::filesystem::exists(Path(rel)); }

    // Writes the archive as dir/<name> and unpacks it into dir/out.
    RunResult Unpack(const Archive& a, const std::string& name = "x.dat") const {
        a.Write(Path(name));
        return RunTool({ToolPath(Path(name)), ToolPath(Path("out"))});
    }
    RunResult UnpackBytes(const Bytes& bytes, const std::string& name = "x.dat") const {
        WriteFile(Path(name), bytes);
        return RunTool({ToolPath(Path(name)), ToolPath(Path("out"))});
    }

    // The archive path as printed in error lines.
    std::string Dat(const std::string& name = "x.dat") const { return Printed(Path(name)); }

    // The unpacked tree, or an empty one when nothing was created.
    TreeMap Out() const { return Exists("out") ? Tree(Path("out")) : TreeMap{}; }

    // A copy of the tool in a folder of its own under dir; returns its path.
    std::string CopyTool(const std::string& rel) const {
        namespace fs = std::filesystem;
        fs::create_directories(Path(rel));
        std::string copy = Path(rel) + "/" + fs::path(ToolExe()).filename().string();
        fs::copy_file(ToolExe(), copy, fs::copy_options::overwrite_existing);
        return copy;
    }

    std::string dir_;
};

// A number as the listing prints it.
template <typename Integer>
std::string N(Integer n) {
    return std::to_string(n);
}

}  // namespace clitest
