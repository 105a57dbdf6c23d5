// Whole-program tests: which files are taken as archives, and the bounds of
// the index (entry table and name records within the first 1 MiB).
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "cli_fixture.h"

namespace clitest {
namespace {

constexpr size_t kIndex = 0x100000;

class Opening : public CliTest {};

Bytes WithLE32(Bytes b, size_t pos, uint32_t v) {
    PutLE32(b, pos, v);
    return b;
}

// Only a regular file is an archive.  A FIFO is refused at once rather than
// waited on for a writer; so are devices and sockets.
TEST_F(Opening, CannotOpen) {
    std::filesystem::create_directory(Path("folder.dat"));
    std::vector<std::string> paths = {Path("missing.dat"), Path("folder.dat")};
    if (!WindowsTool()) {
        ASSERT_EQ(mkfifo(Path("fifo.dat").c_str(), 0600), 0);
        int sock = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string sockPath = Path("sock.dat");
        ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
        std::strcpy(addr.sun_path, sockPath.c_str());
        ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        close(sock);
        paths.insert(paths.end(), {Path("fifo.dat"), sockPath, "/dev/null"});
    }
    for (const std::string& path : paths) {
        RunResult r = RunTool({ToolPath(path), ToolPath(Path("out"))});
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.out, Lines("error : cannot open " + Printed(path) + "\n"));
    }
    EXPECT_FALSE(Exists("out"));
}

TEST_F(Opening, UnknownFormat) {
    Archive a;
    a.entries.push_back(Named("a.bin", "hello"));
    const Bytes good = a.Build();
    const uint32_t len = static_cast<uint32_t>(good.size());
    for (const Bytes& bytes : {Bytes{}, ToBytes("GPD"), ToBytes("GPDA"), ToBytes("GPDA\x04"),
                               WithLE32(good, 0, 0x42445047),  // "GPDB"
                               WithLE32(good, 0, 0x61647067),  // "gpda"
                               WithLE32(good, 4, len + 1), WithLE32(good, 4, len - 1),
                               WithLE32(good, 4, 0)}) {
        EXPECT_TRUE(Gave(UnpackBytes(bytes), 1, "error : unknown format " + Dat() + "\n", {})) << bytes.size();
        EXPECT_FALSE(Exists("out"));
    }
}

// Archives with nothing to unpack: silence, status 0, no folder made.
TEST_F(Opening, NothingToUnpack) {
    Archive a;
    a.entries.push_back(Named("a.bin", "hello"));
    std::vector<Bytes> cases = {WithLE32(ToBytes("GPDA"), 4, 8), WithLE32(WithLE32(ToBytes("GPDA"), 4, 12), 8, 0)};
    for (int32_t count : {0, -1, INT32_MIN}) {
        a.entryCount = count;
        cases.push_back(a.Build());
    }
    for (const Bytes& bytes : cases) {
        EXPECT_TRUE(Gave(UnpackBytes(bytes), 0, "", {})) << bytes.size();
        EXPECT_FALSE(Exists("out"));
    }
}

TEST_F(Opening, UnusedFieldsHaveNoEffect) {
    Archive a;
    a.entries.push_back(Named("a.bin", "hello"));
    a.entries.push_back(Unnamed(ToBytes("xyz")));
    for (uint32_t filler : {0u, 0xFFFFFFFFu}) {
        Bytes b = a.Build();
        PutLE32(b, 8, filler);
        PutLE32(b, 16 + 4, filler);
        PutLE32(b, 32 + 4, filler);
        EXPECT_TRUE(
            Gave(UnpackBytes(b), 0, "a.bin 5 bytes\nx_02.dat 3 bytes\n", {{"a.bin", "hello"}, {"x_02.dat", "xyz"}}))
            << filler;
    }
}

// The recorded size is 32 bits wide: a file 4 GiB longer (a sparse tail
// here) still matches it.
TEST_F(Opening, OnlyTheLowThirtyTwoBitsOfTheLengthCount) {
    Archive a;
    a.entries.push_back(Named("a.bin", "hello"));
    const Bytes b = a.Build();
    WriteFile(Path("x.dat"), b);
    std::filesystem::resize_file(Path("x.dat"), (uint64_t{1} << 32) + b.size());
    EXPECT_TRUE(Gave(Run(""), 0, "a.bin 5 bytes\n", {{"a.bin", "hello"}}));
}

TEST_F(Opening, EntriesThatFitComeBeforeTheTableIsRefused) {
    Archive one, two;
    one.entries.push_back(Named("a.bin", "hello"));  // 46 bytes: one record fits
    one.entryCount = 3;
    two.entries.push_back(Named("a", "1"));
    two.entries.push_back(Named("b", "2"));  // 60 bytes: two records fit
    two.entryCount = 4;
    Bytes headerOnly = WithLE32(WithLE32(ToBytes("GPDA"), 4, 16), 12, 1);
    struct Case { Bytes bytes; std::string out; TreeMap tree; };
    for (const Case& c : {Case{one.Build(), "a.bin 5 bytes\n", {{"a.bin", "hello"}}},
                          Case{two.Build(), "a 1 bytes\nb 1 bytes\n", {{"a", "1"}, {"b", "2"}}},
                          Case{headerOnly, "", {}}})
        EXPECT_TRUE(Gave(UnpackBytes(c.bytes), 1, c.out + "error : entry table too large " + Dat() + "\n", c.tree))
            << c.out;
}

// Records past the first 1 MiB are not read even when the file holds them.
TEST_F(Opening, EntryTableEndsAtOneMebibyte) {
    Bytes b(kIndex + 16, 0xFF);
    PutLE32(b, 0, 0x41445047);
    PutLE32(b, 4, static_cast<uint32_t>(b.size()));
    PutLE32(b, 12, 65536);  // 65535 records fit; every name offset is 0xFFFFFFFF
    RunResult r = UnpackBytes(b);
    EXPECT_EQ(r.status, 1);
    const std::string last = "error : bad entry 65535 in " + Dat() + "\nerror : entry table too large " +
                             Dat() + "\n";
    ASSERT_GE(r.out.size(), last.size());
    EXPECT_EQ(r.out.substr(r.out.size() - Lines(last).size()), Lines(last));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 65536);
    EXPECT_FALSE(Exists("out"));
}

