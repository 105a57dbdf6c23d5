// The zlib back end of the raw inflater.
#include <zlib.h>

#include <climits>
#include <new>

#include "gzip/inflate_backends.h"

namespace {

class ZlibInflater : public Inflater {
public:
    ~ZlibInflater() override {
        if (ready_) inflateEnd(&z_);
    }

    // Returns zlib's result of setting up the stream.
    int Start() {
        int ret = inflateInit2(&z_, -15);
        ready_ = ret == Z_OK;
        return ret;
    }

    int Run(const uint8_t* in, size_t inLen, size_t* consumed, uint8_t* out, size_t room,
            size_t* produced) override {
        const uInt inGiven = static_cast<uInt>(inLen < UINT_MAX ? inLen : UINT_MAX);
        const uInt outGiven = static_cast<uInt>(room < UINT_MAX ? room : UINT_MAX);
        z_.next_in = const_cast<Bytef*>(in);
        z_.avail_in = inGiven;
        z_.next_out = out;
        z_.avail_out = outGiven;
        int ret = inflate(&z_, Z_NO_FLUSH);
        *consumed = inGiven - z_.avail_in;
        *produced = outGiven - z_.avail_out;
        if (ret == Z_STREAM_END) return kInflateEnd;
        // Z_BUF_ERROR: no progress was possible; the caller knows whether
        // more input will come.
        if (ret == Z_OK || ret == Z_BUF_ERROR) return kInflateMore;
        return ret < 0 ? ret : kInflateDataError;
    }

private:
    z_stream z_{};
    bool ready_ = false;
};

}  // namespace

int NewZlibInflater(std::unique_ptr<Inflater>* made) {
    std::unique_ptr<ZlibInflater> z(new (std::nothrow) ZlibInflater);
    if (!z) return kInflateNoMemory;
    int ret = z->Start();
    if (ret != Z_OK) return ret;
    *made = std::move(z);
    return 0;
}
