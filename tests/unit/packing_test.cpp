// Packing's pieces: the rebuilt archive (new data in the old place when they
// fit and nothing else lies there, else after the end; only records and the
// size field rewritten) and the owner notes (which entry became which file).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "format/archive_format.h"
#include "pack/file_owners.h"
#include "pack/rebuilt_archive.h"
#include "temp_file.h"

namespace {

using namespace testdat;

// Entries e1, e2, ... whose data are the stretches {start, size} of a block
// of 400 bytes that begins at an odd offset after the index (start, or
// where block is false, offset from the archive's start).
struct Span {
    uint32_t start, size;
    bool block = true;
};
Bytes Spanning(const std::vector<Span>& spans) {
    Archive a;
    for (size_t i = 0; i < spans.size(); ++i) a.entries.push_back(Named("e" + std::to_string(i + 1), Bytes{}));
    const uint32_t block = static_cast<uint32_t>(a.BuildHead().size()) + 1;
    for (size_t i = 0; i < spans.size(); ++i) {
        a.entries[i].offset = spans[i].start + (spans[i].block ? block : 0);
        a.entries[i].size = spans[i].size;
    }
    Bytes b = Cat(a.BuildHead(), Noise(401, 5));
    PutLE32(b, 4, static_cast<uint32_t>(b.size()));
    return b;
}

// New data for an entry, and where they should land.
struct Change {
    size_t entry;
    Bytes data;
    bool gzip;
    bool inPlace;
};

// Replaces c.entry of the original (a stretch at base of file) with
// c.data; returns the new size.
uint64_t Replace(RebuiltArchive& rebuilt, const File& file, uint64_t base, const Bytes& original, const Change& c) {
    const TableEntry old = ReadTableEntry(original.data() + TableEntryOffset(static_cast<int>(c.entry)));
    const auto source = TempFile(c.data);
    NewEntryData data{*source, c.data.size()};
    if (c.gzip) {
        data.header = &file;
        data.headerPos = base + old.offset;
        data.headerLength = GzipHeaderLength(original, old.offset);
    }
    uint64_t size = 0;
    EXPECT_EQ(rebuilt.Replace(static_cast<int>(c.entry), old, data, &size), BuildStep::kOk);
    return size;
}

TEST(RebuiltArchive, NewDataInTheOldPlaceOrAfterTheEnd) {
    const Bytes stored = Noise(3000, 1), tiny = ToBytes("tiny");
    const auto Four = [&](size_t alignment) {
        Archive a = Of({Named("a.txt", "alpha"), Named("b.bin", stored), Named("c.gz", Gzip(Noise(3000, 2))),
                        Named("d.gz", Gzip(tiny))});
        a.dataAlignment = alignment;
        return a.Build();
    };
    const Bytes aligned = Four(2048), packed = Four(1);
    struct Case {
        const char* what;
        Bytes original;
        size_t alignment;  // where appended data begin
        std::vector<Change> changes;
    };
    const Case cases[] = {
        {"nothing replaced", aligned, 2048, {}},
        {"stored, as long", aligned, 2048, {{1, Noise(3000, 3), false, true}}},
        {"stored, shorter: zeros after", aligned, 2048, {{0, ToBytes("al"), false, true}}},
        {"stored, longer: appended aligned", aligned, 2048, {{0, Noise(5000, 4), false, false}}},
        {"stored, longer, unaligned", packed, 1, {{0, ToBytes("alpha, longer"), false, false}}},
        {"two appended", aligned, 2048, {{0, Noise(100, 5), false, false}, {1, Noise(4000, 6), false, false}}},
        {"gzip, smaller: in place", aligned, 2048, {{2, ToBytes("short"), true, true}}},
        {"gzip, larger: appended, then stored", packed, 1,
         {{3, Noise(5000, 7), true, false}, {0, Noise(70, 8), false, false}}},
        // Entries sharing bytes with each other or with the index are never
        // written over.
        {"shared data", Spanning({{0, 100}, {0, 100}}), 1, {{0, Noise(50, 9), false, false}}},
        {"data overlapping in part", Spanning({{0, 100}, {50, 100}, {200, 50}}), 1,
         {{0, Noise(50, 9), false, false}, {2, Noise(25, 9), false, true}}},
        {"data over the header", Spanning({{0, 20, false}, {0, 100}}), 1,
         {{0, Noise(10, 9), false, false}, {1, Noise(50, 9), false, true}}},
        {"data over a name record", Spanning({{48, 8, false}, {0, 100}}), 1,
         {{0, Noise(4, 9), false, false}, {1, Noise(50, 9), false, true}}},
        {"an empty entry inside", Spanning({{0, 100}, {10, 0}}), 1, {{0, Noise(50, 9), false, true}}},
        {"one reaching over later ones", Spanning({{0, 300}, {10, 20}, {250, 100}, {360, 30}}), 1,
         {{3, Noise(15, 9), false, true}, {2, Noise(50, 9), false, false}, {1, Noise(10, 9), false, false},
          {0, Noise(150, 9), false, false}}},
    };
    for (const Case& c : cases) {
        for (const bool given : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (given ? ", built in a file given" : ""));
            const uint64_t base = 7;  // the original lies in a larger file, as a nested archive does
            const auto file = TempFile(Cat(Bytes(base, 0xEE), c.original));
            HeapBuffer buffer;
            ASSERT_EQ(buffer.Allocate(kIndexLimit), 0);
            RebuiltArchive rebuilt(buffer);
            rebuilt.SetOriginal(*file, base, c.original.size());
            const auto out = TempFile({});
            if (given) rebuilt.BuildIn(*out);
            std::vector<Replaced> replaced;
            uint64_t end = c.original.size();
            for (const Change& change : c.changes) {
                const uint64_t size = Replace(rebuilt, *file, base, c.original, change);
                const uint64_t old = LE32At(c.original, TableEntryOffset(static_cast<int>(change.entry)));
                const uint64_t at = change.inPlace ? old : (end + c.alignment - 1) / c.alignment * c.alignment;
                if (!change.inPlace) end = at + size;
                ASSERT_EQ(rebuilt.Length(), end);
                const Bytes now = FileBytes(rebuilt.Built(), end);
                const size_t record = TableEntryOffset(static_cast<int>(change.entry));
                EXPECT_EQ(LE32At(now, record), at);
                EXPECT_EQ(LE32At(now, record + 8), size);
                const Bytes data(now.begin() + static_cast<long>(at), now.begin() + static_cast<long>(at + size));
                EXPECT_EQ(change.gzip ? Gunzip(data) : data, change.data);
                replaced.push_back({change.entry, change.gzip});
            }
            EXPECT_EQ(rebuilt.Finish(), BuildStep::kOk);
            EXPECT_EQ(rebuilt.Changed(), !c.changes.empty());
            if (!given && c.changes.empty()) continue;  // nothing built
            const Bytes built = FileBytes(rebuilt.Built(), end);
            uint8_t past = 0;
            EXPECT_EQ(rebuilt.Built().ReadAt(end, &past, 1), 0);  // nothing after the end
            EXPECT_EQ(LE32At(built, 4), end);
            EXPECT_EQ(RebuiltLayoutFault(c.original, built, replaced), "");
        }
    }
}

