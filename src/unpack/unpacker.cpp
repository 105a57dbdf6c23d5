#include "unpack/unpacker.h"

#include <cerrno>

#include "walk/walker.h"

namespace {

constexpr size_t kBufferSize = 0x100000;  // entries' bytes pass through 1 MiB

// An output file in the tree, removed unless it was finished: a file left
// behind is always complete.
class OutputFile : public EntrySink {
public:
    OutputFile(OutputTree& tree, const std::string& path, uint64_t allowance)
        : EntrySink(allowance), tree_(tree), path_(path) {}
    ~OutputFile() override {
        if (!file_.IsOpen()) return;
        (void)file_.Close();
        tree_.Remove(path_);
    }

protected:
    int Open() override { return tree_.CreateFile(path_, file_); }
    int Put(uint64_t at, const uint8_t* data, size_t len) override { return file_.WriteAt(at, data, len); }
    uint64_t PutBySystem(const File& src, uint64_t pos, uint64_t at, uint64_t len) override {
        return file_.CopyFrom(src, pos, at, len);
    }
    int Discard() override { return file_.SetLength(0); }
    // Closing can report that data written before may be lost (a network
    // file system or a full quota reports it only here); the file is
    // removed then.
    int End() override {
        if (file_.Close() == 0) return 0;
        const int err = errno;
        tree_.Remove(path_);
        errno = err;
        return -1;
    }

private:
    OutputTree& tree_;
    const std::string path_;
    File file_;
};

}  // namespace

std::unique_ptr<Expansion> Unpacker::Expand(EntryVisit& entry, EntryReader& data) {
    (void)entry, (void)data;
    return nullptr;
}

Committed Unpacker::Commit(EntryVisit& entry, Expansion* expansion, EntryReader& data) {
    (void)expansion;
    if (RefuseUnsafe(entry)) return Committed();
    OutputFile out(tree_, entry.outputPath, state_.output.Room());
    const OutputResult result = FillOutput(entry, data, out);
    if (!ReportOutput(entry, out, result)) return Committed();
    return AfterOutput(entry, out.Head(), result.inflate.checksum, WrittenBytes());
}

int Unpacker::FindNested(EntryVisit& entry, Expansion* expansion, NestedBytes* bytes) {
    (void)expansion;
    // The file it wrote, reached through the tree so that no link swapped in
    // is followed.
    bytes->opened = std::make_unique<File>();
    if (tree_.OpenToRead(entry.outputPath, *bytes->opened) != 0) return -1;
    bytes->file = bytes->opened.get();
    bytes->length = static_cast<uint64_t>(bytes->opened->Length());
    return 0;
}

int Unpacker::RenameGim(const std::string& from, const std::string& to) { return tree_.Rename(from, to); }

int Unpacker::MapGim(EntryVisit& entry, const WrittenBytes& bytes, File& file, MappedBytes* mapped) {
    (void)bytes;
    if (tree_.OpenToRead(entry.listed.output, file) != 0 || file.Length() <= 0) return -1;
    return file.Map(0, static_cast<uint64_t>(file.Length()), mapped);
}

std::unique_ptr<EntrySink> Unpacker::NewMadeFile(EntryVisit& entry, const std::string& path, uint64_t allowance) {
    (void)entry;
    return std::make_unique<OutputFile>(tree_, path, allowance);
}

void Unpacker::AfterNested(EntryVisit& entry) {
    // Only when nothing failed since its entry began: otherwise it is kept,
    // so that its data survive.
    if (state_.Failures() == entry.failuresBefore) tree_.Remove(entry.outputPath);
}

void Unpack(const std::string& archivePath, const RunOptions& options, RunState& state, ExtractionLines* lines) {
    HeapBuffer buffer;
    if (buffer.Allocate(kBufferSize) != 0) {
        state.Fail(Failure::kOutOfMemory, archivePath);
        return;
    }
    OutputTree tree(options.destDir, options.names);
    Unpacker unpacker(options, state, lines, tree);
    Walker walker(options, state, buffer, unpacker);
    (void)walker.Walk(archivePath);
}
