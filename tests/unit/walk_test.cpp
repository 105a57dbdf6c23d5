// The walk without a file system: archives built in memory, walked from an
// anonymous temporary file with a handler that records every call; and the
// output budget's arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "temp_file.h"
#include "walk/walker.h"

namespace {

using namespace testdat;
using Log = std::vector<std::string>;

Log operator+(Log a, const Log& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A log as lines, for a readable difference.
std::string Text(const Log& log) {
    std::string text;
    for (const std::string& line : log) text += line + "\n";
    return text;
}

// Prints failures into the log.
class FailuresInLog : public FailureLines {
public:
    explicit FailuresInLog(Log& log) : log_(log) {}
    void Print(const FailureReport& report) override {
        static const std::map<Failure, std::string> names = {
            {Failure::kUnknownFormat, "unknown format"},   {Failure::kContainsItself, "contains itself"},
            {Failure::kEntryTableTooLarge, "table too large"}, {Failure::kEntryOutOfRange, "out of range"},
            {Failure::kBadGzipHeader, "bad gzip header"},  {Failure::kNestingTooDeep, "too deep"},
            {Failure::kNestedIntoItself, "into itself"},   {Failure::kTooManyNested, "too many nested"},
            {Failure::kTooManyEntries, "too many entries"}, {Failure::kCannotOpen, "cannot open"},
            {Failure::kBadEntry, "bad entry"}};
        const auto name = names.find(report.failure);
        std::string line = "fail " + (name == names.end() ? "?" : name->second) + " " + report.path;
        if (report.entry != nullptr) line += " entry " + std::to_string(report.entry->number);
        log_.push_back(line);
    }

private:
    Log& log_;
};

// Records every call with the entry's listed prefix and name.  Stored
// entries that begin "GPDA" hold an archive, found where they lie.
class Recorder : public EntryHandler {
public:
    explicit Recorder(Log& log) : log_(log) {}

    void BeginArchive(const ArchiveScope& s) override {
        log_.push_back("archive " + s.path + " [" + s.prefix + "] " + std::to_string(s.depth));
    }
    void EndArchive(const ArchiveScope& s) override { log_.push_back("end archive " + s.path); }
    void BeginEntry(EntryVisit& e) override { log_.push_back("entry " + Name(e)); }
    void DataRefused(EntryVisit& e) override { log_.push_back("refused " + Name(e)); }
    std::unique_ptr<Expansion> Expand(EntryVisit& e, EntryReader&) override {
        log_.push_back("expand " + Name(e));
        return std::make_unique<Expansion>();
    }
    Committed Commit(EntryVisit& e, Expansion*, EntryReader& data) override {
        Committed c;
        c.holdsArchive = e.kind == EntryKind::kStored && data.Available() >= 4 && std::memcmp(data.Data(), "GPDA", 4) == 0;
        log_.push_back("commit " + Name(e) + (c.holdsArchive ? " holds" : ""));
        return c;
    }
    bool EnterNested(EntryVisit& e, const std::string& folder) override {
        log_.push_back("enter " + Name(e) + " " + folder);
        return enter;
    }
    int FindNested(EntryVisit& e, Expansion*, NestedBytes* bytes) override {
        log_.push_back("find " + Name(e));
        bytes->file = &e.scope.archive.Data();
        bytes->base = e.scope.archive.Base() + e.record.offset;
        bytes->length = e.record.size;
        return find ? 0 : -1;
    }
    void EndEntry(EntryVisit& e, Expansion* expansion, NestedWalk nested) override {
        const char* names[] = {"none", "left", "not opened", "walked"};
        log_.push_back("end " + Name(e) + " " + names[static_cast<int>(nested)] + (expansion ? "" : " unexpanded"));
    }

    bool enter = true;  // EnterNested's answer
    bool find = true;   // whether FindNested finds

private:
    static std::string Name(const EntryVisit& e) { return e.listed.prefix + e.listed.name; }
    Log& log_;
};

// The calls for an entry of data.
Log Data(const std::string& name) {
    return {"entry " + name, "expand " + name, "commit " + name, "end " + name + " none"};
}
// For an entry holding an archive: `then` after its commit, and what became
// of the archive.
Log Holds(const std::string& name, const Log& then, const std::string& nested) {
    return Log{"entry " + name, "expand " + name, "commit " + name + " holds"} + then + Log{"end " + name + " " + nested};
}
// The walker going into an entry's archive, its entries going to folder.
Log Into(const std::string& name, const std::string& folder) { return {"enter " + name + " " + folder, "find " + name}; }
// An archive walked.
Log Walk(const std::string& path, const std::string& prefix, int depth, const Log& entries) {
    return Log{"archive " + path + " [" + prefix + "] " + std::to_string(depth)} + entries + Log{"end archive " + path};
}
// An entry refused before its data.
Log Refused(const std::string& name, const std::string& failure) {
    return {"entry " + name, "refused " + name, "fail " + failure + " top.dat", "end " + name + " none unexpanded"};
}

// 34 archives, each holding the next as d.dat; the last holds leaf.txt.
// The log: 32 levels walked below the top, the 33rd refused.
Bytes Deep(Log* log) {
    Bytes level = Of({Named("leaf.txt", "x")}).Build();
    for (int k = 0; k < 33; ++k) level = Of({Named("d.dat", level)}).Build();
    std::string prefix;
    for (int k = 0; k < 32; ++k) prefix += "d/";
    *log = Holds(prefix + "d.dat", {"fail too deep " + prefix + "d.dat"}, "left");
    for (int k = 32; k > 0; --k) {
        const std::string outer = prefix.substr(2), path = outer + "d.dat";
        *log = Holds(path, Into(path, prefix.substr(0, prefix.size() - 1)) + Walk(path, prefix, k, *log), "walked");
        prefix = outer;
    }
    *log = Walk("top.dat", "", 0, *log);
    return level;
}

TEST(Walker, HandsEveryEntryOverInOrderWithinTheBudgets) {
    const Bytes inner = Of({Named("c.txt", "C")}).Build();
    const Bytes menu = Of({Named("b.txt", "B"), Named("m.dat", inner), Unnamed(ToBytes("u"))}).Build();
    Entry far = Named("far.bin", "x"), lost = Named("lost", "y");
    far.offset = 0x7FFFFFF0;
    lost.nameOffset = 0x7FFFFFF0;
    testdat::Archive self = Of({Named("self.dat", Bytes{}), Named("b.dat", "B")}), tooLarge = Of({Named("a.bin", "A")});
    self.entries[0].offset = 0;
    self.entries[0].size = static_cast<uint32_t>(self.Build().size());
    tooLarge.entryCount = 3;
    testdat::Archive wrongSize = Of({Named("in.txt", "I")});
    wrongSize.fileSize = 1;
    Log deepLog;
    const Bytes deep = Deep(&deepLog);

    struct Case {
        const char* what;
        Bytes archive;
        Log want;
        std::function<void(RunOptions&, Recorder&)> set = [](RunOptions&, Recorder&) {};
        int status = 0;
    };
    const Case cases[] = {
        {"table order, nested archives depth first",
         Of({Named("a.txt", "A"), Named("n.dat", menu), Named("z.gz", Gzip(inner))}).Build(),
         Walk("top.dat", "", 0,
              Data("a.txt") +
                  Holds("n.dat",
                        Into("n.dat", "n") +
                            Walk("n.dat", "n/", 1,
                                 Data("n/b.txt") +
                                     Holds("n/m.dat", Into("n/m.dat", "n/m") + Walk("n/m.dat", "n/m/", 2, Data("n/m/c.txt")),
                                           "walked") +
                                     Data("n/n_03.dat")),
                        "walked") +
                  Data("z.gz"))},
        {"data refused, a name record outside the index",
         Of({far, Named("bad.gz", Bytes{0x1F, 0x8B, 8, 4}), lost, Named("ok.txt", "ok")}).Build(),
         Walk("top.dat", "", 0,
              Refused("far.bin", "out of range") + Refused("bad.gz", "bad gzip header") +
                  Log{"fail bad entry top.dat entry 3"} + Data("ok.txt"))},
        {"the entries budget stops the run",
         Of({Named("a.txt", "A"), Named("n.dat", menu), Named("z.txt", "Z")}).Build(),
         Walk("top.dat", "", 0,
              Data("a.txt") + Holds("n.dat",
                                    Into("n.dat", "n") +
                                        Walk("n.dat", "n/", 1, Data("n/b.txt") + Log{"fail too many entries n.dat"}),
                                    "walked")),
         [](RunOptions& o, Recorder&) { o.limits.entries = 3; }},
        {"the nested archives budget", Of({Named("n.dat", inner), Named("m.dat", inner)}).Build(),
         Walk("top.dat", "", 0,
              Holds("n.dat", Into("n.dat", "n") + Walk("n.dat", "n/", 1, Data("n/c.txt")), "walked") +
                  Holds("m.dat", {"fail too many nested m.dat"}, "left")),
         [](RunOptions& o, Recorder&) { o.limits.nestedArchives = 1; }},
        {"the depth limit", deep, deepLog},
        {"an archive holding itself", self.Build(),
         Walk("top.dat", "", 0,
              Holds("self.dat", Into("self.dat", "self") + Log{"fail contains itself self.dat"}, "not opened") +
                  Data("b.dat"))},
        {"no '.' to cut for the folder", Of({Named("menu", inner)}).Build(),
         Walk("top.dat", "", 0, Holds("menu", {"fail into itself menu"}, "left"))},
        {"not an archive after all", Of({Named("n.dat", wrongSize.Build())}).Build(),
         Walk("top.dat", "", 0, Holds("n.dat", Into("n.dat", "n") + Log{"fail unknown format n.dat"}, "not opened"))},
        {"the handler declines", Of({Named("n.dat", inner)}).Build(),
         Walk("top.dat", "", 0, Holds("n.dat", {"enter n.dat n"}, "left")),
         [](RunOptions&, Recorder& r) { r.enter = false; }},
        {"the handler cannot find it", Of({Named("n.dat", inner)}).Build(),
         Walk("top.dat", "", 0, Holds("n.dat", Into("n.dat", "n") + Log{"fail cannot open n.dat"}, "not opened")),
         [](RunOptions&, Recorder& r) { r.find = false; }},
        {"nested archives not walked", Of({Named("n.dat", inner)}).Build(),
         Walk("top.dat", "", 0, Log{"entry n.dat", "expand n.dat", "commit n.dat holds", "end n.dat none"}),
         [](RunOptions& o, Recorder&) { o.recurse = false; }},
        {"an entry table too large", tooLarge.Build(),
         Walk("top.dat", "", 0, Data("a.bin") + Log{"fail table too large top.dat"})},
        {"nothing more once the run stops", tooLarge.Build(), Walk("top.dat", "", 0, {"fail too many entries top.dat"}),
         [](RunOptions& o, Recorder&) { o.limits.entries = 0; }},
        {"no archive", wrongSize.Build(), {"fail unknown format top.dat"}, [](RunOptions&, Recorder&) {}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Log log;
        FailuresInLog lines(log);
        RunState state(&lines);
        RunOptions options;
        Recorder recorder(log);
        c.set(options, recorder);
        HeapBuffer buffer;
        ASSERT_EQ(buffer.Allocate(kIndexLimit), 0);
        const auto file = TempFile(c.archive);
        Walker walker(options, state, buffer, recorder);
        EXPECT_EQ(walker.WalkFile(*file, c.archive.size(), "top.dat"), c.status);
        EXPECT_EQ(Text(log), Text(c.want));
        const auto failure = [](const std::string& line) { return line.rfind("fail", 0) == 0; };
        EXPECT_EQ(state.Failures(), static_cast<uint64_t>(std::count_if(log.begin(), log.end(), failure)));
    }
}

// The limit saturates rather than wrapping; a file is charged at least
// kLeastPerFile bytes, and one that does not fit is not charged at all.
TEST(OutputBudget, LimitAndCharges) {
    const uint64_t kMax = UINT64_MAX, kLeast = OutputBudget::kLeastPerFile;
    struct Case {
        uint64_t archiveSize, perByte, allowance;
        uint64_t room;
    };
    const Case limits[] = {
        {0, 4128, 64 << 20, 64 << 20},
        {100, 4128, 64 << 20, 412800 + (64 << 20)},
        {kMax / 4128, 4128, 0, kMax / 4128 * 4128},
        {kMax / 4128 + 1, 4128, 0, kMax},
        {(kMax - 2) / 2, 2, 2, kMax - 1},  // one short of the top
        {(kMax - 2) / 2 + 1, 2, 2, kMax},
        {1, kMax - 5, 3, kMax - 2},
        {2, kMax, 0, kMax},
        {0, 4128, kMax, kMax},
        {1, 4128, kMax, kMax},
        {kMax, 0, 7, 7},
        {0, 0, 0, 0},
    };
    for (const Case& c : limits) {
        OutputBudget budget;
        budget.SetLimit(c.archiveSize, c.perByte, c.allowance);
        EXPECT_EQ(budget.Room(), c.room) << c.archiveSize << " x " << c.perByte << " + " << c.allowance;
    }
    struct Charge {
        uint64_t extent;
        int result;
        uint64_t roomAfter;
    };
    const std::pair<uint64_t, std::vector<Charge>> runs[] = {
        {10000, {{0, 0, 10000 - kLeast}, {10000 - kLeast, 0, 0}, {0, -1, 0}}},
        {kLeast - 1, {{1, -1, kLeast - 1}, {0, -1, kLeast - 1}}},
        {kLeast * 3, {{kLeast * 2 + 1, 0, kLeast - 1}, {kLeast, -1, kLeast - 1}, {kLeast - 1, -1, kLeast - 1}}},
        {kMax, {{kMax - 1, 0, 1}, {1, -1, 1}}},
        {kMax, {{kMax, 0, 0}, {0, -1, 0}}},
    };
    for (const auto& [allowance, charges] : runs) {
        OutputBudget budget;
        budget.SetLimit(0, 0, allowance);
        for (const Charge& c : charges) {
            EXPECT_EQ(budget.ChargeFile(c.extent), c.result) << allowance << ": " << c.extent;
            EXPECT_EQ(budget.Room(), c.roomAfter) << allowance << ": " << c.extent;
        }
    }
}

}  // namespace
