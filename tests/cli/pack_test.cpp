// Whole-program tests of packing (-p): an unpacked tree packs back into the
// same bytes; an edited one into an archive that unpacks into exactly the
// edited tree, with every byte it did not have to change where it was.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "cli_fixture.h"

using namespace clitest;
namespace fs = std::filesystem;

namespace {

class Packing : public CliTest {};

// A name from an archive as the tree shows it: the bytes with -r on POSIX,
// else as the system stores the decoded name.
std::string TreeName(const std::string& archiveName, bool raw) {
    return raw && !WindowsTool() ? archiveName : HostName(archiveName);
}

// What packing the edited tree may change in the top archive, checked from
// the -j lines: a kept entry keeps its record and its bytes; a replaced one
// gets new data as RebuiltLayoutFault allows, its record the new size.
void CheckLayout(const Bytes& original, const Bytes& rebuilt, const std::string& jsonLines, const std::string& archive) {
    std::vector<Replaced> replaced;
    std::istringstream lines(jsonLines);
    std::string line;
    while (std::getline(lines, line)) {
        const nlohmann::json j = nlohmann::json::parse(line);
        if (!j.contains("status") || j["archive"] != archive || j["status"] == "kept") continue;
        const size_t entry = j["entry"].get<size_t>() - 1;
        ASSERT_EQ(j["status"], "replaced") << line;
        EXPECT_EQ(LE32At(rebuilt, 16 + 16 * entry + 8), j["new_size"]) << line;
        replaced.push_back({entry, j["kind"] == "gzip"});
    }
    EXPECT_EQ(RebuiltLayoutFault(original, rebuilt, replaced), "");
}

struct PackCase {
    const char* what;
    Archive archive;
    std::string letters;  // besides p: "", "s" or "r"
    // Files of the tree (as the host sees them, under out/) and their new
    // contents.
    std::vector<std::pair<std::string, std::string>> edits;
};

std::vector<PackCase> Cases() {
    const Bytes inner = Of({Named("in.txt", "inside"), Named("deep.gz", Gzip(ToBytes("deeper")))}).Build();
    GzipOptions every;
    every.fname = "g1.txt";
    every.extra = Bytes{'R', 'K', 2, 0, 7, 9};
    every.comment = "a comment";
    every.headerCrc = true;
    every.mtime = 1234567890;
    every.os = 11;
    GzipOptions texName;
    texName.fname = "tex.bin";
    Entry shared = Named("b.bin", Bytes{});
    shared.offset = 2048;  // a.bin's data
    shared.size = 100;
    Archive gaps = Of({Named("a.bin", Noise(100, 1)), shared, Named("c.bin", Noise(3000, 2))});
    gaps.dataAlignment = 2048;
    gaps.namePadding = 40;
    const std::string table = "\x95\x5C/\x83\x65\x83\x4C\x83\x58\x83\x67.txt";  // 表/テキスト.txt
    return {
        {"stored: same length, grown past its slot, shrunk",
         Of({Named("a.txt", "alpha"), Named("b/c.txt", "charlie"), Named("d.bin", Noise(3000, 3))}), "",
         {{"a.txt", "ALPHA"}, {"b/c.txt", "charlie, grown past its old slot"}, {"d.bin", "shrunk"}}},
        {"gzip members, every header field",
         Of({Named("plain.gz", Gzip(ToBytes("plain member"))), Named("named", Gzip(ToBytes("named member"), every)),
             Named("same.gz", Gzip(ToBytes("unchanged")))}),
         "", {{"plain", "p"}, {"g1.txt", "named member, edited at length so that it grows"}}},
        {"nested, stored and in gzip, one landing on a file of the top",
         Of({Named("n/one.dat", inner), Named("two/in.txt", "top"), Named("two.dat.gz", Gzip(inner)), Named("z.txt", "z")}),
         "", {{"n/one/in.txt", "inside, edited and longer"}, {"two/deep", "deeper still"}, {"two/in.txt", "in"}}},
        {"GIM images, one named by its gzip header",
         Of({Named("t/a.dat", "MIG.00.1PSP"), Named("g.gz", Gzip(ToBytes("MIG.00.1PSP"), texName))}), "",
         {{"t/a.gim", "MIG.00.1PSP edited"}, {"tex.gim", "MIG."}}},
        {"made-up names, files written twice, GIM images renamed away and over",
         Of({Unnamed(ToBytes("u1")), Unnamed(ToBytes("u2")), Named("twice.txt", "first"), Named("twice.txt", "second"),
             Named("g.bin", "plain"), Named("g.bin", "MIG.later"), Named("h.gim", "plain"), Named("h.bin", "MIG.over"),
             Named("Case.txt", "upper"), Named("case.txt", "lower")}),  // one file on Windows
         "",
         {{"x_02.dat", "U2!"}, {"twice.txt", "second, edited"}, {"g.gim", "MIG.edited"}, {"h.gim", "MIG.h, edited"},
          {"Case.txt", "edited"}}},
        {"shared data and gaps", gaps, "", {{"b.bin", "shared no more"}, {"c.bin", ToString(Noise(5000, 4))}}},
        {"Shift-JIS names", Of({Named(table, "text"), Named("\x83\x5C.dat", inner)}), "",
         {{TreeName(table, false), "text, edited"}, {TreeName("\x83\x5C/in.txt", false), "in"}}},
        {"nested kept as a file with -s", Of({Named("n/one.dat", inner), Named("z.txt", "z")}), "s",
         {{"n/one.dat", ToString(Of({Named("other.txt", "other")}).Build())}}},
        {"raw names with -r", Of({Named(table, "raw")}), "r", {{TreeName(table, true), "raw, edited"}}},
    };
}

// Unpacked and packed again, untouched: the same bytes.  Edited: an archive
// that unpacks into the edited tree and tests clean, laid out as above.
TEST_F(Packing, PacksTheTreeBackAndItsEdits) {
    for (const PackCase& c : Cases()) {
        SCOPED_TRACE(c.what);
        // Raw names make sense to Windows only where its code page is 932.
        if (c.letters == "r" && WindowsTool() && !WindowsCodePage932()) continue;
        for (const char* folder : {"out", "new", "again"}) RemoveTree(Path(folder));
        fs::create_directories(Path("new"));
        const Bytes original = c.archive.Build();
        WriteFile(Path("x.dat"), original);
        ASSERT_EQ(Run(c.letters, "x.dat", "out").status, 0);

        const RunResult same = Run("p" + c.letters, "x.dat", "out", "new/x.dat");
        EXPECT_EQ(same.status, 0) << same.out;
        EXPECT_EQ(ReadFile(Path("new/x.dat")), original);

        for (const auto& [file, contents] : c.edits) {
            ASSERT_TRUE(Exists("out/" + file)) << file;
            WriteFile(Path("out/" + file), ToBytes(contents));
        }
        const RunResult edited = Run("pj" + c.letters, "x.dat", "out", "new/x.dat");
        EXPECT_EQ(edited.status, 0) << edited.out;
        const RunResult again = Run(c.letters, "new/x.dat", "again");
        EXPECT_EQ(again.status, 0) << again.out;
        EXPECT_EQ(Tree(Path("again")), Out());
        EXPECT_EQ(Run("t" + c.letters, "new/x.dat", "again").status, 0);
        CheckLayout(original, ReadFile(Path("new/x.dat")), edited.out, ToolPath(Path("x.dat")));
    }
}

// The listing: a line per entry once its fate is known, a nested archive's
// after its entries' lines, failures after their entry's line, the files no
// entry became, the summary.
TEST_F(Packing, ListsFatesUnusedFilesAndASummary) {
    const Bytes inner = Of({Named("in.txt", "inside")}).Build();
    const Archive a = Of({Named("a.txt", "A"), Named("n.dat", inner), Named("b.txt", "B"), Named("t.dat", "MIG.x")});
    a.Write(Path("x.dat"));
    ASSERT_EQ(Run("", "x.dat", "out").status, 0);
    fs::create_directories(Path("new"));
    WriteFile(Path("out/n/in.txt"), ToBytes("edited"));
    fs::remove(Path("out/b.txt"));
    for (const char* extra : {"zz.txt", "n/extra.bin", "t.gim.png", "new.png"}) WriteFile(Path("out/") + extra, ToBytes("+"));
    const RunResult r = Run("p", "x.dat", "out", "new/x.dat");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("a.txt 1 bytes kept\n"
                           "n/in.txt 6 bytes replaced by 6 bytes\n"
                           "n.dat " + N(inner.size()) + " bytes replaced by " + N(inner.size()) + " bytes\n"
                           "error : missing " + Printed(Path("out/b.txt")) + "\n"
                           "t.dat 5 bytes kept\n"
                           "unused " + Printed(Path("out/n/extra.bin")) + "\n"
                           "unused " + Printed(Path("out/new.png")) + "\n"
                           "unused " + Printed(Path("out/zz.txt")) + "\n"
                           "5 entries: 2 kept, 2 replaced, 1 missing\n"));
    // The missing entry is kept as it was.
    EXPECT_EQ(Run("", "new/x.dat", "again").status, 0);
    EXPECT_EQ(ReadFile(Path("again/b.txt")), ToBytes("B"));
}

