#include "list/lister.h"

#include "extract/extraction.h"
#include "extract/first_bytes.h"
#include "walk/walker.h"

namespace {

constexpr size_t kBufferSize = 0x100000;  // a nested member is expanded through 1 MiB

}  // namespace

void Lister::Line(const ListedEntry& entry) {
    if (lines_ != nullptr) lines_->Line(entry);
}

void Lister::Done() {
    if (lines_ != nullptr) lines_->Done();
}

void Lister::BeginEntry(EntryVisit& entry) { (void)entry; }

// A listed entry's line comes before the failure that ends it.
void Lister::DataRefused(EntryVisit& entry) { Line(entry.listed); }

std::unique_ptr<Expansion> Lister::Expand(EntryVisit& entry, EntryReader& data) { return LookAtEntry(entry, data); }

Committed Lister::Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) {
    auto& look = static_cast<FirstBytes&>(*expansion);
    ListedEntry& listed = entry.listed;
    if (look.unreadable) {
        Line(listed);
        state_.Fail(Failure::kCannotRead, entry.scope.path);
        return Committed();
    }
    listed.expanded = look.expanded;
    listed.content = ClassifyContent(look.head);
    listed.output = entry.outputPath;
    Line(listed);
    if (!entry.safe) {
        state_.Fail(Failure::kUnsafePath, entry.outputPath);
        return Committed();
    }
    // Only its entries are wanted, but those need the whole archive.
    if (entry.kind == EntryKind::kGzip && listed.content == Content::kArchive && options_.recurse &&
        ExpandNestedMember(entry, data, state_, look) != 0)
        return Committed();
    const Content content = ClassifyContent(look.head);
    // The object printed once the entry is done names the file unpacking
    // would leave: a GIM image under its new name.
    if (content == Content::kGim) {
        const std::string gim = GimPathOf(entry, options_.names);
        if (!gim.empty()) listed.output = gim;
    }
    Committed committed;
    committed.holdsArchive = content == Content::kArchive;
    return committed;
}

bool Lister::EnterNested(EntryVisit& entry, const std::string& folder) {
    (void)entry, (void)folder;
    Done();
    return true;
}

int Lister::FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) {
    return FindLookedAtArchive(entry, static_cast<FirstBytes&>(*expansion), bytes);
}

void Lister::EndEntry(EntryVisit& entry, Expansion* expansion, NestedWalk nested) {
    (void)entry, (void)expansion, (void)nested;
    Done();
}

void List(const std::string& archivePath, const RunOptions& options, RunState& state, IndexLines* lines) {
    HeapBuffer buffer;
    if (buffer.Allocate(kBufferSize) != 0) {
        state.Fail(Failure::kOutOfMemory, archivePath);
        return;
    }
    Lister lister(options, state, lines);
    Walker walker(options, state, buffer, lister);
    (void)walker.Walk(archivePath);
}
