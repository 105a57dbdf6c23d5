// The walk: every entry of an accepted archive in table order, with the
// budgets of the run.  Files that turn out to be archives are walked depth
// first, under a prefix named after them.
#include "walk/walker.h"

#include <algorithm>
#include <cerrno>

#include "gzip/gzip_header.h"

namespace {

// What the walk reads of an entry before handing it over: a few bytes, in
// a small piece read through the archive's window, so that entries lying
// close together take one read between them.
constexpr size_t kFirstPiece = 4096;

// The name the entry is listed under.  Returns 1, 0 when its name record
// lies outside the index, -1 when the archive cannot be read.
int ReadListedName(const ArchiveScope& scope, const TableEntry& e, int i, const NameRules& rules, ListedEntry* listed) {
    if (e.nameOffset == 0) {
        listed->name = MadeUpName(scope.path, i, rules);
        listed->named = true;
        return 1;
    }
    std::string text;
    const int found = scope.archive.ReadNameText(e.nameOffset, &text);
    if (found != 1) return found;
    listed->nameBytes = text;
    listed->name = FinishStoredName(NameFromArchive(text, rules), rules);
    listed->named = true;
    return 1;
}

// Where the entry would be written: its final name (a gzip member's header
// file name taken, ".gz" cut), the path, and whether that path is safe.
void NameOutput(EntryVisit& visit, const RunOptions& options) {
    const NameRules& rules = options.names;
    const ListedEntry& listed = visit.listed;
    std::string name = listed.name;
    if (listed.gzip && listed.gzip->fileName) name = NameFromArchive(*listed.gzip->fileName, rules);
    visit.outputName = CutGz(name, rules);
    visit.outputPath = NormaliseSeparators(OutputPath(options.destDir, visit.scope.prefix, visit.outputName), rules);
    visit.safe = !IsUnsafeEntryPath(visit.scope.prefix, visit.outputName, rules);
}

// True when the archive holds the same bytes as one of the archives around
// it: walking it would repeat that one's walk, which led here, without end.
bool RepeatsAnOuterArchive(const Archive& archive, const ArchiveScope* outer, HeapBuffer& scratch) {
    for (const ArchiveScope* s = outer; s != nullptr; s = s->outer)
        if (archive.SameBytes(s->archive, scratch)) return true;
    return false;
}

}  // namespace

bool ArchiveScope::IsOpenAt(const std::string& at) const {
    for (const ArchiveScope* s = this; s != nullptr; s = s->outer)
        if (s->path == at) return true;
    return false;
}

int Walker::Walk(const std::string& path) {
    Archive archive;
    Failure why;
    if (archive.Open(path, &why) != 0) {
        state_.Fail(why, path, why == Failure::kCannotOpen ? errno : 0);
        return -1;
    }
    return WalkGiven(archive, path);
}

int Walker::WalkFile(const File& file, uint64_t length, const std::string& path) {
    Archive archive;
    Failure why;
    if (archive.OpenWithin(file, 0, length, &why) != 0) {
        state_.Fail(why, path);
        return -1;
    }
    return WalkGiven(archive, path);
}

int Walker::WalkGiven(Archive& archive, const std::string& path) {
    // The output budget follows from the size of the archive given.
    state_.topArchive = path;
    const RunLimits& limits = options_.limits;
    state_.output.SetLimit(archive.Length(), limits.outputPerArchiveByte, limits.outputAllowance);
    return WalkArchive(archive, path, std::string(), nullptr, WalkPosition());
}

int Walker::WalkArchive(Archive& archive, const std::string& path, const std::string& prefix, const ArchiveScope* outer,
                        const WalkPosition& position) {
    if (RepeatsAnOuterArchive(archive, outer, buffer_)) {
        state_.Fail(Failure::kContainsItself, path);
        return -1;
    }
    ArchiveScope scope{archive, path, prefix, outer == nullptr ? 0 : outer->depth + 1, position, outer};
    handler_.BeginArchive(scope);
    const int count = archive.EntryCount();
    bool readable = true;
    for (int i = 0; i < count && readable && !state_.Stopped(); ++i) {
        // Past the run's budget of entries the whole run stops.
        if (state_.entries >= options_.limits.entries) {
            state_.Fail(Failure::kTooManyEntries, path);
            state_.Stop();
            break;
        }
        ++state_.entries;
        readable = WalkEntry(scope, i) == 0;
    }
    if (readable && archive.TableTooLarge() && !state_.Stopped()) state_.Fail(Failure::kEntryTableTooLarge, path);
    handler_.EndArchive(scope);
    return 0;
}

