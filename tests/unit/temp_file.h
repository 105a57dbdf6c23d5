// Bytes in an anonymous temporary file, and back: archives the unit tests
// build in memory, handed to code that reads open files.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "dat_writer.h"
#include "io/file.h"

namespace testdat {

// An anonymous temporary file holding bytes.
inline std::unique_ptr<File> TempFile(const Bytes& bytes) {
    auto file = std::make_unique<File>();
    EXPECT_EQ(file->OpenTemporary(), 0);
    EXPECT_EQ(file->WriteAt(0, bytes.data(), bytes.size()), 0);
    return file;
}

// The first length bytes of file.
inline Bytes FileBytes(const File& file, uint64_t length) {
    Bytes bytes(static_cast<size_t>(length));
    EXPECT_EQ(file.ReadAt(0, bytes.data(), bytes.size()), static_cast<int64_t>(length));
    return bytes;
}

}  // namespace testdat
