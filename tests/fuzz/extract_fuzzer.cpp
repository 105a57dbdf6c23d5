// libFuzzer harness of the extractor: every input is unpacked as an archive
// and checked by fuzzcheck::CheckInput (fuzz_check.h).
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::CheckInput(data, size);
    return 0;
}
