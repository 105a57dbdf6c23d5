// Whole-program tests of looking inside without unpacking: -t tests (the
// unpacking listing, nothing written), -l lists (a line per entry from the
// index and a few bytes), -j prints JSON Lines.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <regex>
#include <sstream>

#include "cli_fixture.h"

using namespace clitest;

namespace {

class LookInside : public CliTest {};

// Archives that cover every kind of entry and the failures -t and -l see.
struct Sample {
    const char* what;
    Bytes archive;
    std::string option;  // "" or "s"
};

std::vector<Sample> Samples() {
    const Bytes inner = Of({Named("in.txt", "inside"), Named("deep.gz", Gzip(ToBytes("deeper")))}).Build();
    Bytes badTrailer = Gzip(ToBytes("checked data"));
    badTrailer[badTrailer.size() - 6] ^= 1;
    GzipOptions named;
    named.fname = "tex.bin";
    Entry outOfRange = Named("far.bin", "x");
    outOfRange.offset = 0x7FFFFFF0;
    Entry badName = Named("lost", "y");
    badName.nameOffset = 0x7FFFFFF0;
    Bytes cut = Gzip(Noise(3000, 7));
    cut.resize(1000);
    return {
        {"stored and gzip", Of({Named("a.txt", "plain"), Named("b.gz", Gzip(ToBytes("zipped"))), Unnamed(ToBytes("u"))}).Build(), ""},
        {"bad trailer and cut member", Of({Named("t.bin", badTrailer), Named("c.bin", cut)}).Build(), ""},
        {"nested stored and in gzip", Of({Named("n/one.dat", inner), Named("two.dat", Gzip(inner)), Named("z.txt", "z")}).Build(), ""},
        {"nested kept with -s", Of({Named("one.dat", inner), Named("two.dat", Gzip(inner))}).Build(), "s"},
        {"gim images", Of({Named("t/a.dat", "MIG.00.1PSP"), Named("g.gz", Gzip(ToBytes("MIG.00.1PSP"), named))}).Build(), ""},
        {"broken records", Of({Named("ok.txt", "ok"), outOfRange, badName, Named("after.txt", "after")}).Build(), ""},
        {"unsafe names", Of({Named("../up.txt", "u"), Named("/root.txt", "r"), Named("fine.txt", "f")}).Build(), ""},
        {"nested into itself", Of({Named("menu", inner), Named("n.dat", Of({Named("x", "GPDA")}).Build())}).Build(), ""},
    };
}

// -t prints exactly what unpacking prints, exit status included, and leaves
// every file and folder as it was.
TEST_F(LookInside, TestPrintsTheUnpackingListingAndWritesNothing) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.what);
        RemoveTree(Path("out"));
        WriteFile(Path("x.dat"), s.archive);
        const TreeMap before = Tree(dir_);
        const RunResult test = Run(s.option + "t");
        EXPECT_EQ(Tree(dir_), before);
        const RunResult unpack = Run(s.option);
        EXPECT_EQ(test.out, unpack.out);
        EXPECT_EQ(test.status, unpack.status);
    }
}

// Group `group` of every line of out that matches line and not skip.
std::vector<std::string> Fields(const std::string& out, const std::regex& line, size_t group, const std::regex& skip) {
    std::vector<std::string> fields;
    std::istringstream lines(out);
    std::string text;
    std::smatch m;
    while (std::getline(lines, text))
        if (!std::regex_match(text, skip) && std::regex_match(text, m, line)) fields.push_back(m[group]);
    return fields;
}

// The names the unpacking listing gives its entry lines, in order.
std::vector<std::string> UnpackedNames(const std::string& out) {
    static const std::regex entryLine(R"((.*?) \d+ bytes(-?\d+| to \d+ bytes)?\r?)"), other(R"((error : | to )[\s\S]*)");
    return Fields(out, entryLine, 1, other);
}

// The name field of each -l line: what follows four columns.
std::vector<std::string> ListedNames(const std::string& out) {
    static const std::regex listLine(R"( *\d+ +(\d+|-|\?) (stored|gzip  |\?     ) (archive|gim    |data   |\?      ) (.*?)\r?)"),
        none("$^");
    return Fields(out, listLine, 4, none);
}