int Walker::WalkEntry(ArchiveScope& scope, int i) {
    const uint64_t failuresBefore = state_.Failures();
    TableEntry e;
    if (scope.archive.ReadEntry(i, &e) != 0) {
        state_.Fail(Failure::kCannotRead, scope.path, errno);
        return -1;
    }
    ListedEntry listed;
    listed.archivePath = scope.path;
    listed.number = i + 1;
    listed.offset = e.offset;
    listed.size = e.size;
    listed.prefix = scope.prefix;
    const int named = ReadListedName(scope, e, i, options_.names, &listed);
    if (named < 0) {
        state_.Fail(Failure::kCannotRead, scope.path, errno);
        return -1;
    }
    if (named == 0) {
        FailureReport bad{Failure::kBadEntry, scope.path};
        bad.entry = &listed;
        state_.Fail(bad);
        return 0;
    }
    EntryVisit visit(scope, i, e, listed, failuresBefore);
    handler_.BeginEntry(visit);
    std::unique_ptr<Expansion> expansion;
    const NestedWalk nested = HandleData(visit, &expansion);
    handler_.EndEntry(visit, expansion.get(), nested);
    return 0;
}

NestedWalk Walker::HandleData(EntryVisit& visit, std::unique_ptr<Expansion>* expansion) {
    const ArchiveScope& scope = visit.scope;
    const TableEntry& e = visit.record;
    if (!EntryDataInRange(e, scope.archive.Length())) {
        handler_.DataRefused(visit);
        state_.Fail(Failure::kEntryOutOfRange, scope.path);
        return NestedWalk::kNone;
    }
    EntryReader data(scope.archive.Data(), buffer_.Data(), buffer_.Size(), scope.archive.Base() + e.offset, e.size);
    data.ReadFirstPieceThrough(&scope.archive.Window(), kFirstPiece);
    if (data.Fill() < 0) {
        handler_.DataRefused(visit);
        state_.Fail(Failure::kCannotRead, scope.path, errno);
        return NestedWalk::kNone;
    }
    visit.kind = KindOfData(data.Data(), data.Available());
    visit.listed.kind = visit.kind;
    if (visit.kind == EntryKind::kGzip) {
        GzipHeader header;
        const GzipHeaderResult read = ReadGzipHeader(data, &header);
        if (read != GzipHeaderResult::kOk) {
            handler_.DataRefused(visit);
            state_.Fail(read == GzipHeaderResult::kBad ? Failure::kBadGzipHeader : Failure::kCannotRead, scope.path);
            return NestedWalk::kNone;
        }
        visit.listed.gzip = header;
        visit.gzipHeaderLength = data.Position();
    }
    NameOutput(visit, options_);
    *expansion = handler_.Expand(visit, data);
    const Committed committed = handler_.Commit(visit, expansion->get(), data);
    if (!committed.holdsArchive || !options_.recurse) return NestedWalk::kNone;
    return WalkNested(visit, expansion->get());
}

NestedWalk Walker::WalkNested(EntryVisit& visit, Expansion* expansion) {
    const ArchiveScope& scope = visit.scope;
    const NameRules& rules = options_.names;
    const std::string& path = visit.outputPath;
    const std::string prefix = NestedPrefix(scope.prefix, visit.outputName, rules);
    // Without a '.' to cut, the folder would have the file's own path.
    if (prefix == scope.prefix + visit.outputName + "/") {
        state_.Fail(Failure::kNestedIntoItself, path);
        return NestedWalk::kLeft;
    }
    if (scope.depth + 1 > kMaxNestingDepth) {
        state_.Fail(Failure::kNestingTooDeep, path);
        return NestedWalk::kLeft;
    }
    if (state_.nestedArchives >= options_.limits.nestedArchives) {
        state_.Fail(Failure::kTooManyNested, path);
        return NestedWalk::kLeft;
    }
    std::string folder = NormaliseSeparators(OutputPath(options_.destDir, prefix, ""), rules);
    if (!folder.empty()) folder.pop_back();  // the separator the prefix ends in
    if (!handler_.EnterNested(visit, folder)) return NestedWalk::kLeft;
    ++state_.nestedArchives;
    NestedBytes bytes;
    if (handler_.FindNested(visit, expansion, &bytes) != 0) {
        state_.Fail(Failure::kCannotOpen, path, errno);
        return NestedWalk::kNotOpened;
    }
    Archive nested;
    Failure why;
    if (nested.OpenWithin(*bytes.file, bytes.base, bytes.length, &why) != 0) {
        state_.Fail(why, path);
        return NestedWalk::kNotOpened;
    }
    return WalkArchive(nested, path, prefix, &scope, visit.position) == 0 ? NestedWalk::kWalked : NestedWalk::kNotOpened;
}
