// Cfile: one open file descriptor and the file's length measured at opening.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Cfile {
public:
    // The two ways a file is opened: an archive for reading (others may read
    // it, nobody may write it meanwhile), an output file created or emptied.
    enum Mode { kRead, kCreate };

    Cfile() = default;
    Cfile(const Cfile&) = delete;
    Cfile& operator=(const Cfile&) = delete;
    virtual ~Cfile();

    // Closes any open file, then opens `path`.  Returns 0 on success, with
    // the position at 0 and `length` measured; -1 on failure, leaving the
    // handle closed.
    int Open(const std::string& path, Mode mode);

    // Closes the descriptor if one is open; `length` goes back to 0.
    // Returns 0, or -1 when closing reported that written data may be lost.
    int Close();

    bool IsOpen() const { return fd >= 0; }

    // Reads up to len bytes at pos, retrying after interruptions and short
    // reads.  Returns the count (short only at end of file), or -1 on error.
    int64_t ReadAt(uint64_t pos, void* buf, size_t len);

    // Writes all len bytes at the file position, retrying after
    // interruptions and partial writes.  Returns 0 on success, -1 on error.
    int Write(const void* buf, size_t len);

    // Cuts or extends the file to len bytes.  Returns 0 on success, -1 on
    // error.
    int SetLength(uint64_t len);

    // Appends up to len bytes from offset pos of src at the file position,
    // copied by the system where it can.  Returns the count copied, which is
    // short when the system cannot copy (the rest) or fails.
    uint64_t CopyFrom(const Cfile& src, uint64_t pos, uint64_t len);

    int fd = -1;
    int64_t length = 0;
};
