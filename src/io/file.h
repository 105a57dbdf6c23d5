// File: one open file and its length measured at opening.  Closed when the
// handle goes away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/mapped_bytes.h"
#include "platform/platform.h"

class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Closes any open file, then opens the regular file at path for reading,
    // denying writes to others while it stays open (see
    // plat::OpenForReading).  Returns 0 on success, with the length
    // measured; -1 on failure (errno set), leaving the handle closed.
    int Open(const std::string& path);

    // Closes any open file, then opens the regular file `name` in folder
    // for reading, never through a link (see plat::OpenForReadingIn).
    // Returns 0 on success, -1 on failure, leaving the handle closed.
    int OpenIn(const plat::Folder& folder, const std::string& name);

    // Closes any open file, then creates the file `name` in folder, new and
    // empty, replacing a file there (see plat::CreateFileIn).  Returns 0 on
    // success, -1 on failure, leaving the handle closed.
    int Create(const plat::Folder& folder, const std::string& name);

    // Closes any open file, then opens an anonymous temporary file for
    // reading and writing, gone once closed.  Returns 0, or -1.
    int OpenTemporary();

    // Closes any open file, then creates a new file beside path (in its
    // folder, under a unique name stored in *made) for reading and writing;
    // an interrupt removes it until FinishBeside.  Returns 0, or -1.
    int CreateBeside(const std::string& path, std::string* made);

    // Closes the file made by CreateBeside and gives it the name path,
    // replacing a file there; a failure removes it.  Returns 0, -1 when
    // closing reported lost data, -2 when it could not take the name.
    int FinishBeside(const std::string& made, const std::string& path);

    // Closes the file if one is open.  Returns 0, or -1 when closing
    // reported that written data may be lost.
    int Close();

    bool IsOpen() const { return fd_ >= 0; }
    int64_t Length() const { return length_; }

    // Reads up to len bytes at pos.  Returns the count (short only at end of
    // file), or -1 on error (errno set).  Safe from several threads at once.
    int64_t ReadAt(uint64_t pos, void* buf, size_t len) const;

    // Writes all len bytes at pos.  Returns 0, or -1 on error (errno set).
    int WriteAt(uint64_t pos, const void* buf, size_t len);

    // Maps len bytes at pos into *mapped (its old mapping released).
    // Returns 0, or -1 when the system cannot map them.
    int Map(uint64_t pos, uint64_t len, MappedBytes* mapped) const;

    // Cuts the file to len bytes, or grows it with zero bytes.  Returns 0,
    // or -1.
    int SetLength(uint64_t len);

    // Writes up to len bytes from offset srcPos of src at offset pos of this
    // file, copied by the system where it can.  Returns the count copied,
    // which is short when the system cannot copy (the rest) or fails.
    uint64_t CopyFrom(const File& src, uint64_t srcPos, uint64_t pos, uint64_t len);

private:
    // Takes fd, just opened (or -1, a failure), as the file, of length
    // bytes.  Returns 0, or -1 for a failure.
    int Adopt(int fd, int64_t length = 0);

    int fd_ = -1;
    int64_t length_ = 0;
};