// What stops packing, or an entry: the new archive cannot be the archive
// read, nor pass 4 GiB (nothing is written then); a file reached through a
// link is not read; an interrupt leaves no file behind.
TEST_F(Packing, RefusesWhatItCannotBuildSafely) {
    const Archive a = Of({Named("a.txt", "A"), Named("big.bin", "small")});
    const Bytes original = a.Build();
    a.Write(Path("x.dat"));
    ASSERT_EQ(Run("", "x.dat", "out").status, 0);
    fs::create_directories(Path("new"));

    RunResult r = Run("p", "x.dat", "out", "x.dat");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("error : cannot create " + Printed(Path("x.dat")) + "\n"));
    EXPECT_EQ(ReadFile(Path("x.dat")), original);

    fs::resize_file(Path("out/big.bin"), uint64_t{1} << 32);  // sparse
    r = Run("p", "x.dat", "out", "new/x.dat");
    fs::resize_file(Path("out/big.bin"), 5);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("a.txt 1 bytes kept\nbig.bin 5 bytes kept\nerror : archive too large " +
                           Printed(Path("new/x.dat")) + "\n"));
    EXPECT_TRUE(Tree(Path("new")).empty());

    if (WindowsTool()) GTEST_SKIP() << "the rest takes POSIX links and signals";
    WriteFile(Path("elsewhere.txt"), ToBytes("not in the tree"));
    fs::remove(Path("out/a.txt"));
    fs::create_symlink(Path("elsewhere.txt"), Path("out/a.txt"));
    r = Run("p", "x.dat", "out", "new/x.dat");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Lines("a.txt 1 bytes kept\nerror : cannot read " + Printed(Path("out/a.txt")) +
                           "\nbig.bin 5 bytes kept\n2 entries: 2 kept, 0 replaced, 0 missing\n"));
    EXPECT_EQ(ReadFile(Path("new/x.dat")), original);

    // Interrupted while compressing a member again.
    RemoveTree(Path("new"));
    fs::create_directories(Path("new"));
    GzipOptions named;
    named.fname = "noise.bin";
    Of({Named("g", Gzip(ToBytes("tiny"), named))}).Write(Path("x.dat"));
    ASSERT_EQ(Run("", "x.dat", "out").status, 0);
    WriteFile(Path("out/noise.bin"), Noise(16 << 20, 5));
    ToolOptions options;
    options.whileRunning = [&](int pid) {
        for (;;) {
            if (!fs::is_empty(Path("new"))) break;
            if (kill(pid, 0) != 0) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kill(pid, SIGINT);
    };
    r = RunToolWith({"-p", Path("x.dat"), Path("out"), Path("new/x.dat")}, options);
    EXPECT_EQ(r.signal, SIGINT);
    EXPECT_TRUE(Tree(Path("new")).empty());
}

}  // namespace
