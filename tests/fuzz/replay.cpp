// Replays saved fuzzer inputs without libFuzzer: every file named on the
// command line (or found in a folder named there) goes through the same
// check as in the harness, each within a time limit (20 seconds, or
// RAVELKIT_REPLAY_SECONDS).  Prints one line per input and ends abnormally
// on the first failed check or input over time.
// Usage: fuzz_replay <file or folder>...
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_check.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const fs::directory_entry& e : fs::directory_iterator(argv[i]))
                if (e.is_regular_file()) inputs.push_back(e.path());
        } else {
            inputs.emplace_back(argv[i]);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    const char* limit = std::getenv("RAVELKIT_REPLAY_SECONDS");
    const unsigned seconds = limit != nullptr && std::atoi(limit) > 0 ? static_cast<unsigned>(std::atoi(limit)) : 20;
    if (inputs.empty()) {
        std::fprintf(stderr, "fuzz_replay: no inputs\n");
        return 2;
    }
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "fuzz_replay: cannot read %s\n", p.string().c_str());
            return 1;
        }
        std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "%s\n", p.string().c_str());
        alarm(seconds);  // SIGALRM ends the process: the input took too long
        fuzzcheck::CheckInput(data.data(), data.size());
        alarm(0);
    }
    std::fprintf(stderr, "fuzz_replay: %zu inputs passed\n", inputs.size());
    return 0;
}
