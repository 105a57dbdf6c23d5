// The failures a run reports, and the interface through which they reach
// whatever prints them.
#pragma once

#include <string>
#include <utility>

struct ListedEntry;

// The failures an error line reports.
enum class Failure {
    kCannotOpen,          // the archive: missing, no permission, or no regular file
    kUnknownFormat,       // the archive: not one, or its recorded size is wrong
    kCannotRead,          // the archive
    kOutOfMemory,         // the archive
    kContainsItself,      // a nested archive that repeats one it lies in
    kEntryTableTooLarge,  // the archive
    kBadEntry,            // an entry whose name record lies outside the index
    kEntryOutOfRange,     // the archive
    kBadGzipHeader,       // the archive
    kUnsafePath,          // an output path
    kCannotCreate,        // an output path
    kCannotWrite,         // an output path
    kInflateCode,         // the entry's output path: expanding its member stopped with a code
    kBadGzipChecksum,     // an output path
    kNestingTooDeep,      // a nested archive's path
    kNestedIntoItself,    // a nested archive's path
    kTooManyNested,       // a nested archive's path
    kTooManyEntries,      // the archive
    kTooMuchOutput,       // the archive given
    kCannotConvert,       // a GIM image's path
    kMissing,             // packing: the file an entry became is not in the tree
    kArchiveTooLarge,     // packing: the archive being built would pass 4 GiB
};

// One failure as it is reported.
struct FailureReport {
    FailureReport(Failure f, std::string p) : failure(f), path(std::move(p)) {}

    Failure failure;
    std::string path;                    // what its line names (kBadEntry: the archive)
    int code = 0;                        // kInflateCode: the code, numbered as zlib numbers them
    int systemError = 0;                 // the errno of the system call that failed, if one did
    std::string reason;                  // why, in words, for standard error (empty: nothing to say)
    const ListedEntry* entry = nullptr;  // kBadEntry: the entry refused
};

// Whatever prints failures: one of the listing's printers.
class FailureLines {
public:
    virtual ~FailureLines() = default;

    // Prints the failure's line, or keeps it for the place it belongs.
    virtual void Print(const FailureReport& report) = 0;
};
