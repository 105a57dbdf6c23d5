// Unpacking one archive into a folder tree: the way in for the command line.
#pragma once

#include <string>

#include "unpack/listing.h"
#include "unpack/run.h"

// Unpacks the archive at archivePath into destDir (empty, or ending in a
// separator), printing one listing line per entry and an error line for
// every failure to listing.  With options.recurse set, entries that are
// archives themselves are unpacked in turn, depth first, within the nesting
// depth and options.limits.  Whether anything failed is listing.Failures().
void UnpackArchive(const std::string& archivePath, const std::string& destDir, const RunOptions& options,
                   Listing& listing);

// Builds the archive newPath anew from the archive at archivePath and the
// tree it was unpacked into under destDir (with the same options), after
// that tree was edited: an entry whose file holds the bytes unpacking wrote
// keeps its bytes, one whose file changed gets the file's bytes (a gzip
// member compressed again), a nested archive is built from its folder.
// Prints a line per entry, the files no entry became, and a summary, to
// listing; newPath is written only when the whole archive could be.
void PackArchive(const std::string& archivePath, const std::string& destDir, const std::string& newPath,
                 const RunOptions& options, Listing& listing);
