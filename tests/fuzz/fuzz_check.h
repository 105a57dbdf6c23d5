// The check the fuzzer makes of one input, shared by the libFuzzer harness
// and the replay of the saved inputs under ctest.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzcheck {

// Writes data as an archive into a work folder of this process (on a memory
// file system where there is one), tests it, then unpacks it, recursively,
// into a fresh destination folder, with budgets (output bytes included) small
// enough that any input finishes in well under a second.  A byte of the input
// may plant a link in the destination before unpacking: a symbolic link to a
// file or a folder outside the work folder, a dangling one, or a hard link.
// Aborts, after a line on standard error, when testing created anything or
// printed other lines than unpacking (save where unpacking could not create
// or write a file), an input unpacked without a failure did not pack back
// from its tree into the same bytes, a file was written outside the
// destination, anything outside the work folder changed, the archive was
// changed, the destination holds more than the output budget, or a file
// handle was left open.  The sanitizers, when built in, report the rest.
void CheckInput(const uint8_t* data, size_t size);

}  // namespace fuzzcheck
