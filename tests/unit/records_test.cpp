// The archive records: header, entry table and name records, read from an
// index that may end anywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dat_writer.h"
#include "extract/extract.h"

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
    Bytes index(kHeaderSize + 2 * kEntrySize, 0xEE);  // unused fields hold junk
    testdat::PutLE32(index, 0, kDatMagic);
    testdat::PutLE32(index, 4, 0x80000010);
    testdat::PutLE32(index, 12, 0xFFFFFFFF);
    testdat::PutLE32(index, 32, 0x11);
    testdat::PutLE32(index, 40, 0x22);
    testdat::PutLE32(index, 44, 0x33);

    DatHeader h = ParseHeader(index.data());
    EXPECT_EQ(h.magic, kDatMagic);
    EXPECT_EQ(h.fileSize, 0x80000010u);
    EXPECT_EQ(h.entryCount, -1);

    DatEntry e = ParseEntry(index.data(), 1);
    EXPECT_EQ(e.offset, 0x11u);
    EXPECT_EQ(e.size, 0x22u);
    EXPECT_EQ(e.nameOffset, 0x33u);
    DatEntry junk = ParseEntry(index.data(), 0);
    EXPECT_EQ(junk.offset, 0xEEEEEEEEu);
}

TEST(Records, EntriesThatFitTheIndex) {
    struct Case { size_t indexLen; int fit; };
    for (const Case& c : {Case{0, 0}, Case{15, 0}, Case{16, 0}, Case{31, 0}, Case{32, 1}, Case{47, 1},
                          Case{48, 2}, Case{kIndexLimit, 65535}}) {
        EXPECT_EQ(EntriesThatFit(c.indexLen), c.fit) << c.indexLen;
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

TEST(Records, NameRecordBounds) {
    struct Case {
        const char* what;
        Bytes index;  // exactly the index: reading past it is a fault
        uint32_t nameOffset;
        bool ok;
        std::string text;
    };
    const Bytes pad(4, 'p');
    const std::vector<Case> cases = {
        {"ends at the index end", Join(pad, Record(3, "abc")), 4, true, "abc"},
        {"stops at its length", Record(2, "abcd"), 0, true, "ab"},
        {"stops at a zero byte", Record(9, std::string("ab\0cd", 5)), 0, true, "ab"},
        {"zero byte is the last index byte", Record(100, std::string("ab\0", 3)), 0, true, "ab"},
        {"zero length", Record(0, ""), 0, true, ""},
        {"zero length at the very end", Join(pad, Record(0, "")), 4, true, ""},
        {"length field straddles the end", Join(pad, Bytes{3, 0, 0}), 4, false, ""},
        {"length field past the end", pad, 4, false, ""},
        {"text runs past the end", Record(4, "abc"), 0, false, ""},
        {"no zero byte before the end", Record(0xFFFFFFFF, "abc"), 0, false, ""},
        {"offset far past the end", Record(0, ""), 1000, false, ""},
        {"offset near the top", Record(0, ""), 0xFFFFFFFD, false, ""},
        {"offset at the top", Record(0, ""), 0xFFFFFFFF, false, ""},
    };
    for (const Case& c : cases) {
        // A heap copy of the exact size, so a read past the end is caught.
        std::unique_ptr<uint8_t[]> index(new uint8_t[c.index.size()]);
        std::copy(c.index.begin(), c.index.end(), index.get());
        std::string text = "stale";
        EXPECT_EQ(ReadNameRecord(index.get(), c.index.size(), c.nameOffset, &text), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(text, c.text) << c.what;
        }
    }
}

}  // namespace
