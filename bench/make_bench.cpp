// Writes the inputs of bench/run into a folder, streamed to disk so that
// memory stays small whatever the sizes:
//   stored.dat   3 stored entries of 100 MiB each at 4 KiB boundaries
//                (stored/ holds the same three files, for cp), and
//                stored_packed.dat, the same entries packed without gaps;
//   gzip.dat     one gzip member of ~300 MB of mixed text and table data,
//                and member.gz, the same member as a plain .gz file;
//   small.dat    25,000 stored files of 0.5-4 KiB in 256 folders;
//   multi.dat    50 gzip members of ~2 MB each, and multi.gz, the same
//                members joined into one multi-member .gz file;
//   gim.dat      1,000 GIM textures of 256 x 256 pixels.
// Usage: make_bench <folder> [MiB scale, default 100 (the stored entries' size)]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "dat_writer.h"
#include "gim_writer.h"

using namespace testdat;

namespace {

constexpr size_t kChunk = 1 << 20;

class Out {
public:
    explicit Out(const std::string& path) : path_(path), f_(path, std::ios::binary | std::ios::trunc) {
        if (!f_) throw std::runtime_error("cannot write " + path);
    }
    void Put(const uint8_t* p, size_t n) {
        f_.write(reinterpret_cast<const char*>(p), static_cast<std::streamsize>(n));
        if (!f_) throw std::runtime_error("cannot write " + path_);
    }
    void Put(const Bytes& b) { Put(b.data(), b.size()); }
    void Rewind() { f_.seekp(0); }

private:
    std::string path_;
    std::ofstream f_;
};

// Data that compresses about as well as a game's text and tables: words of
// a Zipf-distributed vocabulary in lines, mixed with records of small
// integers and noisy floats.
class MixedData {
public:
    MixedData() : rng_(20240601) {
        std::uniform_int_distribution<int> len(2, 10), letter(0, 25);
        for (int w = 0; w < 4000; ++w) {
            std::string s;
            for (int k = len(rng_); k > 0; --k) s.push_back(static_cast<char>('a' + letter(rng_)));
            words_.push_back(s);
            weights_.push_back(1.0 / (w + 1));
        }
        pick_ = std::discrete_distribution<int>(weights_.begin(), weights_.end());
    }

    // The next n bytes.
    Bytes Next(size_t n) {
        Bytes b;
        b.reserve(n + 512);
        while (b.size() < n) {
            if (rng_() % 10 < 7)
                Line(b);
            else
                Record(b);
        }
        b.resize(n);
        return b;
    }

private:
    void Line(Bytes& b) {
        std::string s = std::to_string(line_++) + ": ";
        for (int k = 3 + static_cast<int>(rng_() % 12); k > 0; --k) s += words_[static_cast<size_t>(pick_(rng_))] + " ";
        s.back() = '\n';
        b.insert(b.end(), s.begin(), s.end());
    }
    void Record(Bytes& b) {
        for (uint64_t k = 0; k < 16; ++k) {
            uint32_t id = static_cast<uint32_t>(line_ * 16 + k), v = rng_() % 16;
            float f = static_cast<float>(rng_() % 512) / 8.0f;
            uint32_t fbits;
            std::memcpy(&fbits, &f, 4);
            for (uint32_t x : {id, v, fbits})
                for (int s = 0; s < 32; s += 8) b.push_back(static_cast<uint8_t>(x >> s));
        }
    }

