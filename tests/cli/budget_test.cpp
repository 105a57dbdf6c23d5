// Whole-program tests: the budgets of one run (nested archives, entries,
// output bytes) and the bombs they stop.
#include <unistd.h>

#include <optional>

#include "cli_fixture.h"

namespace clitest {
namespace {

// The budgets take tens of thousands of small files: on a memory file
// system where there is one.
class Budgets : public CliTest {
protected:
    void SetUp() override {
        const bool shm = access("/dev/shm", W_OK) == 0 && std::filesystem::is_directory("/dev/shm");
        dir_ = MakeTempDir(shm ? "/dev/shm" : "");
    }
};


// A raw archive of `count` records, each with the given fields, followed by
// `data`.
Bytes RawArchive(uint32_t count, uint32_t offset, uint32_t size, uint32_t nameOffset, const Bytes& data = {},
                 int32_t declared = -1) {
    const size_t table = 16 + 16 * static_cast<size_t>(count);
    Bytes b(table + data.size());
    for (size_t i = 0; i < data.size(); ++i) b[table + i] = data[i];
    b[0] = 'G', b[1] = 'P', b[2] = 'D', b[3] = 'A';
    PutLE32(b, 4, static_cast<uint32_t>(b.size()));
    PutLE32(b, 12, static_cast<uint32_t>(declared < 0 ? static_cast<int32_t>(count) : declared));
    for (uint32_t i = 0; i < count; ++i) {
        PutLE32(b, 16 + 16 * i, offset);
        PutLE32(b, 24 + 16 * i, size == 0xFFFFFFFF ? static_cast<uint32_t>(b.size()) : size);
        PutLE32(b, 28 + 16 * i, nameOffset);
    }
    return b;
}

// count entries named `name`, all holding the same bytes (stored once).
Archive Repeated(const std::string& name, const Bytes& data, size_t count) {
    Archive a;
    a.entries.push_back(Named(name, data));
    for (size_t i = 1; i < count; ++i) a.entries.push_back(Named(name, Bytes{}));
    const uint32_t at = static_cast<uint32_t>(a.BuildHead().size());
    for (size_t i = 1; i < count; ++i) {
        a.entries[i].offset = at;
        a.entries[i].size = static_cast<uint32_t>(data.size());
    }
    return a;
}

// The bombs: every record spans the whole archive, so each nested archive
// is the archive again.  Each level would double (or multiply by seven) the
// work without end; both stop at the first level.
TEST_F(Budgets, NestingBombsStopAtOnce) {
    struct Case {
        Bytes bomb;
        int spanning;
        std::string tail;
    };
    const Case cases[] = {
        {RawArchive(2, 0, 0xFFFFFFFF, 0), 2, ""},  // 48 bytes
        // 141 bytes: a huge entry count, seven records that fit, all spanning.
        {RawArchive(7, 0, 0xFFFFFFFF, 0, Bytes(13, 0), 0x7FFFFFFF), 7,
         "error : entry table too large " + Dat() + "\n"},
    };
    for (const Case& c : cases) {
        std::string expected;
        TreeMap want;
        for (int i = 1; i <= c.spanning; ++i) {
            const std::string name = "x_0" + N(i) + ".dat";
            expected += name + " " + N(c.bomb.size()) + " bytes\nerror : archive contains itself " +
                        Printed(Path("out/" + name)) + "\n";
            want[name] = ToString(c.bomb);
        }
        EXPECT_TRUE(Gave(UnpackBytes(c.bomb), 1, expected + c.tail, want)) << c.bomb.size();
    }
}

// 65,536 nested archives are opened for unpacking; the later ones are kept
// as files.
TEST_F(Budgets, NestedArchivesPerRun) {
    if (WindowsTool()) GTEST_SKIP() << "the same code as on POSIX; 65,538 files take too long under the emulator";
    // Every record of the middle archive is named c.dat and holds the same
    // nested archive, one of the wrong length: each is written over the last
    // one, refused, and kept, which keeps the file system's work small.
    const uint32_t children = 32768;
    const uint32_t table = 16 + 16 * children;
    Bytes data = {5, 0, 0, 0, 'c', '.', 'd', 'a', 't', 'G', 'P', 'D', 'A', 17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes middle = RawArchive(children, table + 9, 16, table, data);
    const std::string nested = ToString(Bytes(data.begin() + 9, data.end()));
    Archive top = Repeated("a.dat", middle, 2);
    top.entries[1].name = "b.dat";
    RunResult r = Unpack(top);
    EXPECT_EQ(r.status, 1);
    // a.dat and its 32,768 children, b.dat and 32,766 of its children.
    std::string tail = "b/c.dat 16 bytes\nerror : unknown format " + Printed(Path("out/b/c.dat")) + "\n";
    for (int i = 0; i < 2; ++i)
        tail += "b/c.dat 16 bytes\nerror : too many nested archives " + Printed(Path("out/b/c.dat")) + "\n";
    ASSERT_GE(r.out.size(), Lines(tail).size());
    EXPECT_EQ(r.out.substr(r.out.size() - Lines(tail).size()), Lines(tail));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2 + 4 * children);
    EXPECT_EQ(Out(), (TreeMap{{"a.dat", ToString(middle)}, {"a/", ""}, {"a/c.dat", nested},
                              {"b.dat", ToString(middle)}, {"b/", ""}, {"b/c.dat", nested}}));
}

// 4,194,304 entries are walked, every level counted; past that the whole run
// stops: every walk returns and the nested files on the way are kept.
TEST_F(Budgets, EntriesPerRun) {
    if (WindowsTool()) GTEST_SKIP() << "the same code as on POSIX; 4 million lines take too long under the emulator";
    // 65,534 records whose names lie outside the index: each one costs a line
    // and nothing else.
    const uint32_t records = 65534;
    const Bytes inner = RawArchive(records, 0, 0, 0xFFFFFFF0);
    // 64 walks of the inner archive and their 64 entries make 4,194,240;
    // the 65th entry and 63 of its records reach the budget.
    const Archive top = Repeated("a.dat", inner, 66);
    top.Write(Path("x.dat"));
    // Short paths keep the 4 million lines small.
    const std::string tool = CopyTool("tool");
    RunResult r = RunToolAt(tool, {"../x.dat", "o"}, Path("tool"));
    EXPECT_EQ(r.status, 1);
    std::string tail = "a.dat " + N(inner.size()) + " bytes\n";
    for (int i = 1; i <= 63; ++i) tail += "error : bad entry " + N(i) + " in o/a.dat\n";
    tail += "error : too many entries o/a.dat\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 65 + 64 * records + 63 + 1);
    EXPECT_EQ(Tree(Path("tool/o")), (TreeMap{{"a.dat", ToString(inner)}}));
}

// The output budget of a run on an archive of `size` bytes.
uint64_t OutputLimit(uint64_t size) { return 4128 * size + (uint64_t{64} << 20); }

using Sizes = std::map<std::string, uint64_t>;

// Every file under dir and its size.
Sizes FileSizes(const std::string& dir) {
    Sizes sizes;
    for (const auto& item : std::filesystem::recursive_directory_iterator(dir))
        if (item.is_regular_file()) sizes[std::filesystem::relative(item.path(), dir).generic_string()] = item.file_size();
    return sizes;
}

// An archive whose output ends `excess` bytes past its budget: k entries
// "z" sharing one gzip member of 8 MiB of zeros (its trailer right or
// wrong), then "fill", a stored entry of the archive's own bytes from its
// second on, as long as it takes to reach the budget with what follows, and
// "empty", when asked for, which counts as 4,096 bytes.  Padding after the
// data sets the archive's size, and so its budget.  *listing gets the lines
// of a run that stays within it, zPath being where "z" goes.
Bytes SharedMember(int k, uint64_t excess, bool empty, bool rightTrailer, const std::string& zPath, uint32_t* fillSize,
                   std::string* listing) {
    constexpr uint32_t kExpanded = 8 << 20;
    Bytes member = Gzip(Bytes(kExpanded, 0));
    if (!rightTrailer) member[member.size() - 8] ^= 1;
    Archive a = Repeated("z", member, static_cast<size_t>(k));
    a.entries.push_back(Named("fill", Bytes{}));
    if (empty) a.entries.push_back(Named("empty", Bytes{}));
    const uint32_t at = static_cast<uint32_t>(a.BuildHead().size());
    for (size_t i = 1; i < a.entries.size(); ++i) a.entries[i].offset = i < static_cast<size_t>(k) ? at : 1;
    const uint64_t base = a.Build().size();
    const uint64_t taken = uint64_t{kExpanded} * static_cast<uint64_t>(k) + (empty ? 4096 : 0);
    const int64_t short0 = static_cast<int64_t>(OutputLimit(base) + excess - taken);
    const uint64_t padding = short0 >= 4096 ? 0 : (static_cast<uint64_t>(4096 - short0) + 4127) / 4128;
    *fillSize = static_cast<uint32_t>(OutputLimit(base + padding) + excess - taken);
    EXPECT_LT(*fillSize, base + padding);  // the fill lies inside the archive
    a.entries[static_cast<size_t>(k)].size = *fillSize;
    a.fileSize = static_cast<uint32_t>(base + padding);
    Bytes bytes = a.Build();
    bytes.resize(base + padding, 0);
    listing->clear();
    for (int i = 0; i < k; ++i) {
        *listing += "z " + N(member.size()) + " bytes to " + N(kExpanded) + " bytes\n";
        if (!rightTrailer) *listing += "error : bad gzip checksum " + zPath + "\n";
    }
    *listing += "fill " + N(*fillSize) + " bytes\n";
    if (empty) *listing += "empty 0 bytes\n";
    return bytes;
}

// Bytes put into output files are counted as they are written, each file as
// at least 4,096 bytes and a stretch written twice once; they may reach
// 4,128 times the archive's size plus 64 MiB.  The file or the write that
// would pass that fails, its file is removed, and the whole run stops,
// keeping the nested files on the way.  Testing (-t) counts what unpacking
// would write.
TEST_F(Budgets, OutputPerRun) {
    struct Case {
        std::string what;
        Bytes archive;
        std::string tail;   // the end of the listing
        size_t lines;       // the listing's count of lines, where tail is not all of it
        int status;
        std::optional<Sizes> files;  // the output tree, where checked
        std::string kept;   // a nested file that must be kept
        std::string letters = "";
    };
    std::vector<Case> cases;
    uint32_t fill = 0;
    std::string listing;
    const std::string tooMuch = "error : too much output " + Dat() + "\n";
    const uint64_t z = 8 << 20;
    const std::string zPath = Printed(Path("out/z"));

    Bytes bytes = SharedMember(13, 0, true, true, zPath, &fill, &listing);
    cases.push_back({"at the budget", bytes, listing, 0, 0, {{{"z", z}, {"fill", fill}, {"empty", 0}}}, ""});
    bytes = SharedMember(13, 1, true, true, zPath, &fill, &listing);
    cases.push_back({"an empty file past it", bytes, listing + tooMuch, 0, 1, {{{"z", z}, {"fill", fill}}}, ""});
    cases.push_back({"testing it", bytes, listing + tooMuch, 0, 1, {Sizes{}}, "", "t"});
    bytes = SharedMember(13, 1, false, true, zPath, &fill, &listing);
    cases.push_back({"a write past it", bytes, listing + tooMuch, 0, 1, {{{"z", z}}}, ""});
    bytes = SharedMember(13, 0, true, false, zPath, &fill, &listing);
    cases.push_back({"members expanded twice", bytes, listing, 0, 1, {{{"z", z}, {"fill", fill}, {"empty", 0}}}, ""});

    // 1,000 entries share one member of 100 MiB of zeros: all of them would
    // write 100 GB.
    const uint64_t big = 100 << 20;
    const Bytes member = Gzip(Bytes(big, 0));
    bytes = Repeated("z", member, 1000).Build();
    const uint64_t fit = OutputLimit(bytes.size()) / big;
    cases.push_back({"shared member bomb", bytes, "z " + N(member.size()) + " bytes\n" + tooMuch, fit + 2, 1,
                     Sizes{}, ""});

    // 33 nested levels, each holding its child twice: 2^33 small files, each
    // counted as 4,096 bytes.  Short names keep the paths short.  (The same
    // code as on POSIX: its 18,000 files take too long under the emulator.)
    Bytes child = ToBytes("leaf");
    for (int level = 0; level < 33; ++level) child = Repeated("a.d", child, 2).Build();
    if (!WindowsTool())
        cases.push_back({"nesting bomb", child, tooMuch, OutputLimit(child.size()) / 4096 + 2, 1, std::nullopt, "a.d"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(Path("out"));
        WriteFile(Path("x.dat"), c.archive);
        RunResult r = Run(c.letters);
        EXPECT_EQ(r.status, c.status);
        const std::string tail = Lines(c.tail);
        ASSERT_GE(r.out.size(), tail.size()) << r.out;
        EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
        if (c.lines != 0) {
            EXPECT_EQ(static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n')), c.lines);
        }
        if (c.files) {
            EXPECT_EQ(Exists("out") ? FileSizes(Path("out")) : Sizes{}, *c.files);
        }
        if (!c.kept.empty()) {
            EXPECT_TRUE(Exists("out/" + c.kept));
        }
    }
}

}  // namespace
}  // namespace clitest
