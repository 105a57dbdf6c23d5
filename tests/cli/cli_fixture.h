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

// A number as the listing prints it.
template <typename Integer>
std::string N(Integer n) {
    return std::to_string(n);
}

// What tells tree from want, path by path (contents shown when short).
inline std::string TreeDifference(const TreeMap& tree, const TreeMap& want) {
    const auto shown = [](const std::string& s) {
        return s.size() <= 64 ? ::testing::PrintToString(s) : std::to_string(s.size()) + " bytes";
    };
    std::string faults;
    for (const auto& [path, contents] : want) {
        const auto it = tree.find(path);
        if (it == tree.end())
            faults += "missing " + path + "\n";
        else if (it->second != contents)
            faults += path + " holds " + shown(it->second) + ", not " + shown(contents) + "\n";
    }
    for (const auto& [path, contents] : tree)
        if (want.count(path) == 0) faults += "unexpected " + path + " holding " + shown(contents) + "\n";
    return faults;
}

// A name with '\\' separators written with '/'.
inline std::string Slashes(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = MakeTempDir(); }
    void TearDown() override { RemoveTree(dir_); }

    std::string Path(const std::string& rel) const { return dir_ + "/" + rel; }
    bool Exists(const std::string& rel) const { return std::filesystem::exists(Path(rel)); }

    // Writes the archive as dir/<name> and unpacks it into dir/out, where
    // an earlier run's files are removed first.
    RunResult Unpack(const Archive& a, const std::string& name = "x.dat") const { return UnpackBytes(a.Build(), name); }
    RunResult UnpackBytes(const Bytes& bytes, const std::string& name = "x.dat") const {
        WriteFile(Path(name), bytes);
        RemoveTree(Path("out"));
        return Run("", name);
    }

    // Runs the tool with the option letters (none: no option) on
    // dir/<archive> and dir/<dest>, and for packing dir/<built> after them.
    RunResult Run(const std::string& letters, const std::string& archive = "x.dat", const std::string& dest = "out",
                  const std::string& built = "") const {
        std::vector<std::string> args;
        if (!letters.empty()) args.push_back("-" + letters);
        for (const std::string& path : {archive, dest, built})
            if (!path.empty()) args.push_back(ToolPath(Path(path)));
        return RunTool(args);
    }

    // Checks what a run gave: its exit status, its listing (lines ending in
    // "\n", as Lines takes them) and the tree in dir/<dest>.
    ::testing::AssertionResult Gave(const RunResult& r, int status, const std::string& listing, const TreeMap& tree,
                                    const std::string& dest = "out") const {
        std::string faults;
        if (r.status != status) faults += "status " + N(r.status) + ", not " + N(status) + "\n";
        if (r.out != Lines(listing)) faults += "listing:\n" + r.out + "instead of:\n" + Lines(listing);
        faults += TreeDifference(Exists(dest) ? Tree(Path(dest)) : TreeMap{}, tree);
        if (faults.empty()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << faults;
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

}  // namespace clitest
