#include "extract/first_bytes.h"

#include <algorithm>
#include <cstring>

#include "extract/expand.h"
#include "io/little_endian.h"

namespace {

constexpr uint32_t kLeastMemberWithTrailer = 18;  // a 10-byte header and the 8-byte trailer

}  // namespace

std::unique_ptr<FirstBytes> LookAtEntry(const EntryVisit& entry, EntryReader& data) {
    auto look = std::make_unique<FirstBytes>();
    if (entry.kind == EntryKind::kStored) {
        std::memcpy(look->head, data.Data(), std::min(data.Available(), kContentHeadSize));
        look->expanded = entry.record.size;
        return look;
    }
    // The length of the expanded bytes, as the trailer in the last 4 bytes
    // records it.
    const Archive& archive = entry.scope.archive;
    if (entry.record.size >= kLeastMemberWithTrailer) {
        uint8_t trailer[4];
        const uint64_t at = archive.Base() + entry.record.offset + entry.record.size - sizeof trailer;
        if (archive.Data().ReadAt(at, trailer, sizeof trailer) != static_cast<int64_t>(sizeof trailer)) {
            look->unreadable = true;
            return look;
        }
        look->expanded = ReadLE32(trailer);
    }
    (void)ExpandHead(data, look->head, kContentHeadSize);
    return look;
}

int ExpandNestedMember(EntryVisit& entry, EntryReader& data, RunState& state, FirstBytes& look) {
    if (data.Rewind(entry.gzipHeaderLength) != 0) return -1;
    TestSink sink(state.output.Room(), true, false, look.kept, false);
    InflateOutcome outcome{InflateOutcome::kWriteFailed, 0, 0, GzipChecksum::kNone};
    if (sink.Create() == 0) outcome = ExpandGzip(data, sink);
    if (sink.OverAllowance()) {
        state.TooMuchOutput();
        return -1;
    }
    (void)state.output.ChargeFile(sink.Extent());
    if (outcome.stop == InflateOutcome::kReadFailed) {
        state.Fail(Failure::kCannotRead, entry.scope.path);
        return -1;
    }
    std::memcpy(look.head, sink.Head(), kContentHeadSize);
    look.keptLength = outcome.produced;
    return 0;
}

int FindLookedAtArchive(const EntryVisit& entry, FirstBytes& look, NestedBytes* bytes) {
    if (entry.kind == EntryKind::kStored) {
        bytes->file = &entry.scope.archive.Data();
        bytes->base = entry.scope.archive.Base() + entry.record.offset;
        bytes->length = entry.record.size;
        return 0;
    }
    if (!look.kept.IsOpen()) return -1;
    bytes->file = &look.kept;
    bytes->length = look.keptLength;
    return 0;
}
