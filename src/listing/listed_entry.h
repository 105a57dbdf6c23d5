// What is known of one entry, as the listing shows it: the walk fills it in
// as it learns, and the listing's printers print it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "format/signatures.h"
#include "gzip/gzip_header.h"
#include "gzip/gzip_member.h"

struct ListedEntry {
    std::string archivePath;               // the archive it is in, as error lines print it
    int number = 0;                        // its place in the table, from 1
    uint32_t offset = 0;
    uint32_t size = 0;
    std::string prefix;                    // put before the name in the listing
    bool named = false;                    // the name is known (not for a bad name record)
    std::string name;                      // as listed
    std::optional<std::string> nameBytes;  // the name record's text as read (none: a made-up name)
    std::optional<EntryKind> kind;
    std::optional<Content> content;
    std::optional<uint64_t> expanded;      // bytes written for it, or the length a gzip trailer records
    std::string output;                    // the file written (or that would be); empty until known
    std::optional<GzipHeader> gzip;
    GzipChecksum checksum = GzipChecksum::kNone;
    std::string png;                       // the PNG written of a GIM image; empty: none
};
