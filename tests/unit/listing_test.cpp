// The listing: an error line always starts a line of its own, whatever state
// the entry's line is in, and every error line and inflate code counts as a
// failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "unpack/listing.h"

namespace {

EntryRecord Record(const char* prefix, const char* name, uint32_t size) {
    EntryRecord r;
    r.archivePath = "a.dat";
    r.number = 3;
    r.prefix = prefix;
    r.name = name;
    r.named = true;
    r.size = size;
    return r;
}

// What a sequence of events prints, and how many failures it counts.
std::string Printed(const std::function<void(Listing&)>& events, uint64_t* failures,
                    Listing::Style style = Listing::Style::kText) {
    std::FILE* f = std::tmpfile();
    if (f == nullptr) return "no temporary file";
    {
        Listing listing(f, style);
        events(listing);
        *failures = listing.Failures();
    }
    std::string out(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    if (std::fread(&out[0], 1, out.size(), f) != out.size()) out = "unreadable";
    std::fclose(f);
    return out;
}

TEST(Listing, LinesAndFailures) {
    struct Case {
        const char* what;
        std::function<void(Listing&)> events;
        const char* printed;
        uint64_t failures;
    };
    const std::vector<Case> cases = {
        {"stored", [](Listing& l) { EntryRecord r = Record("ui/", "a.bin", 5); l.BeginEntry(r), l.EndEntry(), l.EntryDone(); },
         "ui/a.bin 5 bytes\n", 0},
        {"gzip",
         [](Listing& l) { EntryRecord r = Record("", "b", 30); l.BeginEntry(r), l.Expanded(4294967296), l.EndEntry(), l.EntryDone(); },
         "b 30 bytes to 4294967296 bytes\n", 0},
        {"error in an open line",
         [](Listing& l) { EntryRecord r = Record("", "c", 1); l.BeginEntry(r), l.Error(Failure::kCannotCreate, "o/c"), l.EntryDone(); },
         "c 1 bytes\nerror : cannot create o/c\n", 1},
        {"error after the line ended",
         [](Listing& l) {
             EntryRecord r = Record("", "g", 9);
             l.BeginEntry(r), l.Expanded(3), l.EndEntry(), l.Error(Failure::kBadGzipChecksum, "o/g"), l.EntryDone();
         },
         "g 9 bytes to 3 bytes\nerror : bad gzip checksum o/g\n", 1},
        {"inflate code, then the size on the next line",
         [](Listing& l) {
             EntryRecord r = Record("", "z", 7);
             l.BeginEntry(r), l.InflateCode(-3), l.Expanded(2), l.EndEntry(), l.EntryDone();
         },
         "z 7 bytes-3\n to 2 bytes\n", 1},
        {"inflate code, then an error",
         [](Listing& l) {
             EntryRecord r = Record("", "z", 7);
             l.BeginEntry(r), l.InflateCode(-5), l.Error(Failure::kCannotWrite, "o/z"), l.EntryDone();
         },
         "z 7 bytes-5\nerror : cannot write o/z\n", 2},
        {"errors with no entry",
         [](Listing& l) { EntryRecord r = Record("", "", 0); l.Error(Failure::kUnknownFormat, "a.dat"), l.BadEntry(r); },
         "error : unknown format a.dat\nerror : bad entry 3 in a.dat\n", 2},
        {"listed entries",
         [](Listing& l) {
             EntryRecord s = Record("d/", "a b.bin", 5), g = Record("", "g", 40), o = Record("", "o", 9);
             s.kind = EntryRecord::Kind::kStored, s.content = EntryRecord::Content::kData;
             g.kind = EntryRecord::Kind::kGzip, g.content = EntryRecord::Content::kArchive, g.expanded = 4096;
             l.ListEntry(s), l.EntryDone(), l.ListEntry(g), l.EntryDone(), l.ListEntry(o);
             l.Error(Failure::kEntryOutOfRange, "a.dat"), l.EntryDone();
         },
         "           5            - stored data    d/a b.bin\n"
         "          40         4096 gzip   archive g\n"
         "           9            ? ?      ?       o\nerror : entry out of range a.dat\n",
         1},
        {"packed: a line once the fate is known, a nested archive's after its entries', failures after it",
         [](Listing& l) {
             l.StartPacking();
             EntryRecord n = Record("", "n.dat", 50), a = Record("n/", "a", 3), b = Record("n/", "b", 7), bad = Record("", "", 0);
             l.BeginEntry(n), l.Error(Failure::kBadGzipChecksum, "o/n.dat"), l.EntryDone();
             l.BeginEntry(a), l.InflateCode(-3), a.fate = EntryRecord::Fate::kReplaced, a.newSize = 4, l.EntryPacked();
             l.BeginEntry(b), l.Error(Failure::kMissing, "o/n/b"), b.fate = EntryRecord::Fate::kMissing, l.EntryPacked();
             l.BadEntry(bad);
             n.fate = EntryRecord::Fate::kKept, l.EntryPacked(), l.Unused("o/x"), l.PackSummary();
         },
         "n/a 3 bytes replaced by 4 bytes\n-3\nerror : missing o/n/b\nerror : bad entry 3 in a.dat\n"
         "n.dat 50 bytes kept\nerror : bad gzip checksum o/n.dat\nunused o/x\n4 entries: 2 kept, 1 replaced, 1 missing\n",
         4},
    };
    for (const Case& c : cases) {
        uint64_t failures = 99;
        EXPECT_EQ(Printed(c.events, &failures), c.printed) << c.what;
        EXPECT_EQ(failures, c.failures) << c.what;
    }
}

// JSON Lines: an entry's object comes before its failures', and a name that
// is not UTF-8 is written as its bytes read as Latin-1, escaped.
TEST(Listing, JsonObjectsAndEscapes) {
    uint64_t failures = 0;
    const std::string printed = Printed(
        [](Listing& l) {
            EntryRecord r = Record("", "\x95\x5C.bin", 4);
            r.nameBytes = "\x95\x5C.bin";
            r.kind = EntryRecord::Kind::kStored;
            r.output = "o/\x95\x5C.bin";
            l.BeginEntry(r), l.Error(Failure::kCannotCreate, r.output), l.EntryDone();
            EntryRecord u = Record("", "\xE8\xA1\xA8", 0);
            l.BeginEntry(u), l.EndEntry(), l.EntryDone();
        },
        &failures, Listing::Style::kJson);
    EXPECT_EQ(printed,
              "{\"path\":\"\\u0095\\\\.bin\",\"archive\":\"a.dat\",\"entry\":3,\"offset\":0,\"size\":4,\"kind\":\"stored\","
              "\"content\":null,\"expanded\":null,\"output\":\"o/\\u0095\\\\.bin\",\"name_hex\":\"955c2e62696e\"}\n"
              "{\"error\":\"cannot create\",\"path\":\"o/\\u0095\\\\.bin\",\"entry\":3,\"archive\":\"a.dat\"}\n"
              "{\"path\":\"\xE8\xA1\xA8\",\"archive\":\"a.dat\",\"entry\":3,\"offset\":0,\"size\":0,\"kind\":null,"
              "\"content\":null,\"expanded\":null,\"output\":null}\n");
    EXPECT_EQ(failures, 1u);
}

}  // namespace
