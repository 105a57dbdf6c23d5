// Expanding one entry's bytes into a sink: a stored entry copied, a gzip
// member inflated.  The steps every mode that reads whole entries shares.
#pragma once

#include "extract/entry_sink.h"
#include "gzip/gzip_member.h"
#include "io/entry_reader.h"
#include "io/file.h"

// How copying a stored entry went.
enum class CopyStop { kDone, kReadFailed, kWriteFailed };

// Copies what data holds (its first piece read) into out: the pieces read
// through memory, the rest by the system where out can take it that way
// (archive is the file data reads from).
CopyStop CopyStored(EntryReader& data, const File& archive, EntrySink& out);

// Expands the gzip member whose deflate data data holds (after its header)
// into out; a member that ends right after its header is never inflated.
InflateOutcome ExpandGzip(EntryReader& data, EntrySink& out);
