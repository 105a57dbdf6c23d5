// A GIM file is a 16-byte header and a tree of blocks.  Each block header
// gives the block's size with its children (the next sibling follows it),
// where its children start and where its own data starts, all relative to
// the block.  Image and palette blocks hold an info header, then an offset
// table of their levels and frames, then the data.
#include "gim/blocks.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "gim/colors.h"

namespace gim {
namespace {

constexpr uint64_t kFileHeaderSize = 16;
constexpr uint64_t kBlockHeaderSize = 16;
constexpr uint64_t kInfoHeaderSize = 0x30;
constexpr uint8_t kMagic[8] = {'M', 'I', 'G', '.', '0', '0', '.', '1'};
constexpr uint8_t kBigEndianMagic[8] = {'.', 'G', 'I', 'M', '1', '.', '0', '0'};

constexpr uint16_t kRootBlock = 0x02;
constexpr uint16_t kPictureBlock = 0x03;
constexpr uint16_t kImageBlock = 0x04;
constexpr uint16_t kPaletteBlock = 0x05;

// A block header, with the block's end clamped to its parent's.
struct Block {
    uint64_t pos = 0;
    uint64_t end = 0;
    uint16_t type = 0;
    uint32_t size = 0;
    uint32_t childOffset = 0;
    uint32_t dataOffset = 0;
};

// Reads the block header at pos.  The caller has checked that the header
// lies before parentEnd.
Block ReadBlock(const uint8_t* file, uint64_t pos, uint64_t parentEnd) {
    Block b;
    b.pos = pos;
    b.type = Le16(file + pos);
    b.size = Le32(file + pos + 4);
    b.end = std::min(pos + b.size, parentEnd);
    b.childOffset = Le32(file + pos + 8);
    b.dataOffset = Le32(file + pos + 12);
    return b;
}

// The first picture, image and palette block among one block's children.
struct Children {
    std::optional<Block> picture, image, palette;
};

void Keep(const Block& b, Children* found) {
    std::optional<Block>* slot = b.type == kPictureBlock ? &found->picture
                                 : b.type == kImageBlock ? &found->image
                                 : b.type == kPaletteBlock ? &found->palette
                                                           : nullptr;
    if (slot != nullptr && !*slot) *slot = b;
}

// Visits the children of parent in order and keeps the first of each kind.
// Returns kNone, or kBadBlock when the child offset points back into the
// parent's own header.  Each step moves at least one block header forward.
GimError FindChildren(const uint8_t* file, const Block& parent, Children* found) {
    if (parent.childOffset < kBlockHeaderSize) return GimError::kBadBlock;
    uint64_t pos = parent.pos + parent.childOffset;
    while (pos + kBlockHeaderSize <= parent.end) {
        const Block child = ReadBlock(file, pos, parent.end);
        Keep(child, found);
        if (child.size < kBlockHeaderSize) break;
        pos += child.size;
    }
    return GimError::kNone;
}

// Where level 0 of frame 0 starts, relative to the info header at info:
// the first entry of the offset table, or the `images` field when the table
// is missing, outside the block or holds 0.
uint32_t FirstLevelOffset(const uint8_t* file, uint64_t info, uint64_t blockEnd) {
    const uint32_t table = Le32(file + info + 0x18);
    if (table != 0 && info + table + 4 <= blockEnd) {
        const uint32_t entry = Le32(file + info + table);
        if (entry != 0) return entry;
    }
    return Le32(file + info + 0x1C);
}

// Reads the info header of an image or palette block.  Returns kNone, or
// why it cannot be read.
GimError ReadInfo(const uint8_t* file, const Block& block, InfoHeader* info) {
    if (block.dataOffset < kBlockHeaderSize) return GimError::kBadBlock;
    const uint64_t start = block.pos + block.dataOffset;
    if (start + kInfoHeaderSize > block.end) return GimError::kDataOutside;
    const uint8_t* h = file + start;
    info->format = Le16(h + 0x04);
    info->order = Le16(h + 0x06);
    info->width = Le16(h + 0x08);
    info->height = Le16(h + 0x0A);
    info->pitchAlign = Le16(h + 0x0E);
    info->dataStart = start + FirstLevelOffset(file, start, block.end);
    info->blockEnd = block.end;
    return GimError::kNone;
}

}  // namespace

GimError ReadLayout(const uint8_t* file, size_t size, GimLayout* layout) {
    if (size >= sizeof kBigEndianMagic && std::memcmp(file, kBigEndianMagic, sizeof kBigEndianMagic) == 0) {
        return GimError::kBigEndian;
    }
    if (size < kFileHeaderSize || std::memcmp(file, kMagic, sizeof kMagic) != 0) return GimError::kNotGim;
    if (size < kFileHeaderSize + kBlockHeaderSize) return GimError::kBadBlock;
    const Block root = ReadBlock(file, kFileHeaderSize, size);
    if (root.type != kRootBlock) return GimError::kBadBlock;

    Children top;
    GimError status = FindChildren(file, root, &top);
    if (status != GimError::kNone) return status;
    // Images normally sit in the first picture; without one, the root's own
    // image and palette children are taken.
    Children inPicture;
    if (top.picture) {
        status = FindChildren(file, *top.picture, &inPicture);
        if (status != GimError::kNone) return status;
    }
    const Children& found = top.picture ? inPicture : top;
    if (!found.image) return GimError::kNoImage;
    status = ReadInfo(file, *found.image, &layout->image);
    if (status != GimError::kNone) return status;
    if (found.palette) layout->paletteStatus = ReadInfo(file, *found.palette, &layout->palette);
    return GimError::kNone;
}

}  // namespace gim
