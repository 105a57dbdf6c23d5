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
