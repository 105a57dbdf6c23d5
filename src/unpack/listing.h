// The listing: everything the tool prints on standard output, one line per
// entry and one per failure, as text or as JSON Lines.  The one place that
// knows the lines' forms and whether a line is still open, and that counts
// failures (for the exit status, and for keeping a nested archive whose
// unpacking failed).
//
// The walk tells the listing what it learns of each entry as it goes, in an
// EntryRecord it keeps up to date.  Text lines are printed as the events
// come; a JSON object per entry is printed once the entry is done, or at its
// first failure, so that the failure's object follows it.  Packing prints an
// entry's line or object once its fate is known, and its failures after it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "gzip/gzip_header.h"
#include "gzip/gzip_member.h"

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
    kCannotConvert,       // a GIM image's path
    kMissing,             // packing: the file an entry became is not in the tree
    kArchiveTooLarge,     // packing: the archive being built would pass 4 GiB
};

// What is known of one entry.
struct EntryRecord {
    enum class Kind { kUnknown, kStored, kGzip };
    enum class Content { kUnknown, kArchive, kGim, kData };

    std::string archivePath;               // the archive it is in, as error lines print it
    int number = 0;                        // its place in the table, from 1
    uint32_t offset = 0;
    uint32_t size = 0;
    std::string prefix;                    // put before the name in the listing
    bool named = false;                    // the name is known (not for a bad name record)
    std::string name;                      // as listed
    std::optional<std::string> nameBytes;  // the name record's text as read (none: a made-up name)
    Kind kind = Kind::kUnknown;
    Content content = Content::kUnknown;
    std::optional<uint64_t> expanded;      // bytes written for it, or the length a gzip trailer records
    std::string output;                    // the file written (or that would be); empty until known
    std::optional<GzipHeader> gzip;
    GzipChecksum checksum = GzipChecksum::kNone;
    std::string png;                       // the PNG written of a GIM image; empty: none
    // Packing: what became of it, and its stored size in the new archive.
    enum class Fate { kUndecided, kKept, kReplaced, kMissing };
    Fate fate = Fate::kUndecided;
    uint64_t newSize = 0;
};

class Listing {
public:
    enum class Style { kText, kJson };

    // Prints to out (standard output in the tool; null: nowhere).
    explicit Listing(std::FILE* out, Style style = Style::kText) : out_(out), style_(style) {}
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    // ---- an entry being unpacked or tested ----

    // Starts an entry's line: "<prefix><name> <size> bytes".  The record
    // must live until EntryDone; the walk keeps filling it in.
    void BeginEntry(const EntryRecord& entry);

    // Adds a gzip member's expanded size to its line: " to <n> bytes".
    void Expanded(uint64_t produced);

    // The code an inflater stopped with, printed straight after the entry's
    // text and ending the line; the expanded size then follows on the next.
    void InflateCode(int code);

    // Ends the entry's line.
    void EndEntry();

    // The entry is done (before a nested archive in it is walked): its JSON
    // object is printed, if it was not already.
    void EntryDone();

    // ---- an entry being listed ----

    // One whole line: stored size, expanded size, kind, content, then the
    // name as the unpacking listing prints it.  The record must live until
    // EntryDone, as for BeginEntry.
    void ListEntry(const EntryRecord& entry);

    // ---- an entry being packed ----
    //
    // Packing prints an entry's line once its fate is known, so a nested
    // archive's line follows those of its entries.  Until then the entry is
    // open (BeginEntry), and its failures wait to be printed after its line.

    // From now on the listing is one of packing.
    void StartPacking() { packing_ = true; }

    // The innermost open entry's fate (in its record) is known: prints
    // "<prefix><name> <size> bytes kept" or "... replaced by <n> bytes" (a
    // missing entry's error line stands for its line), then its failures.
    void EntryPacked();

    // "unused <path>": a file in the tree that no entry became.
    void Unused(const std::string& path);

    // "<e> entries: <k> kept, <r> replaced, <m> missing", from the fates
    // printed.
    void PackSummary();

    // ---- failures ----

    // "error : <words> <path>" at the start of a line of its own, whether an
    // entry's line was open or not.
    void Error(Failure failure, const std::string& path);

    // "error : bad entry <number> in <archive>": an entry whose name record
    // lies outside the index (so it has no name and no line of its own).
    void BadEntry(const EntryRecord& entry);

    // How many failures have been reported: error lines and inflate codes.
    uint64_t Failures() const { return failures_; }

private:
    // Prints text; every byte of the listing goes through here.  A line is
    // open until text ending in a line break.
    void Write(const std::string& text);
    // Prints text, or keeps it for after the line of the open entry being
    // packed.
    void Emit(const std::string& text);
    // Prints the JSON object of the open entry, once.
    void EmitEntry();
    // A failure: the words and path of its line, and for JSON its own fields.
    void Report(const std::string& words, const std::string& path, const std::string& jsonError, int code = 0);

    std::FILE* out_;
    Style style_;
    bool atLineStart_ = true;
    uint64_t failures_ = 0;
    const EntryRecord* entry_ = nullptr;  // the entry begun and not yet done
    bool entryEmitted_ = false;
    // Packing: the entries open, outermost first, with the failure lines
    // waiting for each one's line; and the fates printed.
    struct OpenEntry {
        const EntryRecord* record;
        std::string waiting;
    };
    bool packing_ = false;
    std::vector<OpenEntry> open_;
    uint64_t packed_[4] = {0, 0, 0, 0};  // by EntryRecord::Fate
};
