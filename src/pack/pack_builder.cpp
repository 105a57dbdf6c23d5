#include "pack/pack_builder.h"

#include "pack/compare_sink.h"

namespace {

// What the expand step found.
class PackExpansion : public Expansion {
public:
    PackExpansion(uint64_t allowance, bool keepArchives, bool refused, OutputTree& tree, const NameRules& rules,
                  const std::string& outputPath, const std::string& relPath, HeapBuffer& buffer)
        : sink(allowance, keepArchives, kept, refused, tree, rules, outputPath, relPath, buffer) {}

    File kept;  // a gzip member's bytes, when they are an archive
    CompareSink sink;
    OutputResult result;
    WrittenBytes written;  // where its bytes lie, once committed
};

}  // namespace

void PackBuilder::BeginArchive(const ArchiveScope& scope) {
    RebuiltArchive* built = scope.depth == 0 ? &top_ : entries_.back().nested.get();
    built->SetOriginal(scope.archive.Data(), scope.archive.Base(), scope.archive.Length());
    archives_.push_back(built);
}

void PackBuilder::EndArchive(const ArchiveScope& scope) {
    RebuiltArchive& built = *archives_.back();
    archives_.pop_back();
    if (plan_.failed) return;
    BuildFailed(built.Finish(), scope.path, plan_.newPath, scope.path);
}

void PackBuilder::BeginEntry(EntryVisit& entry) {
    if (lines_ != nullptr) lines_->Open(entry.listed);
    entries_.emplace_back();
}

std::unique_ptr<Expansion> PackBuilder::Expand(EntryVisit& entry, EntryReader& data) {
    const bool keepArchives = entry.kind == EntryKind::kGzip && options_.recurse;
    // Unpacking refuses to write over an archive being read.
    const bool refused = WouldOverwriteArchive(entry.scope, entry.outputPath);
    auto expansion = std::make_unique<PackExpansion>(state_.output.Room(), keepArchives, refused, tree_, options_.names,
                                                     entry.outputPath, entry.scope.prefix + entry.outputName,
                                                     treeBuffer_);
    if (entry.safe) expansion->result = FillOutput(entry, data, expansion->sink);
    return expansion;
}

Committed PackBuilder::Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) {
    (void)data;
    if (RefuseUnsafe(entry)) return Committed();
    auto& packed = static_cast<PackExpansion&>(*expansion);
    if (!ReportOutput(entry, packed.sink, packed.result)) return Committed();
    packed.written = BytesOfEntry(entry, packed.kept, packed.result.inflate.produced);
    entries_.back().compared = true;
    return AfterOutput(entry, packed.sink.Head(), packed.result.inflate.checksum, packed.written);
}

bool PackBuilder::EnterNested(EntryVisit& entry, const std::string& folder) {
    if (!RebuildsFromFolder(tree_, entry.outputPath, folder)) return false;
    entries_.back().nested = std::make_unique<RebuiltArchive>(buildBuffer_);
    return true;
}

int PackBuilder::FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) {
    (void)entry;
    const WrittenBytes& written = static_cast<PackExpansion&>(*expansion).written;
    if (written.file == nullptr) return -1;
    bytes->file = written.file;
    bytes->base = written.base;
    bytes->length = written.length;
    return 0;
}

void PackBuilder::EndEntry(EntryVisit& entry, Expansion* expansion, NestedWalk nested) {
    Packing& packing = entries_.back();
    if (packing.compared)
        Decide(entry, *expansion, nested == NestedWalk::kWalked ? packing.nested.get() : nullptr);
    else if (lines_ != nullptr)
        lines_->Decided(PackFate::kKept, entry.record.size);  // kept as it is: it could not be read or told
    entries_.pop_back();
}

