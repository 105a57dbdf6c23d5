#include "dat_writer.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testdat {

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string ToString(const Bytes& b) { return std::string(b.begin(), b.end()); }

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void PutLE32(Bytes& b, size_t pos, uint32_t v) {
    if (b.size() < pos + 4) b.resize(pos + 4);
    for (size_t k = 0; k < 4; ++k) b[pos + k] = static_cast<uint8_t>(v >> (8 * k));
}

uint32_t LE32At(const Bytes& b, size_t pos) {
    uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k) v |= static_cast<uint32_t>(b.at(pos + k)) << (8 * k);
    return v;
}

Entry Named(const std::string& name, const Bytes& data) {
    Entry e;
    e.name = name;
    e.data = data;
    return e;
}

Entry Named(const std::string& name, const std::string& data) { return Named(name, ToBytes(data)); }

Entry Unnamed(const Bytes& data) {
    Entry e;
    e.named = false;
    e.data = data;
    return e;
}

namespace {

uint64_t DataSize(const Entry& e) { return e.externalSize ? *e.externalSize : e.data.size(); }

uint64_t AlignUp(uint64_t pos, size_t alignment) { return (pos + alignment - 1) / alignment * alignment; }

}  // namespace

Bytes Archive::BuildHead() const {
    const size_t n = entries.size();
    Bytes out(16 + 16 * n + namePadding, 0);
    std::vector<uint32_t> nameOffsets(n, 0);
    for (size_t i = 0; i < n; ++i) {
        if (!entries[i].named) continue;
        nameOffsets[i] = static_cast<uint32_t>(out.size());
        PutLE32(out, out.size(), static_cast<uint32_t>(entries[i].name.size()));
        out.insert(out.end(), entries[i].name.begin(), entries[i].name.end());
    }
    uint64_t dataPos = out.size();
    for (size_t i = 0; i < n; ++i) {
        const Entry& e = entries[i];
        size_t rec = 16 + 16 * i;
        dataPos = AlignUp(dataPos, dataAlignment);
        PutLE32(out, rec, e.offset ? *e.offset : static_cast<uint32_t>(dataPos));
        PutLE32(out, rec + 4, 0xDEADBEEF);  // unused field
        PutLE32(out, rec + 8, e.size ? *e.size : static_cast<uint32_t>(DataSize(e)));
        PutLE32(out, rec + 12, e.nameOffset ? *e.nameOffset : nameOffsets[i]);
        if (e.nameLength && e.named) PutLE32(out, nameOffsets[i], *e.nameLength);
        dataPos += DataSize(e);
    }
    PutLE32(out, 0, magic ? *magic : 0x41445047);
    PutLE32(out, 4, fileSize ? *fileSize : static_cast<uint32_t>(dataPos));
    PutLE32(out, 8, 0xCAFEF00D);  // unused field
    PutLE32(out, 12, static_cast<uint32_t>(entryCount ? *entryCount : static_cast<int32_t>(n)));
    return out;
}

Bytes Archive::Build() const {
    Bytes out = BuildHead();
    for (const Entry& e : entries) {
        out.resize(AlignUp(out.size(), dataAlignment), 0);
        if (!e.externalSize) out.insert(out.end(), e.data.begin(), e.data.end());
    }
    return out;
}

void Archive::Write(const std::string& path) const { WriteFile(path, Build()); }

Archive Of(std::vector<Entry> entries) {
    Archive a;
    a.entries = std::move(entries);
    return a;
}

Bytes Noise(size_t n, uint32_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        b[i] = static_cast<uint8_t>(seed >> 16);
    }
    if (n > 0) b[0] = 'R';
    return b;
}

