// Where a decoder reads its input and writes its output, whatever lies
// behind: an entry of an archive, a file, memory.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes read in pieces: Fill makes a piece available, Consume uses it up.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Makes sure unconsumed bytes are available unless the source is used
    // up.  Returns 1 when bytes are available, 0 at the end, -1 when the
    // bytes could not be read.
    virtual int Fill() = 0;

    // The available bytes, and using n of them up.
    virtual const uint8_t* Data() const = 0;
    virtual size_t Available() const = 0;
    virtual void Consume(size_t n) = 0;

    // How many bytes have been consumed, and going back to such a count.
    // Rewind returns 0, or -1 when the source cannot go back.
    virtual uint64_t Position() const = 0;
    virtual int Rewind(uint64_t position) = 0;

    // The next byte (0-255), -1 at the end, -2 on a read failure.
    int NextByte() {
        int more = Fill();
        if (more <= 0) return more == 0 ? -1 : -2;
        int byte = Data()[0];
        Consume(1);
        return byte;
    }
};

// Bytes written in order.
class ByteSink {
public:
    virtual ~ByteSink() = default;

    // Takes all len bytes.  Returns 0, or -1 when they could not be written.
    virtual int Write(const uint8_t* data, size_t len) = 0;

    // Drops every byte written so far, to write them anew.  Returns 0, or -1
    // when they could not be dropped.
    virtual int Restart() = 0;
};
