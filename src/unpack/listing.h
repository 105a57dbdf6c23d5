// The listing: every line the tool prints on standard output, one per entry
// and one per failure.  The one place that knows the lines' forms and
// whether a line is still open, and that counts failures (for the exit
// status, and for keeping a nested archive whose unpacking failed).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The failures an error line reports.
enum class Failure {
    kCannotOpen,          // the archive: missing, no permission, or no regular file
    kUnknownFormat,       // the archive: not one, or its recorded size is wrong
    kCannotRead,          // the archive
    kOutOfMemory,         // the archive
    kContainsItself,      // a nested archive that repeats one it lies in
    kEntryTableTooLarge,  // the archive
    kEntryOutOfRange,     // the archive
    kBadGzipHeader,       // the archive
    kUnsafePath,          // an output path
    kCannotCreate,        // an output path
    kCannotWrite,         // an output path
    kBadGzipChecksum,     // an output path
    kNestingTooDeep,      // a nested archive's path
    kNestedIntoItself,    // a nested archive's path
    kTooManyNested,       // a nested archive's path
    kTooManyEntries,      // the archive
    kTooMuchOutput,       // the archive given
};

class Listing {
public:
    // Prints to out (standard output in the tool).
    explicit Listing(std::FILE* out) : out_(out) {}
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    // Starts an entry's line: "<prefix><name> <size> bytes".
    void BeginEntry(const std::string& prefix, const std::string& name, uint64_t size);

    // Adds a gzip member's expanded size to its line: " to <n> bytes".
    void Expanded(uint64_t produced);

    // The code an inflater stopped with, printed straight after the entry's
    // text and ending the line; the expanded size then follows on the next.
    void InflateCode(int code);

    // Ends the entry's line.
    void EndEntry();

    // "error : <words> <path>" at the start of a line of its own, whether an
    // entry's line was open or not.
    void Error(Failure failure, const std::string& path);

    // "error : bad entry <number> in <archive>": an entry (numbered from 1)
    // whose name record lies outside the index.
    void BadEntry(int number, const std::string& archivePath);

    // How many failures have been reported: error lines and inflate codes.
    uint64_t Failures() const { return failures_; }

private:
    // Prints text; every byte of the listing goes through here.  A line is
    // open until text ending in a line break.
    void Write(const std::string& text);
    // "error : <words> <path>" on a line of its own, counted as a failure.
    void ErrorLine(const std::string& words, const std::string& path);

    std::FILE* out_;
    bool atLineStart_ = true;
    uint64_t failures_ = 0;
};
