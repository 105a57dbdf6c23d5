#include "extract/expand.h"

CopyStop CopyStored(EntryReader& data, const File& archive, EntrySink& out) {
    bool copiedBySystem = false;
    int more;
    while ((more = data.Fill()) > 0) {
        if (out.Write(data.Data(), data.Available()) != 0) return CopyStop::kWriteFailed;
        data.Consume(data.Available());
        if (!copiedBySystem && data.Remaining() > 0) {
            copiedBySystem = true;
            data.Skip(out.CopyFrom(archive, data.NextOffset(), data.Remaining()));
        }
    }
    return more < 0 ? CopyStop::kReadFailed : CopyStop::kDone;
}

InflateOutcome ExpandGzip(EntryReader& data, EntrySink& out) {
    if (data.Remaining() == 0) return InflateOutcome{InflateOutcome::kEnd, 0, 0, GzipChecksum::kNone};
    return ExpandMember(data, out);
}
