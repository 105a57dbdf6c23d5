// What the first bytes of an entry say it is: the signatures of the three
// kinds of content the tool treats apart, and the one place that tells them.
#pragma once

#include <cstddef>
#include <cstdint>

// "GPDA" read as a little-endian 32-bit value: an archive's magic.
constexpr uint32_t kArchiveMagic = 0x41445047;

// How many first bytes of an entry's content are kept to tell what it is.
constexpr size_t kContentHeadSize = 16;

// How an entry's data are stored.
enum class EntryKind {
    kStored,  // the bytes as they are
    kGzip,    // a gzip member, expanded when unpacked
};

// What an entry's content (its expanded bytes) is.
enum class Content {
    kArchive,  // an archive of this format: unpacked in turn
    kGim,      // a GIM image: renamed, converted with -g
    kData,     // anything else
};

// The kind of data whose first `available` bytes are first: a gzip member
// when they begin 1F 8B.
EntryKind KindOfData(const uint8_t* first, size_t available);

// What content beginning with head is; head holds kContentHeadSize bytes,
// zero where the content is shorter.
Content ClassifyContent(const uint8_t* head);
