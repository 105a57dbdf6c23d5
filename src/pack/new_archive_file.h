// The new archive's own file: made beside its final name, given that name
// when complete, and removed when it never is (an interrupt removes it too).
#pragma once

#include <string>

#include "io/file.h"

class NewArchiveFile {
public:
    NewArchiveFile() = default;
    NewArchiveFile(const NewArchiveFile&) = delete;
    NewArchiveFile& operator=(const NewArchiveFile&) = delete;
    ~NewArchiveFile();

    // Makes the file beside path.  Returns 0, or -1 (errno set).
    int Create(const std::string& path);

    File& Data() { return file_; }

    // Closes the file and renames it over path.  Returns 0, -1 when closing
    // reported lost data, -2 when it could not take the name (it is removed
    // then).
    int Commit();

private:
    std::string path_;
    std::string made_;  // its own name while it is being built
    File file_;
};
