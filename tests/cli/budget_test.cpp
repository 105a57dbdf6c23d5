// Whole-program tests: the budgets of one run (nested archives, entries) and
// the nesting bombs they stop.
#include <unistd.h>

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
        SCOPED_TRACE(c.bomb.size());
        RemoveTree(Path("out"));
        RunResult r = UnpackBytes(c.bomb);
        EXPECT_EQ(r.status, 1);
        std::string expected;
        TreeMap want;
        for (int i = 1; i <= c.spanning; ++i) {
            const std::string name = "x_0" + N(i) + ".dat";
            expected += name + " " + N(c.bomb.size()) + " bytes\nerror : archive contains itself " +
                        Printed(Path("out/" + name)) + "\n";
            want[name] = ToString(c.bomb);
        }
        EXPECT_EQ(r.out, Lines(expected + c.tail));
        EXPECT_EQ(Out(), want);
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

}  // namespace
}  // namespace clitest
