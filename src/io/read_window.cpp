#include "io/read_window.h"

#include <algorithm>
#include <cstring>

int64_t ReadWindow::ReadAt(uint64_t offset, uint8_t* out, size_t len) {
    const bool held = offset >= start_ && offset - start_ <= length_ && len <= length_ - (offset - start_);
    if (!held) {
        if (len >= size_) return file_.ReadAt(offset, out, len);
        if (kept_.Size() == 0 && kept_.Allocate(size_) != 0) return file_.ReadAt(offset, out, len);
        length_ = 0;
        const int64_t got = file_.ReadAt(offset, kept_.Data(), size_);
        if (got < 0) return -1;
        start_ = offset;
        length_ = static_cast<size_t>(got);
    }
    const size_t at = static_cast<size_t>(offset - start_);
    const size_t n = std::min(len, length_ - at);
    if (n > 0) std::memcpy(out, kept_.Data() + at, n);
    return static_cast<int64_t>(n);
}
