// The archive records: header, entry table and name records, read from an
// index that may end anywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dat_writer.h"
#include "format/archive_format.h"
#include "io/little_endian.h"
#include "tool_runner.h"
#include "walk/archive.h"

namespace {

using testdat::Bytes;

TEST(Records, LittleEndianReads) {
    const uint8_t bytes[] = {0x01, 0x02, 0x83, 0xF4, 0xFF, 0xFF};
    EXPECT_EQ(ReadLE16(bytes), 0x0201u);
    EXPECT_EQ(ReadLE16(bytes + 2), 0xF483u);
    EXPECT_EQ(ReadLE32(bytes), 0xF4830201u);
    EXPECT_EQ(ReadLE32(bytes + 2), 0xFFFFF483u);
}

TEST(Records, HeaderAndEntryFields) {
    Bytes index(kArchiveHeaderSize + 2 * kTableEntrySize, 0xEE);  // unused fields hold junk
    testdat::PutLE32(index, 0, 0x41445047);
    testdat::PutLE32(index, 4, 0x80000010);
    testdat::PutLE32(index, 12, 0xFFFFFFFF);
    testdat::PutLE32(index, 32, 0x11);
    testdat::PutLE32(index, 40, 0x22);
    testdat::PutLE32(index, 44, 0x33);

    ArchiveHeader h = ReadArchiveHeader(index.data());
    EXPECT_EQ(h.magic, 0x41445047u);
    EXPECT_EQ(h.fileSize, 0x80000010u);
    EXPECT_EQ(h.entryCount, -1);

    EXPECT_TRUE(IsArchiveOfLength(h, 0x180000010));  // the low 32 bits of the length count
    EXPECT_FALSE(IsArchiveOfLength(h, 0x80000011));
    TableEntry e = ReadTableEntry(index.data() + TableEntryOffset(1));
    EXPECT_EQ(e.offset, 0x11u);
    EXPECT_EQ(e.size, 0x22u);
    EXPECT_EQ(e.nameOffset, 0x33u);
    TableEntry junk = ReadTableEntry(index.data() + TableEntryOffset(0));
    EXPECT_EQ(junk.offset, 0xEEEEEEEEu);
}

// The entry count a header gives, clamped to the records the index holds:
// none for a count of 0 or less, never a record past the index.
TEST(Records, EntryCountClampedToTheIndex) {
    struct Case { uint64_t indexLen; int32_t count; int entries; bool tooLarge; };
    for (const Case& c : {Case{0, 1, 0, true}, Case{15, 0, 0, false}, Case{16, 1, 0, true}, Case{31, 1, 0, true},
                          Case{32, 1, 1, false}, Case{47, 2, 1, true}, Case{48, 2, 2, false}, Case{48, -5, 0, false},
                          Case{kIndexLimit, INT32_MAX, 65535, true}, Case{kIndexLimit, 65535, 65535, false}}) {
        const ArchiveHeader h{0x41445047, 0, c.count};
        EXPECT_EQ(TableEntryCount(h, c.indexLen), c.entries) << c.indexLen << " " << c.count;
        EXPECT_EQ(TableTooLarge(h, c.indexLen), c.tooLarge) << c.indexLen << " " << c.count;
    }
}

// A name record: the length field, then the text as given.
Bytes Record(uint32_t length, const std::string& text) {
    Bytes b(4);
    testdat::PutLE32(b, 0, length);
    b.insert(b.end(), text.begin(), text.end());
    return b;
}

Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Name records are read through the archive's index cache, from a file
// that is exactly the index: reading past its end would be a fault.
TEST(Records, NameRecordBounds) {
    struct Case {
        const char* what;
        Bytes records;  // after the 16-byte header, to the end of the index
        uint32_t nameOffset;
        int found;
        std::string text;
    };
    const Bytes pad(4, 'p');
    const std::vector<Case> cases = {
        {"ends at the index end", Join(pad, Record(3, "abc")), 20, 1, "abc"},
        {"stops at its length", Record(2, "abcd"), 16, 1, "ab"},
        {"stops at a zero byte", Record(9, std::string("ab\0cd", 5)), 16, 1, "ab"},
        {"zero byte is the last index byte", Record(100, std::string("ab\0", 3)), 16, 1, "ab"},
        {"zero length", Record(0, ""), 16, 1, ""},
        {"zero length at the very end", Join(pad, Record(0, "")), 20, 1, ""},
        {"length field straddles the end", Join(pad, Bytes{3, 0, 0}), 20, 0, ""},
        {"length field past the end", pad, 20, 0, ""},
        {"text runs past the end", Record(4, "abc"), 16, 0, ""},
        {"no zero byte before the end", Record(0xFFFFFFFF, "abc"), 16, 0, ""},
        {"a long text across blocks", Record(70000, std::string(70000, 'n')), 16, 1, std::string(70000, 'n')},
        {"offset far past the end", Record(0, ""), 1000, 0, ""},
        {"offset near the top", Record(0, ""), 0xFFFFFFFD, 0, ""},
        {"offset at the top", Record(0, ""), 0xFFFFFFFF, 0, ""},
    };
    const std::string dir = testdat::MakeTempDir();
    for (const Case& c : cases) {
        Bytes file = Join(Bytes(16, 0), c.records);
        testdat::PutLE32(file, 0, 0x41445047);
        testdat::PutLE32(file, 4, static_cast<uint32_t>(file.size()));
        testdat::WriteFile(dir + "/a.dat", file);
        Archive archive;
        Failure why;
        ASSERT_EQ(archive.Open(dir + "/a.dat", &why), 0) << c.what;
        std::string text = "stale";
        EXPECT_EQ(archive.ReadNameText(c.nameOffset, &text), c.found) << c.what;
        if (c.found == 1) {
            EXPECT_EQ(text, c.text) << c.what;
        }
    }
    testdat::RemoveTree(dir);
}

}  // namespace
