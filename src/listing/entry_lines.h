// The printers of unpacking, testing and listing: one line per entry (a
// JSON object with -j) and one per failure after the entry it concerns.
//
// The walk tells a printer what it learns of each entry as it goes, in a
// ListedEntry it keeps up to date.  Text lines are printed as the events
// come; a JSON object per entry is printed once the entry is done, or at its
// first failure, so that the failure's object follows it.
#pragma once

#include "listing/failure.h"
#include "listing/line_forms.h"
#include "listing/listed_entry.h"
#include "listing/listing_output.h"

// What the printers of unpacking and listing share: the entry open, its
// JSON object, and the failures.
class EntryLines : public FailureLines {
public:
    EntryLines(ListingOutput& out, ListingStyle style) : out_(out), style_(style) {}
    EntryLines(const EntryLines&) = delete;
    EntryLines& operator=(const EntryLines&) = delete;

    // The entry is done (before a nested archive in it is walked): its JSON
    // object is printed, if it was not already.
    void Done();

    // "error : <words> <path>" at the start of a line of its own, whether an
    // entry's line was open or not; or, for an inflate code, the code ending
    // the open line.  A bad entry is an entry of its own, done at once.
    void Print(const FailureReport& report) override;

protected:
    // Makes entry the open one; the record must live until Done.
    void Open(const ListedEntry& entry);
    // Prints the JSON object of the open entry, once.
    void EmitEntry();

    ListingOutput& out_;
    const ListingStyle style_;
    const ListedEntry* entry_ = nullptr;  // the entry begun and not yet done
    bool entryEmitted_ = false;
};

// Unpacking and testing: "<prefix><name> <size> bytes", " to <n> bytes" for
// a gzip member, then the line break.
class ExtractionLines : public EntryLines {
public:
    using EntryLines::EntryLines;

    // Starts the entry's line.
    void Begin(const ListedEntry& entry);

    // Adds a gzip member's expanded size to its line: " to <n> bytes".
    void Expanded(uint64_t produced);

    // Ends the entry's line.
    void EndLine();
};

// Listing (-l): one whole line per entry from the index and its first
// bytes: sizes, kind, content, name.
class IndexLines : public EntryLines {
public:
    using EntryLines::EntryLines;

    // Prints the entry's line (its JSON object once it is done).
    void Line(const ListedEntry& entry);
};
