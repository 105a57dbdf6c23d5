#include "pack/compare_sink.h"

#include <algorithm>
#include <cstring>

int CompareSink::Put(uint64_t at, const uint8_t* data, size_t len) {
    if (TestSink::Put(at, data, len) != 0) return -1;
    if (!looked_ && Taken() >= 4) {
        OpenTreeFile();
        Compare(Head(), static_cast<size_t>(at));  // the bytes before this piece are all in the head
    }
    if (looked_) Compare(data, len);
    return 0;
}

int CompareSink::Discard() {
    looked_ = false;
    compared_ = 0;
    match_ = TreeMatch::kNotLooked;
    (void)treeFile_.Close();
    return TestSink::Discard();
}

int CompareSink::End() {
    if (!looked_) {
        OpenTreeFile();
        Compare(Head(), static_cast<size_t>(Taken()));
    }
    if (match_ == TreeMatch::kSame && static_cast<uint64_t>(treeFile_.Length()) != Taken()) match_ = TreeMatch::kDiffers;
    return TestSink::End();
}

void CompareSink::OpenTreeFile() {
    looked_ = true;
    std::string path = outputPath_;
    if (HeadContent() == Content::kGim) {
        const std::string gim = GimPath(outputPath_, relPath_, rules_);
        if (!gim.empty()) path = gim;
    }
    switch (tree_.OpenToRead(path, treeFile_)) {
        case 0: match_ = TreeMatch::kSame; break;
        case 1: match_ = TreeMatch::kMissing; break;
        default: match_ = TreeMatch::kUnreadable; break;
    }
}

void CompareSink::Compare(const uint8_t* data, size_t len) {
    for (size_t done = 0; done < len && match_ == TreeMatch::kSame;) {
        const size_t n = std::min(len - done, buffer_.Size());
        const int64_t got = treeFile_.ReadAt(compared_, buffer_.Data(), n);
        if (got < 0)
            match_ = TreeMatch::kUnreadable;
        else if (got != static_cast<int64_t>(n) || std::memcmp(buffer_.Data(), data + done, n) != 0)
            match_ = TreeMatch::kDiffers;
        compared_ += n;
        done += n;
    }
}