// Offsets and sizes are 32 bits: data that would pass them are refused.
TEST(RebuiltArchive, RefusesDataPastFourGibibytes) {
    const Bytes original = Of({Named("a", "A")}).Build();
    const auto file = TempFile(original);
    File big;
    ASSERT_EQ(big.OpenTemporary(), 0);
    ASSERT_EQ(big.SetLength(uint64_t{1} << 32), 0);  // sparse
    HeapBuffer buffer;
    ASSERT_EQ(buffer.Allocate(kIndexLimit), 0);
    RebuiltArchive rebuilt(buffer);
    rebuilt.SetOriginal(*file, 0, original.size());
    uint64_t size = 0;
    const TableEntry old = ReadTableEntry(original.data() + TableEntryOffset(0));
    // Stored data of 4 GiB, and data that would end just past 4 GiB.
    for (const uint64_t length : {uint64_t{1} << 32, UINT32_MAX - original.size() + 1})
        EXPECT_EQ(rebuilt.Replace(0, old, NewEntryData{big, length}, &size), BuildStep::kTooLarge) << length;
    EXPECT_FALSE(rebuilt.Changed());
}

// The last note of a key counts, however the keys sort and whatever the
// positions hold.
TEST(FileOwners, TheLastNoteOfAKeyWins) {
    const std::string zeros("\0\0\0\0", 4), deep(400, '\x7F');
    struct Note {
        std::string key, position;
        bool gim, stays;
    };
    std::vector<Note> notes = {
        {"dir/a", zeros, false, true},     {"dir/a.txt", "\1\0\0\0", true, false}, {"dir", "", false, false},
        {"dir/a", deep, true, true},       {std::string("d\0x", 3), "\2", false, true}, {"", zeros + zeros, true, false},
        {"dir/a.txt", "\3\0\0\0", false, true},
    };
    // Enough notes of a few keys for the sorting to run out of small cases.
    for (int i = 0; i < 5000; ++i)
        notes.push_back({"k" + std::to_string(i % 50), std::to_string(i), i % 3 == 0, i % 2 == 0});
    FileOwners owners;
    for (const Note& n : notes) owners.Note(n.key, FileOwners::Owner{n.position, n.gim, n.stays});
    owners.Seal();
    std::map<std::string, Note> last;
    for (const Note& n : notes) last[n.key] = n;
    for (const auto& [key, note] : last) {
        FileOwners::Owner owner;
        ASSERT_TRUE(owners.Find(key, &owner)) << key;
        EXPECT_EQ(owner.position, note.position) << key;
        EXPECT_EQ(owner.gim, note.gim) << key;
        EXPECT_EQ(owner.stays, note.stays) << key;
    }
    FileOwners::Owner owner;
    for (const std::string missing : {"di", "dir/", "dir/a.tx", "dir/a.txt ", "d", "k50", "l"})
        EXPECT_FALSE(owners.Find(missing, &owner)) << missing;
    EXPECT_FALSE(FileOwners().Find("", &owner));
}

}  // namespace