// -l lists every entry unpacking lists, under the same names, and reports
// what it can see of the failures.
TEST_F(LookInside, ListShowsEveryEntryUnpackingShows) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.what);
        RemoveTree(Path("out"));
        WriteFile(Path("x.dat"), s.archive);
        const RunResult list = Run(s.option + "l");
        EXPECT_FALSE(Exists("out"));
        const RunResult unpack = Run(s.option);
        EXPECT_EQ(ListedNames(list.out), UnpackedNames(unpack.out));
    }
    // The columns: stored sizes, recorded lengths, kinds and contents.
    const Bytes inner = Of({Named("in.txt", "inside")}).Build();
    Bytes tiny = Gzip({});
    tiny.resize(17);
    WriteFile(Path("x.dat"), Of({Named("a b.txt c", "plain"), Named("g.dat.gz", Gzip(inner)), Named("tiny", tiny)}).Build());
    const RunResult r = Run("l");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Lines("           5            - stored data    a b.txt\n"
                           "          " + N(Gzip(inner).size()) + "           " + N(inner.size()) + " gzip   archive g.dat.gz\n"
                           "           6            - stored data    g/in.txt\n"
                           "          17            ? gzip   data    tiny\n"));
}

// Every -j line is an object: an entry's fields, or a failure's after the
// entry it belongs to.
TEST_F(LookInside, JsonLinesCarryTheFields) {
    using Json = nlohmann::json;
    for (const Sample& s : Samples()) {
        for (const char* mode : {"j", "tj", "lj"}) {
            SCOPED_TRACE(std::string(s.what) + " -" + mode);
            RemoveTree(Path("out"));
            WriteFile(Path("x.dat"), s.archive);
            const RunResult r = Run(s.option + mode);
            std::istringstream lines(r.out);
            std::string line;
            int entries = 0, lastEntry = 0;
            while (std::getline(lines, line)) {
                const Json j = Json::parse(line);  // throws, failing the test, on anything but JSON
                ASSERT_TRUE(j.is_object()) << line;
                if (j.contains("error")) {
                    EXPECT_TRUE(j["error"].is_string()) << line;
                    EXPECT_TRUE(j.contains("path")) << line;
                    if (j.contains("entry")) {
                        EXPECT_EQ(j["entry"], lastEntry) << line;
                    }
                    if (j["error"] == "inflate") {
                        EXPECT_TRUE(j["code"].is_number_integer()) << line;
                    }
                    continue;
                }
                ++entries;
                lastEntry = j["entry"];
                for (const char* key : {"path", "archive", "entry", "offset", "size", "kind", "content", "expanded", "output"})
                    EXPECT_TRUE(j.contains(key)) << key << " in " << line;
                if (j["kind"] == "gzip" && j.contains("gzip")) {
                    for (const char* key : {"name", "mtime", "os", "checksum"})
                        EXPECT_TRUE(j["gzip"].contains(key)) << key << " in " << line;
                }
            }
            EXPECT_GT(entries, 0);
        }
    }
    // The values, for one archive.
    GzipOptions named;
    named.fname = "tex.bin";
    Bytes member = Gzip(ToBytes("MIG.00.1PSP"), named);
    member[member.size() - 8] ^= 1;
    WriteFile(Path("x.dat"), Of({Named("t/g.bin.gz", member)}).Build());
    const RunResult r = Run("j");
    EXPECT_EQ(r.status, 1);
    std::istringstream lines(r.out);
    std::string first, second;
    std::getline(lines, first);
    std::getline(lines, second);
    const Json e = Json::parse(first), err = Json::parse(second);
    EXPECT_EQ(e["path"], "t/g.bin.gz");
    EXPECT_EQ(e["entry"], 1);
    EXPECT_EQ(e["offset"], 16 + 16 + 4 + 10);  // header, one entry, its name record
    EXPECT_EQ(e["size"], member.size());
    EXPECT_EQ(e["kind"], "gzip");
    EXPECT_EQ(e["content"], "gim");
    EXPECT_EQ(e["expanded"], 11);
    EXPECT_EQ(e["output"], Printed(Path("out/tex.gim")));  // the header's file name, renamed
    EXPECT_EQ(e["name_hex"], "742f672e62696e2e677a");
    EXPECT_EQ(e["gzip"]["name"], "tex.bin");
    EXPECT_EQ(e["gzip"]["checksum"], "bad");
    EXPECT_EQ(err["error"], "bad gzip checksum");
    EXPECT_EQ(err["path"], Printed(Path("out/tex.bin")));
    EXPECT_EQ(err["entry"], 1);
}

}  // namespace
