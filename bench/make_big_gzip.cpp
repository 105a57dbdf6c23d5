// Writes the inputs of scripts/memory_check.sh.
//
//   make_big_gzip <archive> [data bytes] [zeros]     (default 256 MiB)
//
// An archive holding one gzip member, streamed to disk so that neither this
// program nor the archive's size is limited by memory.  The member is named
// "big.bin" in its gzip header; the data are bytes of a fixed-seed
// generator, deflated at level 0 (stored blocks), or with "zeros" zero bytes
// deflated at level 9 (a small member that expands enormously).  Prints the
// data size and the member's stored size.
//
//   make_big_gzip <archive> gim
//
// An archive holding one GIM image of 1024 x 1024 pixels of 32-bit colour
// (4 MiB of RGBA), for the memory of -g.  Prints its width and height.
//
//   make_big_gzip <archive> nested
//
// Archives nested 32 levels deep below the one written, each just over 1 MiB
// (a stored entry of zeros, then the next level as a gzip member "d.dat";
// the deepest holds "leaf.txt" instead).  Prints the number of levels below
// and the archive's size.
//
//   make_big_gzip <archive> many
//
// An archive of as many entries as the format holds, 65,535 unnamed ones of
// one byte each.  Prints the entry count and the archive's size.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

#include "dat_writer.h"
#include "gim_writer.h"

using namespace testdat;

namespace {

bool Put(std::ofstream& f, const uint8_t* p, size_t n) {
    f.write(reinterpret_cast<const char*>(p), static_cast<std::streamsize>(n));
    return static_cast<bool>(f);
}

Archive Layout(uint64_t memberSize) {
    Entry e;
    e.name = "big.bin.gz";
    e.externalSize = memberSize;
    Archive a;
    a.entries.push_back(e);
    return a;
}

// One large GIM image, written to path inside an archive.
int WriteGim(const char* path) {
    testgim::Level image;
    image.width = image.height = 1024;
    image.swizzled = true;
    std::mt19937 rng(3);
    for (uint32_t y = 0; y < 1024; ++y) {
        testgim::Bytes row(4 * 1024);
        for (uint32_t x = 0; x < 1024; ++x)
            for (uint32_t c = 0; c < 4; ++c) row[4 * x + c] = static_cast<uint8_t>(x / 4 + y / 4 * c + rng() % 4);
        image.rows.push_back(row);
    }
    Archive a;
    a.entries = {Named("big.bin", testgim::BuildGim(image, std::nullopt).bytes)};
    WriteFile(path, a.Build());
    std::printf("1024 1024\n");
    return 0;
}

// The nested archives, innermost first, the outermost written to path.
int WriteNested(const char* path) {
    constexpr int kLevels = 32;
    const Bytes pad(1 << 20, 0);
    Archive leaf;
    leaf.entries = {Named("pad.bin", pad), Named("leaf.txt", "x")};
    Bytes level = leaf.Build();
    for (int k = 0; k < kLevels; ++k) {
        Archive outer;
        GzipOptions o;
        o.level = 9;
        outer.entries = {Named("pad.bin", pad), Named("d.dat", Gzip(level, o))};
        level = outer.Build();
    }
    WriteFile(path, level);
    std::printf("%d %zu\n", kLevels, level.size());
    return 0;
}

int WriteMany(const char* path) {
    constexpr int kEntries = 65535;
    Archive a;
    for (int i = 0; i < kEntries; ++i) a.entries.push_back(Unnamed(Bytes{static_cast<uint8_t>('a' + i % 26)}));
    const Bytes bytes = a.Build();
    WriteFile(path, bytes);
    std::printf("%d %zu\n", kEntries, bytes.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[2]) == "nested") return WriteNested(argv[1]);
    if (argc == 3 && std::string(argv[2]) == "gim") return WriteGim(argv[1]);
    if (argc == 3 && std::string(argv[2]) == "many") return WriteMany(argv[1]);
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: make_big_gzip <archive> [data bytes] [zeros] | <archive> nested | gim | many\n");
        return 2;
    }
    const uint64_t dataSize = argc >= 3 ? std::strtoull(argv[2], nullptr, 10) : 256ull << 20;
    const bool zeros = argc == 4 && std::string(argv[3]) == "zeros";
    std::ofstream f(argv[1], std::ios::binary | std::ios::trunc);
    // The head's size does not depend on the member's: write it now, and
    // again with the real sizes once the member is out.
    const Bytes placeholder = Layout(0).BuildHead();
    if (!Put(f, placeholder.data(), placeholder.size())) return 1;

    std::mt19937_64 rng(20240601);
    uint64_t memberSize = 0;
    try {
        memberSize = StreamGzip(
            dataSize, "big.bin", zeros ? 9 : 0,
            [&](size_t n) {
                Bytes in(n, 0);
                for (size_t k = 0; k < n && !zeros; k += 8) {
                    uint64_t v = rng();
                    for (size_t b = 0; b < 8 && k + b < n; ++b) in[k + b] = static_cast<uint8_t>(v >> (8 * b));
                }
                return in;
            },
            [&](const uint8_t* p, size_t n) {
                if (!Put(f, p, n)) throw std::runtime_error("cannot write");
            });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_big_gzip: %s\n", e.what());
        return 1;
    }

    const Bytes head = Layout(memberSize).BuildHead();
    f.seekp(0);
    if (!Put(f, head.data(), head.size())) return 1;
    f.close();
    if (!f) return 1;
    std::printf("%llu %llu\n", static_cast<unsigned long long>(dataSize),
                static_cast<unsigned long long>(memberSize));
    return 0;
}