void PackBuilder::Decide(EntryVisit& entry, Expansion& expansion, const RebuiltArchive* nested) {
    PackFate fate = PackFate::kKept;
    uint64_t newSize = entry.record.size;
    if (plan_.failed) {
        fate = PackFate::kKept;
    } else if (nested == nullptr) {
        fate = FromFile(entry, expansion, &newSize);
    } else if (nested->Changed()) {
        fate = Replace(entry, nested->Built(), nested->Length(), entry.outputPath, &newSize);
    }
    // A nested archive whose entries were all kept keeps its original bytes.
    if (lines_ != nullptr) lines_->Decided(fate, newSize);
}

PackFate PackBuilder::FromFile(EntryVisit& entry, Expansion& expansion, uint64_t* newSize) {
    const std::string& output = entry.listed.output;
    // An entry whose file a later one wrote over is kept as it is.
    FileOwners::Owner owner;
    if (plan_.owners.Find(TreeKey(tree_, output, options_.names), &owner) && owner.position != entry.position.Key())
        return PackFate::kKept;
    const CompareSink& sink = static_cast<PackExpansion&>(expansion).sink;
    switch (sink.Match()) {
        case TreeMatch::kNotLooked:
        case TreeMatch::kSame: return PackFate::kKept;
        case TreeMatch::kMissing: state_.Fail(Failure::kMissing, output); return PackFate::kMissing;
        case TreeMatch::kUnreadable: state_.Fail(Failure::kCannotRead, output); return PackFate::kKept;
        case TreeMatch::kDiffers: break;
    }
    return Replace(entry, sink.TreeFile(), static_cast<uint64_t>(sink.TreeFile().Length()), output, newSize);
}

PackFate PackBuilder::Replace(EntryVisit& entry, const File& file, uint64_t length, const std::string& sourcePath,
                              uint64_t* newSize) {
    const ArchiveScope& scope = entry.scope;
    NewEntryData data{file, length};
    if (entry.kind == EntryKind::kGzip) {
        data.header = &scope.archive.Data();
        data.headerPos = scope.archive.Base() + entry.record.offset;
        data.headerLength = entry.gzipHeaderLength;
    }
    const BuildStep step = archives_.back()->Replace(entry.index, entry.record, data, newSize);
    if (step == BuildStep::kOk) return PackFate::kReplaced;
    BuildFailed(step, scope.path, scope.depth == 0 ? plan_.newPath : scope.path, sourcePath);
    *newSize = entry.record.size;
    return PackFate::kKept;
}

void PackBuilder::BuildFailed(BuildStep step, const std::string& archivePath, const std::string& builtPath,
                              const std::string& sourcePath) {
    switch (step) {
        case BuildStep::kOk: return;
        case BuildStep::kSourceUnreadable: state_.Fail(Failure::kCannotRead, sourcePath); break;
        case BuildStep::kOriginalUnreadable: state_.Fail(Failure::kCannotRead, archivePath); break;
        case BuildStep::kWriteFailed: state_.Fail(Failure::kCannotWrite, plan_.newPath); break;
        case BuildStep::kTooLarge: state_.Fail(Failure::kArchiveTooLarge, builtPath); break;
        case BuildStep::kOutOfMemory: state_.Fail(Failure::kOutOfMemory, archivePath); break;
    }
    plan_.failed = true;
    state_.Stop();
}

int PackBuilder::RenameGim(const std::string& from, const std::string& to) {
    (void)from, (void)to;
    return 0;  // the tree holds it under its new name
}

int PackBuilder::MapGim(EntryVisit& entry, const WrittenBytes& bytes, File& file, MappedBytes* mapped) {
    (void)entry, (void)bytes, (void)file, (void)mapped;
    return -1;  // packing converts no image
}

std::unique_ptr<EntrySink> PackBuilder::NewMadeFile(EntryVisit& entry, const std::string& path, uint64_t allowance) {
    (void)entry, (void)path;
    return std::make_unique<TestSink>(allowance, false, false, nothing_, false);  // packing makes no file
}
