// Raw deflate at the highest level, through a fixed output window.
#include "gzip/gzip_deflate.h"

#include <zlib.h>

#include <climits>

#include "gzip/crc32.h"
#include "io/heap_buffer.h"

namespace {

constexpr size_t kWindowSize = 256 * 1024;

// A zlib stream set up for raw deflate, ended when it goes away.
class Deflater {
public:
    Deflater() { ready_ = deflateInit2(&z_, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
    ~Deflater() {
        if (ready_) deflateEnd(&z_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool Ready() const { return ready_; }

    // Compresses the len bytes at in (all of them, finishing the stream when
    // last is set) into sink through window.  Returns 0, or -1 when the
    // sink failed.
    int Put(const uint8_t* in, size_t len, bool last, ByteSink& sink, HeapBuffer& window) {
        z_.next_in = const_cast<Bytef*>(in);
        z_.avail_in = static_cast<uInt>(len);
        const int flush = last ? Z_FINISH : Z_NO_FLUSH;
        int ret;
        do {
            z_.next_out = window.Data();
            z_.avail_out = static_cast<uInt>(window.Size());
            ret = deflate(&z_, flush);
            const size_t have = window.Size() - z_.avail_out;
            if (have > 0 && sink.Write(window.Data(), have) != 0) return -1;
        } while (z_.avail_out == 0 || (last && ret != Z_STREAM_END));
        return 0;
    }

private:
    z_stream z_{};
    bool ready_ = false;
};

}  // namespace

DeflateOutcome DeflateAll(ByteSource& src, ByteSink& sink) {
    DeflateOutcome outcome{DeflateOutcome::kNoMemory, 0, 0};
    HeapBuffer window;
    Deflater deflater;
    if (window.Allocate(kWindowSize) != 0 || !deflater.Ready()) return outcome;
    for (;;) {
        const int more = src.Fill();
        if (more < 0) {
            outcome.stop = DeflateOutcome::kReadFailed;
            return outcome;
        }
        // zlib takes at most UINT_MAX bytes at a time.
        const size_t len = more == 0 ? 0 : (src.Available() < UINT_MAX ? src.Available() : UINT_MAX);
        const uint8_t* data = more == 0 ? nullptr : src.Data();
        if (deflater.Put(data, len, more == 0, sink, window) != 0) {
            outcome.stop = DeflateOutcome::kWriteFailed;
            return outcome;
        }
        if (more == 0) {
            outcome.stop = DeflateOutcome::kEnd;
            return outcome;
        }
        outcome.crc = Crc32(outcome.crc, data, len);
        outcome.length += len;
        src.Consume(len);
    }
}