    std::mt19937 rng_;
    std::vector<std::string> words_;
    std::vector<double> weights_;
    std::discrete_distribution<int> pick_;
    uint64_t line_ = 0;
};

// Streams one gzip member of `size` bytes of data to every output.
uint64_t WriteGzipMember(MixedData& source, uint64_t size, const std::string& fname, std::vector<Out*> outs) {
    return StreamGzip(
        size, fname, 6, [&](size_t n) { return source.Next(n); },
        [&](const uint8_t* p, size_t n) {
            for (Out* o : outs) o->Put(p, n);
        });
}

// An archive whose entries' data are streamed after its head; the head is
// written again once the sizes are known.
void WriteStreamed(const std::string& path, const std::vector<std::string>& names,
                   const std::function<std::vector<uint64_t>(Out&)>& body) {
    Archive a;
    for (const std::string& n : names) {
        Entry e = Named(n, Bytes{});
        e.externalSize = 0;
        a.entries.push_back(e);
    }
    Out f(path);
    f.Put(a.BuildHead());
    std::vector<uint64_t> sizes = body(f);
    for (size_t i = 0; i < sizes.size(); ++i) a.entries[i].externalSize = sizes[i];
    f.Rewind();
    f.Put(a.BuildHead());
}

// Three stored entries of the same random bytes, in two archives: one with
// each entry's data at a 4 KiB boundary, one packed right after the names.
// The kernel copies a file range fastest when source and destination offsets
// agree within a page, as they do for aligned entries (and for cp).
void MakeStored(const std::string& dir, uint64_t entryBytes) {
    const std::vector<std::string> names = {"part1.bin", "part2.bin", "part3.bin"};
    for (const bool aligned : {true, false}) {
        Archive a;
        for (const std::string& n : names) {
            Entry e = Named(n, Bytes{});
            e.externalSize = entryBytes;
            a.entries.push_back(e);
        }
        uint64_t pos = a.BuildHead().size();
        std::vector<uint64_t> padding;
        for (Entry& e : a.entries) {
            uint64_t start = aligned ? (pos + 4095) / 4096 * 4096 : pos;
            padding.push_back(start - pos);
            e.offset = static_cast<uint32_t>(start);
            pos = start + entryBytes;
        }
        a.fileSize = static_cast<uint32_t>(pos);
        Out f(dir + (aligned ? "/stored.dat" : "/stored_packed.dat"));
        f.Put(a.BuildHead());
        std::mt19937_64 rng(7);
        Bytes chunk(kChunk);
        for (size_t i = 0; i < names.size(); ++i) {
            f.Put(Bytes(padding[i], 0));
            std::unique_ptr<Out> plain;
            if (aligned) plain = std::make_unique<Out>(dir + "/stored/" + names[i]);
            for (uint64_t left = entryBytes; left > 0;) {
                size_t k = static_cast<size_t>(std::min<uint64_t>(left, kChunk));
                for (size_t j = 0; j < k; j += 8) {
                    uint64_t v = rng();
                    std::memcpy(&chunk[j], &v, std::min<size_t>(8, k - j));
                }
                if (left == entryBytes) chunk[0] = 'S';  // no signature the tool acts on
                f.Put(chunk.data(), k);
                if (plain) plain->Put(chunk.data(), k);
                left -= k;
            }
        }
    }
}

void MakeGzip(const std::string& dir, uint64_t dataBytes) {
    MixedData source;
    Out plain(dir + "/member.gz");
    WriteStreamed(dir + "/gzip.dat", {"text.bin.gz"}, [&](Out& f) {
        return std::vector<uint64_t>{WriteGzipMember(source, dataBytes, "text.bin", {&f, &plain})};
    });
}

void MakeSmall(const std::string& dir) {
    std::mt19937 rng(99);
    Archive a;
    Bytes data;
    for (int i = 0; i < 25000; ++i) {
        data.resize(512 + rng() % (4096 - 512 + 1));
        for (auto& c : data) c = static_cast<uint8_t>("abcdefghij \n0123"[rng() % 16]);
        char name[32];
        std::snprintf(name, sizeof name, "d%03d/f%05d.bin", i % 256, i);
        a.entries.push_back(Named(name, data));
    }
    a.Write(dir + "/small.dat");
}

void MakeMulti(const std::string& dir, uint64_t memberBytes) {
    MixedData source;
    Out joined(dir + "/multi.gz");
    std::vector<std::string> names;
    for (int i = 0; i < 50; ++i) names.push_back("m" + std::to_string(i) + ".gz");
    WriteStreamed(dir + "/multi.dat", names, [&](Out& f) {
        std::vector<uint64_t> sizes;
        for (int i = 0; i < 50; ++i)
            sizes.push_back(WriteGzipMember(source, memberBytes, "m" + std::to_string(i) + ".bin", {&f, &joined}));
        return sizes;
    });
}

// 1,000 GIM textures of 256 x 256 pixels, swizzled as the console keeps
// them: half 32-bit colour, half 8-bit indices into a 256-colour palette,
// smooth gradients with a little grain, as game textures look.
void MakeGim(const std::string& dir) {
    std::mt19937 rng(5);
    Archive a;
    for (int i = 0; i < 1000; ++i) {
        const bool indexed = i % 2 == 1;
        testgim::Level image;
        image.format = indexed ? 5 : 3;
        image.width = image.height = 256;
        image.swizzled = true;
        for (uint32_t y = 0; y < 256; ++y) {
            testgim::Bytes row;
            for (uint32_t x = 0; x < 256; ++x) {
                const uint32_t grain = rng() % 8;
                if (indexed) {
                    row.push_back(static_cast<uint8_t>((x + y) / 2 + grain));
                } else {
                    for (uint32_t v : {x + grain, y + grain, (x + y + static_cast<uint32_t>(i)) / 2 + grain, 255u})
                        row.push_back(static_cast<uint8_t>(v));
                }
            }
            image.rows.push_back(row);
        }
        std::optional<testgim::Level> palette;
        if (indexed) {
            palette.emplace();
            palette->format = 3;
            palette->width = 256;
            testgim::Bytes entries;
            for (uint32_t k = 0; k < 256; ++k)
                for (uint32_t v : {k, 255 - k, (k * 3) % 256, 255u}) entries.push_back(static_cast<uint8_t>(v));
            palette->rows.push_back(entries);
        }
        char name[32];
        std::snprintf(name, sizeof name, "tex/t%04d.bin", i);
        a.entries.push_back(Named(name, testgim::BuildGim(image, palette).bytes));
    }
    a.Write(dir + "/gim.dat");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_bench <folder> [MiB scale]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const uint64_t mib = (argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 100) << 20;
    try {
        std::filesystem::create_directories(dir + "/stored");
        MakeStored(dir, mib);
        MakeGzip(dir, 3 * mib);
        MakeSmall(dir);
        MakeMulti(dir, mib / 50);
        MakeGim(dir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
