// Differential libFuzzer harness of the two inflater back ends.  On every
// deflate stream zlib decodes to its end, ISA-L must decode the same bytes,
// end too, and stop after the same input byte (where the trailer is read),
// counting the bytes it read ahead as unused.
// Each back end gets the input in pieces of random sizes.  The first four
// bytes of an input seed the piece sizes; the rest is the deflate data.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "gzip/inflater.h"

namespace {

struct Run {
    int ret = kInflateMore;
    size_t consumed = 0;
    std::basic_string<uint8_t> out;
};

// Feeds data to one back end in random pieces until it ends, fails or stops
// making progress.
Run Inflate(InflateBackEnd backEnd, const uint8_t* data, size_t size, uint32_t seed) {
    Run run;
    std::unique_ptr<Inflater> inflater;
    if (NewInflater(backEnd, &inflater) != 0) std::abort();
    std::mt19937 rng(seed);
    uint8_t window[4096];
    for (;;) {
        size_t piece = std::min<size_t>(size - run.consumed, 1 + rng() % 512);
        size_t room = 1 + rng() % sizeof window;
        size_t consumed = 0, produced = 0;
        run.ret = inflater->Run(data + run.consumed, piece, &consumed, window, room, &produced);
        run.consumed += consumed;
        run.out.append(window, produced);
        if (run.ret == kInflateEnd) {
            uint8_t unused[Inflater::kMaxUnusedInput];
            run.consumed -= inflater->UnusedInput(unused);
        }
        if (run.ret != kInflateMore) return run;
        if (consumed == 0 && produced == 0 && run.consumed == size) return run;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || DefaultInflateBackEnd() != InflateBackEnd::kIsal) return 0;
    uint32_t seed;
    std::memcpy(&seed, data, 4);
    const Run z = Inflate(InflateBackEnd::kZlib, data + 4, size - 4, seed);
    if (z.ret != kInflateEnd) return 0;
    const Run i = Inflate(InflateBackEnd::kIsal, data + 4, size - 4, ~seed);
    if (i.ret != kInflateEnd || i.out != z.out || i.consumed != z.consumed) {
        std::fprintf(stderr, "inflate_diff_fuzzer: zlib ended after %zu bytes with %zu out; ISA-L gave %d after %zu with %zu out%s\n",
                     z.consumed, z.out.size(), i.ret, i.consumed, i.out.size(), i.out == z.out ? "" : ", other bytes");
        std::abort();
    }
    return 0;
}
