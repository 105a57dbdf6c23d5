// Writes an archive holding one gzip member of incompressible data, streamed
// to disk so that neither this program nor the archive's size is limited by
// memory.  Used by scripts/memory_check.sh.
//
//   make_big_gzip <archive> [data bytes] [zeros]     (default 256 MiB)
//
// The member is named "big.bin" in its gzip header; the data are bytes of a
// fixed-seed generator, deflated at level 0 (stored blocks), or with "zeros"
// zero bytes deflated at level 9 (a small member that expands enormously).
// Prints the data size and the member's stored size.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "dat_writer.h"

using namespace testdat;

namespace {

constexpr size_t kChunk = 1 << 20;

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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: make_big_gzip <archive> [data bytes] [zeros]\n");
        return 2;
    }
    const uint64_t dataSize = argc >= 3 ? std::strtoull(argv[2], nullptr, 10) : 256ull << 20;
    const bool zeros = argc == 4 && std::string(argv[3]) == "zeros";
    std::ofstream f(argv[1], std::ios::binary | std::ios::trunc);
    // The head's size does not depend on the member's: write it now, and
    // again with the real sizes once the member is out.
    const Bytes placeholder = Layout(0).BuildHead();
    if (!Put(f, placeholder.data(), placeholder.size())) return 1;

    Bytes header = {0x1F, 0x8B, 8, 0x08, 0, 0, 0, 0, 0, 3};
    for (char c : std::string("big.bin")) header.push_back(static_cast<uint8_t>(c));
    header.push_back(0);
    if (!Put(f, header.data(), header.size())) return 1;
    uint64_t memberSize = header.size();

    z_stream z{};
    if (deflateInit2(&z, zeros ? 9 : 0, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 1;
    std::mt19937_64 rng(20240601);
    Bytes in(kChunk), out(kChunk + 4096);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t left = dataSize;
    int flush;
    do {
        size_t n = static_cast<size_t>(std::min<uint64_t>(left, kChunk));
        for (size_t k = 0; k < n && !zeros; k += 8) {
            uint64_t v = rng();
            for (size_t b = 0; b < 8 && k + b < n; ++b) in[k + b] = static_cast<uint8_t>(v >> (8 * b));
        }
        crc = crc32(crc, in.data(), static_cast<uInt>(n));
        left -= n;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            if (deflate(&z, flush) == Z_STREAM_ERROR) return 1;
            size_t have = out.size() - z.avail_out;
            if (!Put(f, out.data(), have)) return 1;
            memberSize += have;
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);

    Bytes trailer;
    PutLE32(trailer, 0, static_cast<uint32_t>(crc));
    PutLE32(trailer, 4, static_cast<uint32_t>(dataSize));
    if (!Put(f, trailer.data(), trailer.size())) return 1;
    memberSize += trailer.size();

    const Bytes head = Layout(memberSize).BuildHead();
    f.seekp(0);
    if (!Put(f, head.data(), head.size())) return 1;
    f.close();
    if (!f) return 1;
    std::printf("%llu %llu\n", static_cast<unsigned long long>(dataSize),
                static_cast<unsigned long long>(memberSize));
    return 0;
}
