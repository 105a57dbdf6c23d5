// Packing's sink: an entry's bytes, expanded as testing expands them, are
// compared as they stream with the file they became in the tree, which is
// looked up once the first bytes tell whether it was renamed as a GIM
// image.  Nothing is written.
#pragma once

#include <cstdint>
#include <string>

#include "extract/entry_sink.h"
#include "io/heap_buffer.h"
#include "names/names.h"
#include "tree/output_tree.h"

// How an entry's bytes compare with its file.
enum class TreeMatch {
    kNotLooked,   // no byte was compared
    kSame,        // the file holds exactly the bytes
    kDiffers,
    kMissing,     // no file there
    kUnreadable,  // a link, no regular file, or a failure to read it
};

class CompareSink : public TestSink {
public:
    // The entry's file would be outputPath (relPath: prefix and name below
    // the destination, where a ".gim" keeps the name); keepArchives, kept and
    // refused as for TestSink.  buffer: lent for reading the file, not in
    // use meanwhile.
    CompareSink(uint64_t allowance, bool keepArchives, File& kept, bool refused, OutputTree& tree,
                const NameRules& rules, const std::string& outputPath, const std::string& relPath, HeapBuffer& buffer)
        : TestSink(allowance, keepArchives, false, kept, refused), tree_(tree), rules_(rules), outputPath_(outputPath),
          relPath_(relPath), buffer_(buffer) {}

    TreeMatch Match() const { return match_; }
    // The file the bytes were compared with: open unless missing or
    // unreadable.
    const File& TreeFile() const { return treeFile_; }

protected:
    int Put(uint64_t at, const uint8_t* data, size_t len) override;
    int Discard() override;
    int End() override;

private:
    // Opens the file the bytes became.
    void OpenTreeFile();
    // Compares the next len bytes with the file, while they still match.
    void Compare(const uint8_t* data, size_t len);

    OutputTree& tree_;
    const NameRules& rules_;
    const std::string& outputPath_;
    const std::string relPath_;
    HeapBuffer& buffer_;
    TreeMatch match_ = TreeMatch::kNotLooked;
    bool looked_ = false;
    uint64_t compared_ = 0;
    File treeFile_;
};
