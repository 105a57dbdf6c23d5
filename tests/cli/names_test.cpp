// Whole-program tests of code page 932 (Shift-JIS) names, as the archives of
// Japanese games carry them: both builds decode them to UTF-8 and write the
// same tree, unless -r keeps the bytes (on Windows, handed to the system in
// its ANSI code page).
#include <cstdio>

#include "cli_fixture.h"

namespace clitest {
namespace {

// Code page 932 spellings.
const std::string kFolder = "\x83\x74\x83\x48\x83\x8B\x83\x5F";  // フォルダ
const std::string kHyo = "\x95\x5C";                             // 表: trail byte 0x5C
const std::string kName = "\x96\xBC\x91\x4F";                    // 名前
const std::string kWide = "\x91\x53\x8A\x70\x81\x40\x8B\xF3\x94\x92";  // 全角　空白: U+3000 inside
const std::string kText = "\x83\x65\x83\x4C\x83\x58\x83\x67";    // テキスト
const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";            // ソフト: trail byte 0x5C
const std::string kKana = "\xB6\xC5";                            // ｶﾅ: half-width

// A nested archive whose unnamed entries are named after it.
Archive Nested() {
    Archive a;
    a.entries = {Unnamed(ToBytes("one")), Named(kKana + ".txt", "kana"), Unnamed(ToBytes("two"))};
    return a;
}

Bytes TextMember() {
    GzipOptions named;
    named.fname = kText + ".txt.gz";
    return Gzip(ToBytes("text"), named);
}

Archive ShiftJisArchive() {
    Archive a;
    a.entries = {
        Named(kFolder + "\\" + kHyo + ".bin", "hyo"),
        Named(kName + ".txt x", "name"),  // cut at its last space
        Named(kWide + ".txt", "wide"),    // an ideographic space is no space
        Named("g.gz", TextMember()),
        Named(kSoft + ".dat", Nested().Build()),
    };
    return a;
}

class ShiftJisNames : public CliTest {};

TEST_F(ShiftJisNames, DecodedUnlessRawNamesAreAsked) {
    const std::string nested = ToString(Nested().Build());
    const std::string listing = kFolder + "\\" + kHyo + ".bin 3 bytes\n" + kName + ".txt 4 bytes\n" + kWide +
                                ".txt 4 bytes\ng.gz " + std::to_string(TextMember().size()) + " bytes to 4 bytes\n" +
                                kSoft + ".dat " + std::to_string(nested.size()) + " bytes\n";
    const std::string nestedListing = kSoft + "/" + kSoft + "_01.dat 3 bytes\n" + kSoft + "/" + kKana +
                                      ".txt 4 bytes\n" + kSoft + "/" + kSoft + "_03.dat 3 bytes\n";
    const TreeMap tree = {{kFolder + "/", ""},    {kFolder + "/" + kHyo + ".bin", "hyo"},
                          {kName + ".txt", "name"}, {kWide + ".txt", "wide"},
                          {kText + ".txt", "text"}};
    const TreeMap nestedTree = {{kSoft + "/", ""},
                                {kSoft + "/" + kSoft + "_01.dat", "one"},
                                {kSoft + "/" + kKana + ".txt", "kana"},
                                {kSoft + "/" + kSoft + "_03.dat", "two"}};

    struct Case { std::string letters; bool raw; bool recurse; };
    ShiftJisArchive().Write(Path("x.dat"));
    for (const Case& c : {Case{"", false, true}, Case{"r", true, true}, Case{"sr", true, false}}) {
        // Raw names make sense to Windows only where its code page is 932.
        if (c.raw && WindowsTool() && !WindowsCodePage932()) continue;
        RemoveTree(Path("out"));
        // With -r the listing prints the bytes; the files have them as
        // names on POSIX, the code page's characters on Windows.
        const bool rawFiles = c.raw && !WindowsTool();
        const std::string printed = listing + (c.recurse ? nestedListing : "");
        TreeMap want = tree;
        if (c.recurse)
            want.insert(nestedTree.begin(), nestedTree.end());
        else
            want[kSoft + ".dat"] = nested;
        TreeMap hostWant;
        for (const auto& [path, contents] : want) hostWant[rawFiles ? path : HostName(path)] = contents;
        EXPECT_TRUE(Gave(Run(c.letters), 0, c.raw ? printed : Listed(printed), hostWant)) << c.letters;
    }
}

// Every character of code page 932 (double-byte ones as iconv knows them),
// a few dozen to a name, each name numbered so that no two differ only in
// case; then names with bytes that are no character, and a folder whose name
// holds the trail byte 0x5C.
std::vector<Entry> EveryCharacter() {
    std::vector<std::string> chars;
    for (int c = 0xA1; c <= 0xDF; ++c) chars.push_back(std::string(1, static_cast<char>(c)));
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string pair = {static_cast<char>(lead), static_cast<char>(trail)};
            if (trail != 0x7F && !HostName(pair).empty()) chars.push_back(pair);
        }
    }
    std::vector<Entry> entries;
    const size_t perName = 32;
    for (size_t first = 0; first < chars.size(); first += perName) {
        char number[24];
        std::snprintf(number, sizeof number, "%03zu-", first / perName);
        std::string name = number;
        for (size_t k = first; k < chars.size() && k < first + perName; ++k) name += chars[k];
        entries.push_back(Named("all/" + name, number));
    }
    for (const std::string invalid : {
             "lead_at_the_end\x95",
             "lead_before_a_dot\x95.txt",
             "lead_before_a_separator\x95/f",
             "single_bytes_\x80\xA0\xFD\xFE\xFF",
             "pair_without_a_character_\x85\x40\xEB\x40",
             "\x95\x5C\x8E\xA6\\trail_byte_0x5C_in_the_folder",  // 表示\...
         })
        entries.push_back(Named("all/" + invalid, invalid));
    return entries;
}

std::string WithoutCr(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '\r') out += c;
    return out;
}

// Both builds write the same tree, names and contents, and print the same
// listing, apart from the line ends.
TEST_F(ShiftJisNames, PosixBuildWritesTheWindowsTree) {
    if (!WindowsTool()) GTEST_SKIP() << "compares the Windows build with the POSIX build";
    Archive a = ShiftJisArchive();
    for (Entry& e : EveryCharacter()) a.entries.push_back(std::move(e));
    a.Write(Path("x.dat"));
    RunResult windows = RunTool({ToolPath(Path("x.dat")), ToolPath(Path("windows"))});
    RunResult posix = RunPosixBuild({Path("x.dat"), Path("posix")});
    EXPECT_EQ(windows.status, 0);
    EXPECT_EQ(posix.status, 0);
    EXPECT_EQ(WithoutCr(windows.out), posix.out);
    const TreeMap windowsTree = Tree(Path("windows")), posixTree = Tree(Path("posix"));
    EXPECT_EQ(windowsTree.size(), posixTree.size());
    // Five folders, and three files in place of the nested archive.
    EXPECT_EQ(windowsTree.size(), a.entries.size() + 7);
    // Name by name: the whole map would print some 10,000 characters.
    for (const auto& [path, contents] : windowsTree) {
        auto it = posixTree.find(path);
        EXPECT_TRUE(it != posixTree.end() && it->second == contents) << path;
    }
}

}  // namespace
}  // namespace clitest