// Entry 2's name record is moved about; entries 1 and 3 are unaffected.
TEST_F(Opening, NameRecordMustLieInTheIndex) {
    Archive a;
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) a.entries.push_back(Named(n, "XYZ"));
    const Bytes base = a.Build();
    const uint32_t len = static_cast<uint32_t>(base.size());
    // The record at nameOffset, appended at the end when given.
    struct Case { uint32_t nameOffset; std::string appended; bool ok; };
    const std::string kName = "b.txt";
    auto Record = [](uint32_t length, const std::string& text) {
        Bytes r;
        PutLE32(r, 0, length);
        return ToString(r) + text;
    };
    for (const Case& c : {Case{len, "", false}, Case{len - 3, "", false}, Case{0xFFFFFFFF, "", false},
                          Case{len, Record(6, kName), false},                   // text runs past the end
                          Case{len, Record(5, kName), true},                    // ends at the end
                          Case{len, Record(9, kName + '\0'), true},             // zero byte ends it
                          Case{len, Record(0xFFFFFFFF, kName + '\0'), true}}) {
        Bytes b = base;
        b.insert(b.end(), c.appended.begin(), c.appended.end());
        PutLE32(b, 4, static_cast<uint32_t>(b.size()));
        PutLE32(b, 16 + 16 + 12, c.nameOffset);
        const std::string middle = c.ok ? "b.txt 3 bytes\n" : "error : bad entry 2 in " + Dat() + "\n";
        TreeMap tree = {{"a.txt", "XYZ"}, {"c.txt", "XYZ"}};
        if (c.ok) tree["b.txt"] = "XYZ";
        EXPECT_TRUE(Gave(UnpackBytes(b), c.ok ? 0 : 1, "a.txt 3 bytes\n" + middle + "c.txt 3 bytes\n", tree))
            << c.nameOffset << " " << c.appended.size();
    }
}

// In a file longer than 1 MiB, a name record must end by the 1 MiB mark.
TEST_F(Opening, NameRecordPastOneMebibyteIsOutside) {
    Archive a;
    a.entries.push_back(Named("a.txt", "AAA"));
    a.entries.push_back(Named("big.bin", Noise(kIndex + 64, 7)));
    const Bytes base = a.Build();
    struct Case { size_t at; bool ok; };
    for (const Case& c : {Case{kIndex - 9, true}, Case{kIndex - 8, false}, Case{kIndex - 2, false},
                          Case{kIndex + 10, false}}) {
        Bytes b = base;
        PutLE32(b, c.at, 5);
        std::copy_n("n.txt", 5, b.begin() + static_cast<long>(c.at) + 4);
        PutLE32(b, 16 + 12, static_cast<uint32_t>(c.at));
        RunResult r = UnpackBytes(b);
        EXPECT_EQ(r.status, c.ok ? 0 : 1) << c.at;
        EXPECT_EQ(r.out, Lines((c.ok ? std::string("n.txt 3 bytes\n") : "error : bad entry 1 in " + Dat() + "\n") +
                               "big.bin 1048640 bytes\n")) << c.at;
        TreeMap tree = Out();
        EXPECT_EQ(tree.count("n.txt"), c.ok ? 1u : 0u);
        EXPECT_EQ(tree["big.bin"], ToString(Bytes(b.end() - static_cast<long>(kIndex + 64), b.end())));
    }
}

}  // namespace
}  // namespace clitest
