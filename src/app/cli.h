// The command line: ravelkit [-sgrtlj] <dat file> [dest dir], and
// ravelkit -p[srj] <dat file> <dest dir> <new dat file>; or --help, -?,
// --version, and -- before an archive whose name starts with '-'.
#pragma once

// Exit statuses.
constexpr int kExitOk = 0;       // no failure was reported (or the help or version was asked for)
constexpr int kExitFailure = 1;  // a failure was reported
constexpr int kExitUsage = 2;    // the usage lines were printed (no archive, an unknown long option)

// Runs the tool once.  Returns the exit status.
int RunCommandLine(int argc, char** argv);

// Flushes standard output.  Returns status, or kExitFailure after one line
// on standard error when anything written there was lost.
int FinishStandardOutput(int status);
