// Cfile: one open file descriptor and the file's length measured at opening.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Cfile {
public:
    // The two ways a file is opened: an archive for reading (others may read
    // it, nobody may write it meanwhile), an output file created or truncated.
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
    void Close();

    bool IsOpen() const { return fd >= 0; }

    // Moves to an absolute position.  Returns 0 on success, -1 on error.
    int SeekTo(uint64_t pos);

    // Reads up to len bytes; returns the count (short only at end of file),
    // or -1 on error.
    int64_t Read(void* buf, size_t len);

    // Writes all len bytes.  Returns 0 on success, -1 on error.
    int Write(const void* buf, size_t len);

    int fd = -1;
    int64_t length = 0;
};
