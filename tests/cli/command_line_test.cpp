// Whole-program tests: the command line, where relative paths lead, and the
// exit statuses.
#include "cli_fixture.h"

namespace clitest {
namespace {

const char kUsage[] = "ravelkit [-sgrtlj] <dat file> [dest dir]\nravelkit -p[srj] <dat file> <dest dir> <new dat file>\n";

// An archive holding an archive, so that recursion shows in the tree.
Archive Nesting() {
    return Of({Named("inner.dat", Of({Named("b.txt", "bb")}).Build())});  // 43 bytes
}

const TreeMap kRecursed = {{"inner/", ""}, {"inner/b.txt", "bb"}};
const char kRecursedOut[] = "inner.dat 43 bytes\ninner/b.txt 2 bytes\n";

class CommandLine : public CliTest {};

// The usage lines, also for -p without the new archive.
TEST_F(CommandLine, UsageWhenNoArchiveIsNamed) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-s"}, {"-x"}, {"-p", "x.dat", "out"}}) {
        RunResult r = RunTool(args, dir_);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_EQ(r.out, Lines(kUsage));
    }
    EXPECT_TRUE(Tree(dir_).empty());
}

// The first argument as a long option, a help request or letters: what is
// printed, the status, and whether the archive was unpacked.  The archive's
// name starts with '-' and sits in the tool's base folder (its own folder on
// Windows, the working directory elsewhere), so only "--" may precede it.
TEST_F(CommandLine, FirstArgumentTable) {
    const std::string exe = CopyTool("bin");
    const std::string help = "help";  // stands for the help text, checked loosely
    struct Case { std::string first; std::string out; int status; };
    std::vector<Case> cases = {
        {"--help", help, 0},
        {"--version", "ravelkit " RAVELKIT_VERSION "\n", 0},
        {"--quiet", "error : unknown option --quiet\n" + std::string(kUsage), 2},
        {"--Help", "error : unknown option --Help\n" + std::string(kUsage), 2},
        {"--", kRecursedOut, 0},
        {"-x", kRecursedOut, 0},
        {"-?", help, 0},
    };
    if (WindowsTool()) cases.push_back({"/?", help, 0});
    Nesting().Write(Path("bin/-s.dat"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        RunResult r = RunToolAt(exe, {c.first, "-s.dat", "out"}, Path("bin"));
        EXPECT_EQ(r.status, c.status);
        if (c.out == help) {
            EXPECT_EQ(r.out.substr(0, Lines(kUsage).size()), Lines(kUsage));
            for (char letter : std::string("sgrtljp"))
                EXPECT_NE(r.out.find(std::string("  -") + letter + "  "), std::string::npos) << letter;
            EXPECT_NE(r.out.find("--version"), std::string::npos);
        } else {
            EXPECT_EQ(r.out, Lines(c.out));
        }
        EXPECT_EQ(Exists("bin/out") ? Tree(Path("bin/out")) : TreeMap{}, c.out == kRecursedOut ? kRecursed : TreeMap{});
        RemoveTree(Path("bin/out"));
    }
}

// Every letter of the option counts; 's' turns recursion off, 'r' (raw
// names) changes nothing here, other letters are ignored.
TEST_F(CommandLine, AnSAnywhereInTheOptionTurnsRecursionOff) {
    Nesting().Write(Path("x.dat"));
    const Bytes inner = Nesting().entries[0].data;
    struct Case { std::string option; bool recurse; };
    for (const Case& c : {Case{"", true}, Case{"-x", true}, Case{"-", true}, Case{"-r", true}, Case{"-R", true},
                          Case{"-s", false}, Case{"-S", false}, Case{"-sx", false}, Case{"-xs", false},
                          Case{"-rs", false}}) {
        std::vector<std::string> args = {ToolPath(Path("x.dat")), ToolPath(Path("out"))};
        if (!c.option.empty()) args.insert(args.begin(), c.option);
        const RunResult r = RunTool(args);
        EXPECT_TRUE(c.recurse ? Gave(r, 0, kRecursedOut, kRecursed)
                              : Gave(r, 0, "inner.dat 43 bytes\n", {{"inner.dat", ToString(inner)}}))
            << c.option;
        RemoveTree(Path("out"));
    }
}

// Relative archive and destination paths, and the output without a
// destination, lead to the working directory, and on Windows to the tool's
// folder instead.  A copy of the tool in bin/ is started in cwd/, and each
// folder holds an x.dat of its own, so the listing shows which was read.
TEST_F(CommandLine, RelativePathsResolveAgainstTheBaseFolder) {
    const std::string exe = CopyTool("bin");
    std::filesystem::create_directory(Path("cwd"));
    for (const char* folder : {"bin", "cwd"}) {
        Archive a;
        a.entries.push_back(Named(std::string(folder) + ".txt", "1"));
        a.Write(Path(folder + std::string("/x.dat")));
    }
    Archive absolute;
    absolute.entries.push_back(Named("abs.txt", "1"));
    absolute.Write(Path("x.dat"));

    const std::string base = WindowsTool() ? "bin/" : "cwd/", other = WindowsTool() ? "cwd/" : "bin/";
    const std::string relative = WindowsTool() ? "bin.txt" : "cwd.txt";
    struct Case { std::vector<std::string> args; std::string folder; std::string name; };
    const Case cases[] = {
        {{"x.dat", "out"}, "out/", relative},
        {{"x.dat", "-s"}, "-s/", relative},  // only the first argument can be an option
        {{"x.dat"}, "", relative},
        {{"x.dat", ""}, "", relative},
        // On POSIX this path starts with '/', and must not be taken for an option.
        {{ToolPath(Path("x.dat"))}, "", "abs.txt"},
        {{"-s", ToolPath(Path("x.dat")), "out"}, "out/", "abs.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        RunResult r = RunToolAt(exe, c.args, Path("cwd"));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, Lines(c.name + " 1 bytes\n"));
        EXPECT_TRUE(Exists(base + c.folder + c.name));
        EXPECT_FALSE(Exists(other + c.folder + c.name));
        std::filesystem::remove_all(Path(base + (c.folder.empty() ? c.name : c.folder)));
    }
    EXPECT_FALSE(Exists("out"));
}

// The destination gets one separator unless it ends in one; the unsafe
// entry's error line shows the joined path exactly.
TEST_F(CommandLine, DestinationGetsOneSeparator) {
    Of({Named("a.bin", "A"), Named("../x", "X")}).Write(Path("x.dat"));
    struct Case { std::string dest; std::string folder; std::string joined; };
    std::vector<Case> cases = {
        {"out", "out", "out/"},
        {"out/", "out", "out/"},
        {"out\\", "out", "out/"},
        {"out//", "out", "out//"},
        {"new/deeper/out", "new/deeper/out", "new/deeper/out/"},
    };
    // The user's paths are searched byte by byte: 0x5C is a separator even
    // after a byte that would be a code page 932 lead byte.
    if (!WindowsTool()) cases.push_back({"\x95\x5C", "\x95", "\x95/"});
    for (const Case& c : cases) {
        EXPECT_TRUE(Gave(Run("", "x.dat", c.dest), 1,
                         "a.bin 1 bytes\n../x 1 bytes\nerror : unsafe path " + Printed(Path(c.joined + "../x")) + "\n",
                         {{"a.bin", "A"}}, c.folder))
            << c.dest;
        RemoveTree(Path(c.folder));
    }
    EXPECT_FALSE(Exists("x"));
}

// A failure anywhere, a nested archive included, makes the status 1.
TEST_F(CommandLine, FailureInANestedArchiveFailsTheRun) {
    Archive inner = Of({Named("b.txt", "bb")});
    inner.entries[0].size = 3;
    EXPECT_TRUE(Gave(Unpack(Of({Named("inner.dat", inner.Build()), Named("c.txt", "c")})), 1,
                     "inner.dat 43 bytes\ninner/b.txt 3 bytes\nerror : entry out of range " +
                         Printed(Path("out/inner.dat")) + "\nc.txt 1 bytes\n",
                     {{"inner.dat", ToString(inner.Build())}, {"c.txt", "c"}}));
}

}  // namespace
}  // namespace clitest
