// Raw deflate decoding (no zlib or gzip wrapper), fed in pieces, with two
// back ends: zlib everywhere, and ISA-L where the build found it.  On data
// zlib accepts both give the same bytes; on broken data ISA-L may stop a
// little before or after zlib's stop, or decode some data zlib refuses, so
// ExpandMember (gzip_member.h) keeps ISA-L's output only when the member's
// trailer proves it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Results of Inflater::Run besides the error codes, which are zlib's
// numbering because the listing prints them: kInflateDataError for corrupt
// data, kInflateNoMemory, and kInflateTruncated, which Run never returns (the
// caller concludes it when the input is used up and Run makes no progress).
constexpr int kInflateMore = 0;  // wants more input or more output room
constexpr int kInflateEnd = 1;   // the final block is decoded and written
constexpr int kInflateDataError = -3;
constexpr int kInflateNoMemory = -4;
constexpr int kInflateTruncated = -5;

class Inflater {
public:
    virtual ~Inflater() = default;

    // Decodes from in (inLen bytes) into out (room bytes), setting *consumed
    // and *produced to the bytes taken and written.  Returns kInflateMore,
    // kInflateEnd, or an error code.
    virtual int Run(const uint8_t* in, size_t inLen, size_t* consumed, uint8_t* out, size_t room,
                    size_t* produced) = 0;

    // After kInflateEnd: the bytes after the end of the stream that Run
    // counted as consumed but did not use (read ahead), copied to out (room
    // for kMaxUnusedInput), and their count.  They come before whatever the
    // input holds next.
    static constexpr size_t kMaxUnusedInput = 8;
    virtual size_t UnusedInput(uint8_t* out) const {
        (void)out;
        return 0;
    }
};

// The back ends.
enum class InflateBackEnd { kZlib, kIsal };

// The back end this build uses.
InflateBackEnd DefaultInflateBackEnd();

// An inflater ready for one stream.  Returns 0 with *made set, or the error
// code when it cannot be set up (memory is short).  A back end the build
// lacks gives a zlib inflater.
int NewInflater(InflateBackEnd backEnd, std::unique_ptr<Inflater>* made);
