// Writes the benchmark inputs into a folder:
//   stored.dat  many stored entries, small and large;
//   gzip.dat    one gzip member of compressible text, and member.gz, the same
//               member as a plain .gz file.
// Usage: make_bench <folder>
#include <cstdio>
#include <exception>
#include <random>

#include "dat_writer.h"

using namespace testdat;

namespace {

Bytes RandomBytes(std::mt19937& rng, size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
}

Bytes Text(size_t n) {
    std::string s;
    for (size_t line = 0; s.size() < n; ++line)
        s += "line " + std::to_string(line) + ": the quick brown fox jumps over the lazy dog\n";
    s.resize(n);
    return ToBytes(s);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bench <folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    try {
        std::mt19937 rng(12345);
        Archive stored;
        for (int i = 0; i < 2000; ++i) {
            Bytes data = RandomBytes(rng, 4096 + static_cast<size_t>(i % 7) * 1000);
            stored.entries.push_back(Named("small/d" + std::to_string(i % 20) + "/f" + std::to_string(i) + ".bin", data));
        }
        for (int i = 0; i < 48; ++i) {
            Bytes data = RandomBytes(rng, 2 * 1024 * 1024 + 17);
            stored.entries.push_back(Named("large/f" + std::to_string(i) + ".bin", data));
        }
        stored.Write(dir + "/stored.dat");

        Bytes member = Gzip(Text(96 * 1024 * 1024));
        Archive gz;
        gz.entries.push_back(Named("text.txt", member));
        gz.Write(dir + "/gzip.dat");
        WriteFile(dir + "/member.gz", member);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
