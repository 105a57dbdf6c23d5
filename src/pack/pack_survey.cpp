#include "pack/pack_survey.h"

#include "extract/extraction.h"
#include "extract/first_bytes.h"

void PackSurvey::BeginEntry(EntryVisit& entry) { (void)entry; }

void PackSurvey::DataRefused(EntryVisit& entry) { (void)entry; }

std::unique_ptr<Expansion> PackSurvey::Expand(EntryVisit& entry, EntryReader& data) { return LookAtEntry(entry, data); }

void PackSurvey::Note(const EntryVisit& entry, const std::string& path, bool gim, bool stays) {
    plan_.owners.Note(TreeKey(tree_, path, options_.names), FileOwners::Owner{entry.position.Key(), gim, stays});
}

Committed PackSurvey::Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) {
    auto& look = static_cast<FirstBytes&>(*expansion);
    if (look.unreadable) {
        state_.Fail(Failure::kCannotRead, entry.scope.path);
        return Committed();
    }
    if (!entry.safe) {
        state_.Fail(Failure::kUnsafePath, entry.outputPath);
        return Committed();
    }
    if (entry.kind == EntryKind::kGzip && ClassifyContent(look.head) == Content::kArchive && options_.recurse &&
        ExpandNestedMember(entry, data, state_, look) != 0)
        return Committed();
    const Content content = ClassifyContent(look.head);
    // A GIM image renamed took its file away from where it was written,
    // over whatever file was there.
    std::string output = entry.outputPath;
    if (content == Content::kGim) {
        const std::string gim = GimPathOf(entry, options_.names);
        if (!gim.empty()) output = gim;
    }
    if (output != entry.outputPath) Note(entry, entry.outputPath, false, false);
    Note(entry, output, content == Content::kGim, true);
    Committed committed;
    committed.holdsArchive = content == Content::kArchive;
    return committed;
}

bool PackSurvey::EnterNested(EntryVisit& entry, const std::string& folder) {
    return RebuildsFromFolder(tree_, entry.outputPath, folder);
}

int PackSurvey::FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) {
    return FindLookedAtArchive(entry, static_cast<FirstBytes&>(*expansion), bytes);
}

void PackSurvey::EndEntry(EntryVisit& entry, Expansion* expansion, NestedWalk nested) {
    (void)entry, (void)expansion, (void)nested;
}
