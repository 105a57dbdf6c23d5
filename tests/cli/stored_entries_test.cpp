// Whole-program tests: stored entries, their listing lines and their names.
#include "cli_fixture.h"

namespace clitest {
namespace {

class StoredEntries : public CliTest {};

// Entry a.bin gets its offset or size overridden; b.bin follows.  a.bin's
// data starts at 66 and the file is 73 bytes long.
TEST_F(StoredEntries, DataBeyondTheEndIsOutOfRange) {
    Archive a;
    a.entries.push_back(Named("a.bin", "hello"));
    a.entries.push_back(Named("b.bin", "bb"));
    const uint32_t len = static_cast<uint32_t>(a.Build().size());
    ASSERT_EQ(len, 73u);
    // data: what a.bin holds, or nullptr when it is out of range.
    struct Case { std::optional<uint32_t> offset, size; std::string listed; const char* data; };
    for (const Case& c : {Case{{}, 8u, "a.bin 8 bytes", nullptr},
                          Case{{}, 7u, "a.bin 7 bytes", "hellobb"},
                          Case{len - 4, {}, "a.bin 5 bytes", nullptr},
                          Case{0xFFFFFFFFu, 1u, "a.bin 1 bytes", nullptr},
                          Case{{}, 0x80000000u, "a.bin 2147483648 bytes", nullptr},
                          Case{{}, 0xFFFFFFFFu, "a.bin 4294967295 bytes", nullptr},
                          Case{len + 1, 0u, "a.bin 0 bytes", nullptr},
                          Case{len, 0u, "a.bin 0 bytes", ""},
                          Case{len - 2, 2u, "a.bin 2 bytes", "bb"}}) {
        a.entries[0].offset = c.offset;
        a.entries[0].size = c.size;
        const bool ok = c.data != nullptr;
        const std::string error = ok ? "\n" : "\nerror : entry out of range " + Dat() + "\n";
        TreeMap want = {{"b.bin", "bb"}};
        if (ok) want["a.bin"] = c.data;
        EXPECT_TRUE(Gave(Unpack(a), ok ? 0 : 1, c.listed + error + "b.bin 2 bytes\n", want)) << c.listed;
    }
}

// Only a member of two bytes or more can start with the gzip signature.
TEST_F(StoredEntries, TinyEntriesAreStoredBeforeGzipBytes) {
    Archive a;
    a.entries.push_back(Named("empty.bin", ""));  // the next bytes are 1F 8B
    a.entries.push_back(Named("one.bin", "\x1F"));
    a.entries.push_back(Named("rest.bin", "\x8B\x08z"));
    EXPECT_TRUE(Gave(Unpack(a), 0, "empty.bin 0 bytes\none.bin 1 bytes\nrest.bin 3 bytes\n",
                     {{"empty.bin", ""}, {"one.bin", "\x1F"}, {"rest.bin", "\x8B\x08z"}}));
}

TEST_F(StoredEntries, StoredNames) {
    struct Case { std::string stored, listed, file; };
    for (const Case& c : {
             Case{"title.gim extra", "title.gim", "title.gim"},
             Case{"a b c", "a b", "a b"},
             Case{"sp ace.gz tail", "sp ace.gz", "sp ace"},
             Case{std::string("abc\0def", 7), "abc", "abc"},
             Case{"model.bin.gz", "model.bin.gz", "model.bin"},
             Case{"a.gzip", "a.gzip", "a"},
             Case{"x.gz.y", "x.gz.y", "x"},
             Case{"dir/a.gz/b", "dir/a.gz/b", "dir/a"},
             Case{"MODEL.BIN.GZ", "MODEL.BIN.GZ", "MODEL.BIN.GZ"},
             Case{"\x95\x5C.gz", "\x95\x5C.gz", "\x95\x5C"},  // a double-byte character first
             Case{"\x95\x5C x", "\x95\x5C", "\x95\x5C"},
         }) {
        Archive a;
        a.entries.push_back(Named(c.stored, "D"));
        TreeMap want = {{HostName(c.file), "D"}};
        if (c.file == "dir/a") want["dir/"] = "";
        EXPECT_TRUE(Gave(Unpack(a), 0, Listed(c.listed) + " 1 bytes\n", want)) << c.listed;
    }
}

// Unnamed entry i is "<archive name without extension>_NN.dat", NN = i + 1.
TEST_F(StoredEntries, MadeUpNames) {
    struct Case { std::string archive, name; };
    std::vector<Case> cases = {{"pack.dat", "pack_02.dat"}, {"my.pack.dat", "my.pack_02.dat"},
                               {"noext", "noext_02.dat"}, {".dat", "_02.dat"}};
    if (!WindowsTool()) cases.push_back({"a\\b.dat", "b_02.dat"});
    Archive a;
    a.entries.push_back(Named("n.txt", "1"));
    a.entries.push_back(Unnamed(ToBytes("2")));
    for (const Case& c : cases)
        EXPECT_TRUE(Gave(Unpack(a, c.archive), 0, "n.txt 1 bytes\n" + c.name + " 1 bytes\n",
                         {{"n.txt", "1"}, {c.name, "2"}}))
            << c.archive;
}

TEST_F(StoredEntries, MadeUpNumbersGrowPastTwoDigits) {
    Archive a;
    for (int i = 0; i < 100; ++i) a.entries.push_back(Unnamed({}));
    RunResult r = Unpack(a, "pack.dat");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find(Lines("pack_01.dat 0 bytes\npack_02.dat 0 bytes\n")), 0u);
    EXPECT_NE(r.out.find(Lines("\npack_11.dat 0 bytes\npack_12.dat 0 bytes\n")), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - Lines("pack_99.dat 0 bytes\npack_100.dat 0 bytes\n").size()),
              Lines("pack_99.dat 0 bytes\npack_100.dat 0 bytes\n"));
    TreeMap tree = Out();
    EXPECT_EQ(tree.size(), 100u);
    EXPECT_EQ(tree.count("pack_12.dat") + tree.count("pack_100.dat"), 2u);
}

