#include "format/signatures.h"

#include <cstring>

EntryKind KindOfData(const uint8_t* first, size_t available) {
    return available >= 2 && first[0] == 0x1F && first[1] == 0x8B ? EntryKind::kGzip : EntryKind::kStored;
}

Content ClassifyContent(const uint8_t* head) {
    if (std::memcmp(head, "GPDA", 4) == 0) return Content::kArchive;
    if (std::memcmp(head, "MIG.", 4) == 0) return Content::kGim;
    return Content::kData;
}
