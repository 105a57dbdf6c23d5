// Whole-program tests: a hand-laid archive, and one archive exercising the
// whole output tree at once.
#include "cli_fixture.h"

namespace clitest {
namespace {

class Basics : public CliTest {};

// Header, one record, a name record at 32, padding, data at 48.
TEST_F(Basics, UnpacksAHandLaidArchive) {
    const unsigned char raw[53] = {
        'G', 'P', 'D', 'A', 53, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,     // header
        48, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 32, 0, 0, 0,            // entry
        5, 0, 0, 0, 'a', '.', 'b', 'i', 'n', 0, 0, 0, 0, 0, 0, 0,    // name, padding
        'h', 'e', 'l', 'l', 'o'};
    EXPECT_TRUE(Gave(UnpackBytes(Bytes(raw, raw + sizeof raw)), 0, "a.bin 5 bytes\n", {{"a.bin", "hello"}}));
}

TEST_F(Basics, UnpacksAWholeTree) {
    const Bytes exact = Noise(1048576, 1), over = Noise(1048577, 2);
    Archive a;
    a.entries = {
        Named("top.txt", "top"),
        Named("dir/sub/deep.txt", "deep"),
        Named("win\\path\\file.txt", "win"),
        Named("mix/a\\b.txt", "mix"),
        Unnamed(ToBytes("anon")),
        Named("dir/\x95\x5C.txt", "hyo"),   // one character, trail byte 0x5C
        Named("\x95\x5C\\in.txt", "in"),    // the same character as a folder
        Named("blob/exact.bin", exact),
        Named("blob/over.bin", over),
        Named("blob/empty", ""),
    };
    const std::string listing = Listed("top.txt 3 bytes\n"
                                       "dir/sub/deep.txt 4 bytes\n"
                                       "win\\path\\file.txt 3 bytes\n"
                                       "mix/a\\b.txt 3 bytes\n"
                                       "big_05.dat 4 bytes\n"
                                       "dir/\x95\x5C.txt 3 bytes\n"
                                       "\x95\x5C\\in.txt 2 bytes\n"
                                       "blob/exact.bin 1048576 bytes\n"
                                       "blob/over.bin 1048577 bytes\n"
                                       "blob/empty 0 bytes\n");
    const TreeMap want = {
        {"top.txt", "top"},
        {"dir/", ""},
        {"dir/sub/", ""},
        {"dir/sub/deep.txt", "deep"},
        {"dir/\x95\x5C.txt", "hyo"},
        {"win/", ""},
        {"win/path/", ""},
        {"win/path/file.txt", "win"},
        {"mix/", ""},
        {"mix/a/", ""},
        {"mix/a/b.txt", "mix"},
        {"big_05.dat", "anon"},
        {"\x95\x5C/", ""},
        {"\x95\x5C/in.txt", "in"},
        {"blob/", ""},
        {"blob/exact.bin", ToString(exact)},
        {"blob/over.bin", ToString(over)},
        {"blob/empty", ""},
    };
    TreeMap host;
    for (const auto& [path, contents] : want) host[HostName(path)] = contents;
    EXPECT_TRUE(Gave(Unpack(a, "big.dat"), 0, listing, host));
}

}  // namespace
}  // namespace clitest
