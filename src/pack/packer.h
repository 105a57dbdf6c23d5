// Packing (-p): the archive built anew from its original and the tree it
// was unpacked into, after that tree was edited.  An entry whose file holds
// the bytes unpacking wrote keeps its bytes, one whose file changed gets
// the file's bytes (a gzip member compressed again), a nested archive is
// built from its folder.  The archive is walked twice, the same walk both
// times: the first walk notes which entry became which file, the second
// decides each entry's fate and builds the new archive.
#pragma once

#include <string>

#include "listing/pack_lines.h"
#include "walk/run.h"

// Builds newPath from the archive at archivePath and the tree under
// options.destDir; prints a line per entry, the files no entry became, and
// a summary, to lines (null: nothing); failures are reported to state.
// newPath is written only when the whole archive could be.
void Pack(const std::string& archivePath, const std::string& newPath, const RunOptions& options, RunState& state,
          PackLines* lines);
