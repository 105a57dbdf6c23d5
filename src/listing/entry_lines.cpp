#include "listing/entry_lines.h"

#include <string>

void EntryLines::Open(const ListedEntry& entry) {
    entry_ = &entry;
    entryEmitted_ = false;
}

void EntryLines::EmitEntry() {
    if (entry_ == nullptr || entryEmitted_) return;
    entryEmitted_ = true;
    out_.Write(EntryJson(*entry_).Line());
}

void EntryLines::Done() {
    if (style_ == ListingStyle::kJson) EmitEntry();
    entry_ = nullptr;
}

void EntryLines::Print(const FailureReport& report) {
    // A bad entry has no line of its own: its failure stands for it.
    if (report.failure == Failure::kBadEntry) Open(*report.entry);
    if (style_ == ListingStyle::kText) {
        out_.Write(FailureText(report, out_.AtLineStart()));
    } else {
        EmitEntry();
        out_.Write(FailureJson(report, entry_));
    }
    if (!report.reason.empty()) out_.WriteReasons(ListingOutput::ReasonLine(report.path, report.reason));
    if (report.failure == Failure::kBadEntry) entry_ = nullptr;
}

void ExtractionLines::Begin(const ListedEntry& entry) {
    Open(entry);
    if (style_ == ListingStyle::kText) out_.Write(entry.prefix + entry.name + " " + std::to_string(entry.size) + " bytes");
}

void ExtractionLines::Expanded(uint64_t produced) {
    if (style_ == ListingStyle::kText) out_.Write(" to " + std::to_string(produced) + " bytes");
}

void ExtractionLines::EndLine() {
    if (style_ == ListingStyle::kText) out_.Write("\n");
}

void IndexLines::Line(const ListedEntry& entry) {
    Open(entry);
    if (style_ == ListingStyle::kText) out_.Write(IndexLine(entry));
}
