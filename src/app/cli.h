// The command line: ravelkit [-srtlj] <dat file> [dest dir], and
// ravelkit -p[srj] <dat file> <dest dir> <new dat file>
#pragma once

// Exit statuses.
constexpr int kExitOk = 0;       // an archive was given and no failure was reported
constexpr int kExitFailure = 1;  // a failure was reported
constexpr int kExitUsage = 2;    // the usage line was printed

// Runs the tool once.  Returns the exit status.
int RunCommandLine(int argc, char** argv);

// Flushes standard output.  Returns status, or kExitFailure after one line
// on standard error when anything written there was lost.
int FinishStandardOutput(int status);
