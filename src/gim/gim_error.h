// Why a GIM file was not converted.
#pragma once

namespace gim {

enum class GimError {
    kNone = 0,
    kNotGim,             // no "MIG.00.1" signature, or shorter than the file header
    kBigEndian,          // the big-endian ".GIM1.00" variant: recognised, never converted
    kBadBlock,           // no root block, or a block's offsets point into its own header
    kNoImage,            // no image block where one is looked for
    kBadFormat,          // pixel format unknown
    kBadPaletteFormat,   // palette format unknown
    kNoPalette,          // indexed pixels without a palette block
    kEmptyImage,         // width or height 0, or a palette of 0 entries
    kDataOutside,        // an info header, the pixels or the palette past the end of its block
    kNoMemory,           // the pixels could not be allocated
};

}  // namespace gim
