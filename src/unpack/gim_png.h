// PNG images of the GIM images an archive holds: decoded by the GIM room,
// written beside the image as "<GIM file name>.png".
#pragma once

#include "unpack/entry_output.h"
#include "unpack/listing.h"
#include "unpack/run.h"

// Decodes the GIM image an entry became (the file at record.output when
// unpacking; where written says its bytes lie when testing) and writes its
// PNG at record.output + ".png", setting record.png.  An image the decoder
// refuses gets "cannot convert" and no PNG; the GIM file stays either way.
void ConvertGimToPng(Run& run, const WrittenEntry& written, EntryRecord& record);