Bytes Deflate(const Bytes& data, bool finish, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 64);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int ret = deflate(&z, finish ? Z_FINISH : Z_SYNC_FLUSH);
    if (ret != (finish ? Z_STREAM_END : Z_OK) || z.avail_in != 0) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes Gzip(const Bytes& data, const GzipOptions& options) {
    Bytes out = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, options.os};
    PutLE32(out, 4, options.mtime);
    uint8_t flags = 0;
    if (options.headerCrc) flags |= 0x02;
    if (options.extra) {
        flags |= 0x04;
        out.push_back(static_cast<uint8_t>(options.extra->size()));
        out.push_back(static_cast<uint8_t>(options.extra->size() >> 8));
        out.insert(out.end(), options.extra->begin(), options.extra->end());
    }
    if (options.fname) {
        flags |= 0x08;
        out.insert(out.end(), options.fname->begin(), options.fname->end());
        out.push_back(0);
    }
    if (options.comment) {
        flags |= 0x10;
        out.insert(out.end(), options.comment->begin(), options.comment->end());
        out.push_back(0);
    }
    out[3] = flags;
    if (options.headerCrc) {
        uLong crc = crc32(0, out.data(), static_cast<uInt>(out.size()));
        out.push_back(static_cast<uint8_t>(crc));
        out.push_back(static_cast<uint8_t>(crc >> 8));
    }
    Bytes deflated = Deflate(data, true, options.level);
    out.insert(out.end(), deflated.begin(), deflated.end());
    uLong crc = crc32(0, data.data(), static_cast<uInt>(data.size()));
    Bytes trailer;
    PutLE32(trailer, 0, static_cast<uint32_t>(crc));
    PutLE32(trailer, 4, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

Bytes PlainGzipHeader() { return {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3}; }

Bytes ZerosGzip(size_t mib) {
    const Bytes block = Deflate(Bytes(1 << 20, 0), false);
    Bytes g = PlainGzipHeader();
    for (size_t i = 0; i < mib; ++i) g.insert(g.end(), block.begin(), block.end());
    const Bytes finalStoredBlock = {0x01, 0x00, 0x00, 0xFF, 0xFF};
    g = Cat(g, finalStoredBlock);
    g.resize(g.size() + 8, 0);
    return g;
}

size_t GzipHeaderLength(const Bytes& m, size_t at) {
    const int flags = m.at(at + 3);
    size_t p = at + 10;
    if (flags & 0x04) p += 2 + m.at(p) + (size_t{m.at(p + 1)} << 8);
    for (int field : {0x08, 0x10})
        if (flags & field)
            while (m.at(p++) != 0) {
            }
    if (flags & 0x02) p += 2;
    return p - at;
}

Bytes Gunzip(const Bytes& member) {
    z_stream z{};
    if (inflateInit2(&z, 16 + 15) != Z_OK) throw std::runtime_error("inflateInit2");
    z.next_in = const_cast<Bytef*>(member.data());
    z.avail_in = static_cast<uInt>(member.size());
    Bytes out;
    int ret = Z_OK;
    while (ret == Z_OK) {
        uint8_t piece[65536];
        z.next_out = piece;
        z.avail_out = sizeof piece;
        ret = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), piece, piece + (sizeof piece - z.avail_out));
    }
    const bool whole = ret == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    if (!whole) throw std::runtime_error("broken gzip member");
    return out;
}

std::string RebuiltLayoutFault(const Bytes& original, const Bytes& rebuilt, const std::vector<Replaced>& replaced) {
    if (rebuilt.size() < original.size()) return "shorter than the original";
    std::vector<bool> mayChange(rebuilt.size(), false);
    for (size_t k = 4; k < 8; ++k) mayChange[k] = true;
    size_t alignment = 2048;
    for (size_t i = 0; i < LE32At(original, 12); ++i)
        while (LE32At(original, 16 + 16 * i) % alignment != 0) alignment /= 2;
    for (const Replaced& r : replaced) {
        const std::string entry = "entry " + std::to_string(r.entry + 1) + ": ";
        const size_t record = 16 + 16 * r.entry;
        const size_t oldOffset = LE32At(original, record), oldEnd = oldOffset + LE32At(original, record + 8);
        const size_t offset = LE32At(rebuilt, record), end = offset + LE32At(rebuilt, record + 8);
        for (size_t k = 0; k < 4; ++k) mayChange[record + k] = mayChange[record + 8 + k] = true;
        if (end > rebuilt.size()) return entry + "data past the end";
        if (offset == oldOffset) {
            if (end > oldEnd) return entry + "grown in its old place";
            for (size_t k = end; k < oldEnd; ++k)
                if (rebuilt[k] != 0) return entry + "old bytes left after its new data";
        } else {
            if (offset < original.size()) return entry + "moved inside the original";
            if (offset % alignment != 0) return entry + "appended off the alignment of " + std::to_string(alignment);
        }
        for (size_t k = offset; k < std::max(end, offset == oldOffset ? oldEnd : end); ++k) mayChange[k] = true;
        const size_t header = r.gzip ? GzipHeaderLength(original, oldOffset) : 0;
        for (size_t k = 0; k < header; ++k)
            if (rebuilt.at(offset + k) != original[oldOffset + k]) return entry + "gzip header changed";
    }
    for (size_t k = 0; k < rebuilt.size(); ++k)
        if (!mayChange[k] && rebuilt[k] != (k < original.size() ? original[k] : 0))
            return "byte " + std::to_string(k) + " changed";
    return "";
}

uint64_t StreamGzip(uint64_t size, const std::string& fname, int level, const std::function<Bytes(size_t)>& next,
                    const std::function<void(const uint8_t*, size_t)>& put) {
    constexpr size_t kChunk = 1 << 20;
    Bytes header = {0x1F, 0x8B, 8, 0x08, 0, 0, 0, 0, 0, 3};
    header.insert(header.end(), fname.begin(), fname.end());
    header.push_back(0);
    put(header.data(), header.size());
    uint64_t written = header.size();
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(kChunk + 4096);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t left = size;
    int flush;
    do {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kChunk));
        Bytes in = next(n);
        crc = crc32(crc, in.data(), static_cast<uInt>(n));
        left -= n;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            if (deflate(&z, flush) == Z_STREAM_ERROR) throw std::runtime_error("deflate");
            const size_t have = out.size() - z.avail_out;
            put(out.data(), have);
            written += have;
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    Bytes trailer;
    PutLE32(trailer, 0, static_cast<uint32_t>(crc));
    PutLE32(trailer, 4, static_cast<uint32_t>(size));
    put(trailer.data(), trailer.size());
    return written + trailer.size();
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace testdat
