#include "listing/pack_lines.h"

namespace {

const char* FateWord(PackFate fate) {
    switch (fate) {
        case PackFate::kReplaced: return "replaced";
        case PackFate::kMissing: return "missing";
        case PackFate::kKept: break;
    }
    return "kept";
}

}  // namespace

void PackLines::Open(const ListedEntry& entry) { open_.push_back(OpenEntry{&entry, std::string(), std::string()}); }

void PackLines::Emit(const std::string& text, const std::string& reasons) {
    if (open_.empty()) {
        out_.Write(text);
        out_.WriteReasons(reasons);
        return;
    }
    open_.back().waiting += text;
    open_.back().waitingReasons += reasons;
}

void PackLines::Decided(PackFate fate, uint64_t newSize) {
    if (open_.empty()) return;
    const OpenEntry done = open_.back();
    open_.pop_back();
    const ListedEntry& e = *done.entry;
    ++fates_[static_cast<int>(fate)];
    if (style_ == ListingStyle::kJson) {
        JsonLine line = EntryJson(e);
        line.Set("status", FateWord(fate));
        line.Set("new_size", fate == PackFate::kReplaced ? newSize : uint64_t{e.size});
        out_.Write(line.Line());
    } else if (fate != PackFate::kMissing) {
        std::string text = e.prefix + e.name + " " + std::to_string(e.size) + " bytes ";
        text += fate == PackFate::kReplaced ? "replaced by " + std::to_string(newSize) + " bytes\n" : "kept\n";
        out_.Write(text);
    }
    out_.Write(done.waiting);
    out_.WriteReasons(done.waitingReasons);
}

void PackLines::Print(const FailureReport& report) {
    // A bad entry is kept as it is; its failure stands for its line.
    const bool bad = report.failure == Failure::kBadEntry;
    if (bad) Open(*report.entry);
    const ListedEntry* open = open_.empty() ? nullptr : open_.back().entry;
    Emit(style_ == ListingStyle::kText ? FailureText(report, out_.AtLineStart()) : FailureJson(report, open),
         report.reason.empty() ? std::string() : ListingOutput::ReasonLine(report.path, report.reason));
    if (!bad) return;
    ++fates_[static_cast<int>(PackFate::kKept)];
    out_.Write(open_.back().waiting);
    out_.WriteReasons(open_.back().waitingReasons);
    open_.pop_back();
}

void PackLines::Unused(const std::string& path) {
    if (style_ == ListingStyle::kText) {
        out_.Write("unused " + path + "\n");
        return;
    }
    JsonLine line;
    line.SetText("unused", path);
    out_.Write(line.Line());
}

void PackLines::Summary() {
    const uint64_t kept = fates_[static_cast<int>(PackFate::kKept)];
    const uint64_t replaced = fates_[static_cast<int>(PackFate::kReplaced)];
    const uint64_t missing = fates_[static_cast<int>(PackFate::kMissing)];
    if (style_ == ListingStyle::kText) {
        out_.Write(std::to_string(kept + replaced + missing) + " entries: " + std::to_string(kept) + " kept, " +
                   std::to_string(replaced) + " replaced, " + std::to_string(missing) + " missing\n");
        return;
    }
    JsonLine line;
    line.Set("entries", kept + replaced + missing);
    line.Set("kept", kept);
    line.Set("replaced", replaced);
    line.Set("missing", missing);
    out_.Write(line.Line());
}
