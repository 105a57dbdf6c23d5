// The printer of packing: an entry's line once its fate is known, so that a
// nested archive's line follows those of its entries; the failures met on
// the way wait for the line of the entry they concern.  Then a line per
// file no entry became, and a summary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "listing/failure.h"
#include "listing/line_forms.h"
#include "listing/listed_entry.h"
#include "listing/listing_output.h"

// What became of an entry in the archive built anew.
enum class PackFate { kKept, kReplaced, kMissing };

class PackLines : public FailureLines {
public:
    PackLines(ListingOutput& out, ListingStyle style) : out_(out), style_(style) {}
    PackLines(const PackLines&) = delete;
    PackLines& operator=(const PackLines&) = delete;

    // An entry whose fate is not known yet; the record must live until
    // Decided.  Entries open inside it (a nested archive's) are decided
    // first.
    void Open(const ListedEntry& entry);

    // The innermost open entry's fate is known: prints
    // "<prefix><name> <size> bytes kept" or "... replaced by <n> bytes" (a
    // missing entry's error line stands for its line), then its failures.
    // newSize: its stored size in the new archive.
    void Decided(PackFate fate, uint64_t newSize);

    // Keeps the failure's line for after the innermost open entry's line (a
    // bad entry's stands for its line, at once).
    void Print(const FailureReport& report) override;

    // "unused <path>": a file in the tree that no entry became.
    void Unused(const std::string& path);

    // "<e> entries: <k> kept, <r> replaced, <m> missing", from the fates
    // printed.
    void Summary();

private:
    // Prints a failure's line and its reasons, or keeps them for after the
    // innermost open entry's line.
    void Emit(const std::string& text, const std::string& reasons);

    struct OpenEntry {
        const ListedEntry* entry;
        std::string waiting;         // failure lines for after its line
        std::string waitingReasons;  // their reasons, for standard error
    };

    ListingOutput& out_;
    const ListingStyle style_;
    std::vector<OpenEntry> open_;  // outermost first
    uint64_t fates_[3] = {0, 0, 0};  // by PackFate
};
