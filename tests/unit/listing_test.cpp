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

// What a sequence of events prints, and how many failures it counts.
std::string Printed(const std::function<void(Listing&)>& events, uint64_t* failures) {
    std::FILE* f = std::tmpfile();
    if (f == nullptr) return "no temporary file";
    {
        Listing listing(f);
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
        {"stored", [](Listing& l) { l.BeginEntry("ui/", "a.bin", 5), l.EndEntry(); }, "ui/a.bin 5 bytes\n", 0},
        {"gzip", [](Listing& l) { l.BeginEntry("", "b", 30), l.Expanded(4294967296), l.EndEntry(); },
         "b 30 bytes to 4294967296 bytes\n", 0},
        {"error in an open line", [](Listing& l) { l.BeginEntry("", "c", 1), l.Error(Failure::kCannotCreate, "o/c"); },
         "c 1 bytes\nerror : cannot create o/c\n", 1},
        {"error after the line ended",
         [](Listing& l) {
             l.BeginEntry("", "g", 9), l.Expanded(3), l.EndEntry(), l.Error(Failure::kBadGzipChecksum, "o/g");
         },
         "g 9 bytes to 3 bytes\nerror : bad gzip checksum o/g\n", 1},
        {"inflate code, then the size on the next line",
         [](Listing& l) { l.BeginEntry("", "z", 7), l.InflateCode(-3), l.Expanded(2), l.EndEntry(); },
         "z 7 bytes-3\n to 2 bytes\n", 1},
        {"inflate code, then an error",
         [](Listing& l) { l.BeginEntry("", "z", 7), l.InflateCode(-5), l.Error(Failure::kCannotWrite, "o/z"); },
         "z 7 bytes-5\nerror : cannot write o/z\n", 2},
        {"errors with no entry", [](Listing& l) { l.Error(Failure::kUnknownFormat, "a.dat"), l.BadEntry(3, "a.dat"); },
         "error : unknown format a.dat\nerror : bad entry 3 in a.dat\n", 2},
    };
    for (const Case& c : cases) {
        uint64_t failures = 99;
        EXPECT_EQ(Printed(c.events, &failures), c.printed) << c.what;
        EXPECT_EQ(failures, c.failures) << c.what;
    }
}

}  // namespace