TEST_F(StoredEntries, LaterEntryWins) {
    Archive a;
    a.entries.push_back(Named("same.txt", "first"));
    a.entries.push_back(Named("same.txt", "2nd"));
    a.entries.push_back(Named("d/x", "slash"));
    a.entries.push_back(Named("d\\x", "back"));
    EXPECT_TRUE(Gave(Unpack(a), 0, "same.txt 5 bytes\nsame.txt 3 bytes\nd/x 5 bytes\nd\\x 4 bytes\n",
                     {{"same.txt", "2nd"}, {"d/", ""}, {"d/x", "back"}}));
}

// A name that ends up empty names the destination folder itself.
TEST_F(StoredEntries, EmptyNameCannotBeCreated) {
    for (const std::string& stored : {std::string(" abc"), std::string()}) {
        Archive a;
        a.entries.push_back(Named(stored, "1"));
        a.entries.push_back(Named("ok.txt", "2"));
        EXPECT_TRUE(Gave(Unpack(a), 1, " 1 bytes\nerror : cannot create " + Printed(Path("out/")) + "\nok.txt 1 bytes\n",
                         {{"ok.txt", "2"}}))
            << stored;
    }
}

// Names are never cut to fit a buffer: one the system refuses fails at
// creation, printed whole, and the walk goes on.
TEST_F(StoredEntries, OverlongNamesFailOnlyAtCreation) {
    std::string deep;
    for (int i = 0; i < 50; ++i) deep += std::string(100, 'd') + "/";
    for (const std::string& name : {std::string(300, 'n'), deep + "f"}) {
        Archive a;
        a.entries.push_back(Named(name, "1"));
        a.entries.push_back(Named("ok.txt", "2"));
        RunResult r = Unpack(a);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, Lines(name + " 1 bytes\nerror : cannot create " + Printed(Path("out/" + name)) +
                               "\nok.txt 1 bytes\n"));
        EXPECT_EQ(Out()["ok.txt"], "2");
    }
}

}  // namespace
}  // namespace clitest
