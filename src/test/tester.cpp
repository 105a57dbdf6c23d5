#include "test/tester.h"

#include "walk/walker.h"

namespace {

constexpr size_t kBufferSize = 0x100000;  // entries' bytes pass through 1 MiB

// What the expand step found.
class TestExpansion : public Expansion {
public:
    TestExpansion(uint64_t allowance, bool keepArchives, bool keepImages, bool refused)
        : sink(allowance, keepArchives, keepImages, kept, refused) {}

    File kept;  // a gzip member's bytes, when they are an archive or an image
    TestSink sink;
    OutputResult result;
    WrittenBytes written;  // where its bytes lie, once committed
};

}  // namespace

std::unique_ptr<Expansion> Tester::Expand(EntryVisit& entry, EntryReader& data) {
    const bool gzip = entry.kind == EntryKind::kGzip;
    // Unpacking refuses to write over an archive being read.
    auto expansion = std::make_unique<TestExpansion>(state_.output.Room(), gzip && options_.recurse,
                                                     gzip && options_.convertGim,
                                                     WouldOverwriteArchive(entry.scope, entry.outputPath));
    if (entry.safe) expansion->result = FillOutput(entry, data, expansion->sink);
    return expansion;
}

Committed Tester::Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) {
    (void)data;
    if (RefuseUnsafe(entry)) return Committed();
    auto& tested = static_cast<TestExpansion&>(*expansion);
    if (!ReportOutput(entry, tested.sink, tested.result)) return Committed();
    tested.written = BytesOfEntry(entry, tested.kept, tested.result.inflate.produced);
    return AfterOutput(entry, tested.sink.Head(), tested.result.inflate.checksum, tested.written);
}

int Tester::FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) {
    (void)entry;
    const WrittenBytes& written = static_cast<TestExpansion&>(*expansion).written;
    if (written.file == nullptr) return -1;
    bytes->file = written.file;
    bytes->base = written.base;
    bytes->length = written.length;
    return 0;
}

int Tester::RenameGim(const std::string& from, const std::string& to) {
    (void)from, (void)to;
    return 0;  // unpacking would rename it
}

int Tester::MapGim(EntryVisit& entry, const WrittenBytes& bytes, File& file, MappedBytes* mapped) {
    (void)entry, (void)file;
    if (bytes.file == nullptr) return -1;
    return bytes.file->Map(bytes.base, bytes.length, mapped);
}

std::unique_ptr<EntrySink> Tester::NewMadeFile(EntryVisit& entry, const std::string& path, uint64_t allowance) {
    return std::make_unique<TestSink>(allowance, false, false, nothing_, WouldOverwriteArchive(entry.scope, path));
}

void Test(const std::string& archivePath, const RunOptions& options, RunState& state, ExtractionLines* lines) {
    HeapBuffer buffer;
    if (buffer.Allocate(kBufferSize) != 0) {
        state.Fail(Failure::kOutOfMemory, archivePath);
        return;
    }
    Tester tester(options, state, lines);
    Walker walker(options, state, buffer, tester);
    (void)walker.Walk(archivePath);
}
