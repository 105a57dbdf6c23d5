// The listing: an error line always starts a line of its own, whatever state
// the entry's line is in, and every error line and inflate code counts as a
// failure of the run.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "listing/entry_lines.h"
#include "listing/pack_lines.h"
#include "walk/run.h"

namespace {

ListedEntry Record(const char* prefix, const char* name, uint32_t size) {
    ListedEntry r;
    r.archivePath = "a.dat";
    r.number = 3;
    r.prefix = prefix;
    r.name = name;
    r.named = true;
    r.size = size;
    return r;
}

// The printers of one listing, each with the run that reports failures to
// it.
struct Printers {
    Printers(std::FILE* f, ListingStyle style)
        : out(f), lines(out, style), index(out, style), pack(out, style), run(&lines), listed(&index), packed(&pack) {}

    uint64_t Failures() const { return run.Failures() + listed.Failures() + packed.Failures(); }

    ListingOutput out;
    ExtractionLines lines;
    IndexLines index;
    PackLines pack;
    RunState run, listed, packed;
};

FailureReport Code(int code, const std::string& path) {
    FailureReport report{Failure::kInflateCode, path};
    report.code = code;
    return report;
}

FailureReport Bad(const ListedEntry& entry) {
    FailureReport report{Failure::kBadEntry, entry.archivePath};
    report.entry = &entry;
    return report;
}

// What a sequence of events prints, and how many failures it counts.
std::string Printed(const std::function<void(Printers&)>& events, uint64_t* failures,
                    ListingStyle style = ListingStyle::kText) {
    std::FILE* f = std::tmpfile();
    if (f == nullptr) return "no temporary file";
    {
        Printers p(f, style);
        events(p);
        *failures = p.Failures();
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
        std::function<void(Printers&)> events;
        const char* printed;
        uint64_t failures;
    };
    const std::vector<Case> cases = {
        {"stored", [](Printers& p) { ListedEntry r = Record("ui/", "a.bin", 5); p.lines.Begin(r), p.lines.EndLine(), p.lines.Done(); },
         "ui/a.bin 5 bytes\n", 0},
        {"gzip",
         [](Printers& p) { ListedEntry r = Record("", "b", 30); p.lines.Begin(r), p.lines.Expanded(4294967296), p.lines.EndLine(), p.lines.Done(); },
         "b 30 bytes to 4294967296 bytes\n", 0},
        {"error in an open line",
         [](Printers& p) { ListedEntry r = Record("", "c", 1); p.lines.Begin(r), p.run.Fail(Failure::kCannotCreate, "o/c"), p.lines.Done(); },
         "c 1 bytes\nerror : cannot create o/c\n", 1},
        {"error after the line ended",
         [](Printers& p) {
             ListedEntry r = Record("", "g", 9);
             p.lines.Begin(r), p.lines.Expanded(3), p.lines.EndLine(), p.run.Fail(Failure::kBadGzipChecksum, "o/g"), p.lines.Done();
         },
         "g 9 bytes to 3 bytes\nerror : bad gzip checksum o/g\n", 1},
        {"inflate code, then the size on the next line",
         [](Printers& p) {
             ListedEntry r = Record("", "z", 7);
             p.lines.Begin(r), p.run.Fail(Code(-3, "o/z")), p.lines.Expanded(2), p.lines.EndLine(), p.lines.Done();
         },
         "z 7 bytes-3\n to 2 bytes\n", 1},
        {"inflate code, then an error",
         [](Printers& p) {
             ListedEntry r = Record("", "z", 7);
             p.lines.Begin(r), p.run.Fail(Code(-5, "o/z")), p.run.Fail(Failure::kCannotWrite, "o/z"), p.lines.Done();
         },
         "z 7 bytes-5\nerror : cannot write o/z\n", 2},
        {"errors with no entry",
         [](Printers& p) { ListedEntry r = Record("", "", 0); p.run.Fail(Failure::kUnknownFormat, "a.dat"), p.run.Fail(Bad(r)); },
         "error : unknown format a.dat\nerror : bad entry 3 in a.dat\n", 2},
        {"listed entries",
         [](Printers& p) {
             ListedEntry s = Record("d/", "a b.bin", 5), g = Record("", "g", 40), o = Record("", "o", 9);
             s.kind = EntryKind::kStored, s.content = Content::kData;
             g.kind = EntryKind::kGzip, g.content = Content::kArchive, g.expanded = 4096;
             p.index.Line(s), p.index.Done(), p.index.Line(g), p.index.Done(), p.index.Line(o);
             p.listed.Fail(Failure::kEntryOutOfRange, "a.dat"), p.index.Done();
         },
         "           5            - stored data    d/a b.bin\n"
         "          40         4096 gzip   archive g\n"
         "           9            ? ?      ?       o\nerror : entry out of range a.dat\n",
         1},
        {"packed: a line once the fate is known, a nested archive's after its entries', failures after it",
         [](Printers& p) {
             ListedEntry n = Record("", "n.dat", 50), a = Record("n/", "a", 3), b = Record("n/", "b", 7), bad = Record("", "", 0);
             p.pack.Open(n), p.packed.Fail(Failure::kBadGzipChecksum, "o/n.dat");
             p.pack.Open(a), p.packed.Fail(Code(-3, "o/n/a")), p.pack.Decided(PackFate::kReplaced, 4);
             p.pack.Open(b), p.packed.Fail(Failure::kMissing, "o/n/b"), p.pack.Decided(PackFate::kMissing, 7);
             p.packed.Fail(Bad(bad));
             p.pack.Decided(PackFate::kKept, 50), p.pack.Unused("o/x"), p.pack.Summary();
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
        [](Printers& p) {
            ListedEntry r = Record("", "\x95\x5C.bin", 4);
            r.nameBytes = "\x95\x5C.bin";
            r.kind = EntryKind::kStored;
            r.output = "o/\x95\x5C.bin";
            p.lines.Begin(r), p.run.Fail(Failure::kCannotCreate, r.output), p.lines.Done();
            ListedEntry u = Record("", "\xE8\xA1\xA8", 0);
            p.lines.Begin(u), p.lines.EndLine(), p.lines.Done();
        },
        &failures, ListingStyle::kJson);
    EXPECT_EQ(printed,
              "{\"path\":\"\\u0095\\\\.bin\",\"archive\":\"a.dat\",\"entry\":3,\"offset\":0,\"size\":4,\"kind\":\"stored\","
              "\"content\":null,\"expanded\":null,\"output\":\"o/\\u0095\\\\.bin\",\"name_hex\":\"955c2e62696e\"}\n"
              "{\"error\":\"cannot create\",\"path\":\"o/\\u0095\\\\.bin\",\"entry\":3,\"archive\":\"a.dat\"}\n"
              "{\"path\":\"\xE8\xA1\xA8\",\"archive\":\"a.dat\",\"entry\":3,\"offset\":0,\"size\":0,\"kind\":null,"
              "\"content\":null,\"expanded\":null,\"output\":null}\n");
    EXPECT_EQ(failures, 1u);
}

}  // namespace
