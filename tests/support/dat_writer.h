// A test-only writer of "GPDA" archives and gzip members, able to set any
// field to any value, wrong ones included; and the readers that check what
// the tool wrote.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testdat {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& s);
std::string ToString(const Bytes& b);
Bytes Cat(Bytes a, const Bytes& b);
void PutLE32(Bytes& b, size_t pos, uint32_t v);
uint32_t LE32At(const Bytes& b, size_t pos);

struct Entry {
    std::string name;      // the name record's text
    bool named = true;     // false: nameOffset 0, the tool makes a name up
    Bytes data;
    // Data that the caller appends itself, in entry order (for archives too
    // large to build in memory); data is then ignored.
    std::optional<uint64_t> externalSize;
    // Overrides of the record fields, applied after the layout.
    std::optional<uint32_t> offset, size, nameOffset, nameLength;
};

// Entries with or without a name record.
Entry Named(const std::string& name, const Bytes& data);
Entry Named(const std::string& name, const std::string& data);
Entry Unnamed(const Bytes& data);

// Layout: header, entry table, name records (length + text, no terminator),
// then every entry's data in table order.
struct Archive {
    std::vector<Entry> entries;
    std::optional<uint32_t> magic, fileSize;
    std::optional<int32_t> entryCount;
    size_t namePadding = 0;  // zero bytes between the table and the names
    size_t dataAlignment = 1;  // each entry's data begin at a multiple of it, the gaps zero

    // Header, table and names, with data offsets as if the data followed.
    Bytes BuildHead() const;
    // The whole archive.
    Bytes Build() const;
    // Writes the whole archive to path.
    void Write(const std::string& path) const;
};

// An archive of these entries.
Archive Of(std::vector<Entry> entries);

// Bytes that look like nothing in particular (no signature at the start).
Bytes Noise(size_t n, uint32_t seed);

struct GzipOptions {
    std::optional<std::string> fname;
    std::optional<Bytes> extra;
    std::optional<std::string> comment;
    bool headerCrc = false;
    int level = 6;
    uint32_t mtime = 0;
    uint8_t os = 3;
};

// Raw deflate data of `data`.  With finish false the stream is flushed but
// left without its final block: all of it decodes, yet it never ends.
Bytes Deflate(const Bytes& data, bool finish = true, int level = 6);

// A gzip member holding data, with a proper trailer.
Bytes Gzip(const Bytes& data, const GzipOptions& options = {});

// The 10 bytes of a gzip header without optional fields.
Bytes PlainGzipHeader();

// A gzip member of `mib` MiB of zero bytes, built from one compressed
// mebibyte repeated: cheap to make however large it expands.  Its trailer
// is zeros (never filled in: nothing to check).
Bytes ZerosGzip(size_t mib);

// The length of the gzip header at `at` of bytes (well formed).
size_t GzipHeaderLength(const Bytes& bytes, size_t at);

// The data of a gzip member, its trailer checked; throws when it is broken.
Bytes Gunzip(const Bytes& member);

// An entry whose data a rebuilt archive replaced (from 0), and whether
// they are a gzip member.
struct Replaced {
    size_t entry;
    bool gzip;
};

// What breaks the rules of rebuilding in rebuilt, the archive original
// packed again with the entries `replaced` given new data, or "" when
// nothing does: every other entry keeps its record; a replaced one gets its
// data in its old place (zeros after them up to its old end) or after the
// original's end at its alignment (the greatest power of two up to 2048
// that all its offsets are multiples of), a gzip member behind its old
// header; bytes past the original's end outside new data are zeros; no
// other byte changes but the size field.
std::string RebuiltLayoutFault(const Bytes& original, const Bytes& rebuilt, const std::vector<Replaced>& replaced);

// Streams a gzip member of `size` data bytes without holding it in memory:
// a header carrying `fname`, the data deflated at `level`, a proper
// trailer.  next(n) gives the next n data bytes; put receives every piece of
// the member.  Returns the member's size; throws on a deflate failure.
uint64_t StreamGzip(uint64_t size, const std::string& fname, int level, const std::function<Bytes(size_t)>& next,
                    const std::function<void(const uint8_t*, size_t)>& put);

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);

}  // namespace testdat
