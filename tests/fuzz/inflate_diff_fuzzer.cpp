// Differential libFuzzer harness of the two inflater back ends: the same raw
// deflate data, fed to each through the gzip decoder in pieces of random
// sizes (each back end its own sizes), must give the same bytes and stop the
// same way with the same code, ISA-L's corrections included.  The first
// four bytes of an input seed the piece sizes; the rest is the deflate data.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "extract/gzip.h"
#include "extract/inflater.h"
#include "io/byte_stream.h"
#include "memory_streams.h"

namespace {

[[noreturn]] void Fail(const char* what, const InflateOutcome& z, const InflateOutcome& i) {
    std::fprintf(stderr, "inflate_diff_fuzzer: %s: zlib stop %d code %d bytes %llu, ISA-L stop %d code %d bytes %llu\n",
                 what, z.stop, z.code, static_cast<unsigned long long>(z.produced), i.stop, i.code,
                 static_cast<unsigned long long>(i.produced));
    std::abort();
}

}  // namespace

using testdat::KeepingSink;
using testdat::PieceSource;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || !HasInflateBackEnd(InflateBackEnd::kIsal)) return 0;
    uint32_t seed;
    std::memcpy(&seed, data, 4);
    PieceSource zSource(data + 4, size - 4, seed), iSource(data + 4, size - 4, ~seed);
    KeepingSink zSink, iSink;
    const InflateOutcome z = InflateMember(zSource, zSink, InflateBackEnd::kZlib);
    const InflateOutcome i = InflateMember(iSource, iSink, InflateBackEnd::kIsal);
    if (z.stop != i.stop || z.code != i.code) Fail("different results", z, i);
    if (z.produced != i.produced || zSink.bytes.size() != z.produced || iSink.bytes.size() != i.produced)
        Fail("different lengths", z, i);
    if (zSink.bytes != iSink.bytes) Fail("different bytes", z, i);
    return 0;
}
