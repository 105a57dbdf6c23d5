// One run of the tool, split three ways: what the user asked for (the same
// for every archive of the run), what the run has counted so far, and the
// output budget those counts are held to.
#pragma once

#include <cstdint>
#include <string>

#include "listing/failure.h"
#include "names/names.h"

constexpr int kMaxNestingDepth = 32;  // levels below the archive given

// The budgets of one run.  Archives that hold themselves, or each other,
// many times over would otherwise unpack for ever; these bound the work of
// any input.
struct RunLimits {
    uint64_t nestedArchives = 65536;  // nested archives opened for unpacking
    uint64_t entries = 4194304;       // entries walked, every level counted
    // Bytes put into output files: this many per byte of the archive given
    // (four times deflate's greatest ratio, 1,032:1), plus outputAllowance.
    uint64_t outputPerArchiveByte = 4128;
    uint64_t outputAllowance = uint64_t{64} << 20;
};

// What the command line chose, the same for every archive of one run.
struct RunOptions {
    std::string destDir;      // empty (the working folder), or ending in a separator
    bool recurse = true;      // walk archives found inside
    bool convertGim = false;  // write a PNG beside every GIM image
    NameRules names;          // how names are held and searched
    RunLimits limits;
};

// The name rules of this system; keepRaw is the command line's request to
// keep the archive's bytes as names.
NameRules HostNameRules(bool keepRaw);

// The bytes one run may put into output files.  Deflate alone expands at
// most 1,032 times; only entries sharing their data and nesting multiply
// output beyond that, so a limit of a few times that ratio over the
// archive's size stops such bombs and no honest archive comes near it.  A
// file counts as at least kLeastPerFile bytes (the file system's own cost of
// a small file).
class OutputBudget {
public:
    static constexpr uint64_t kLeastPerFile = 4096;

    // The limit: perByte times archiveSize, plus allowance (saturating).
    void SetLimit(uint64_t archiveSize, uint64_t perByte, uint64_t allowance);

    // How many bytes are left: the furthest a new file may reach.
    uint64_t Room() const { return limit_ - spent_; }

    // Charges a file that reaches `extent` bytes, at least kLeastPerFile.
    // Returns 0, or -1 when that would pass the limit (nothing is charged
    // then).
    int ChargeFile(uint64_t extent);

private:
    uint64_t limit_ = UINT64_MAX;
    uint64_t spent_ = 0;
};

// What one run has counted, across every level of nesting: the failures
// reported (they decide the exit status), the budgets spent, and whether it
// must stop.
class RunState {
public:
    // Failures are printed by lines (null: nowhere).
    explicit RunState(FailureLines* lines) : lines_(lines) {}
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    // Counts a failure and has it printed.
    void Fail(const FailureReport& report);
    void Fail(Failure failure, const std::string& path, int systemError = 0);

    // How many failures have been reported: error lines and inflate codes.
    uint64_t Failures() const { return failures_; }

    // The run ran out of a budget, or cannot go on: every walk returns.
    void Stop() { stopped_ = true; }
    bool Stopped() const { return stopped_; }

    // "too much output <archive given>", and the run stops.
    void TooMuchOutput();

    OutputBudget output;
    uint64_t entries = 0;         // entries walked
    uint64_t nestedArchives = 0;  // nested archives opened
    std::string topArchive;       // the archive given, as error lines print it

private:
    FailureLines* lines_;
    uint64_t failures_ = 0;
    bool stopped_ = false;
};
