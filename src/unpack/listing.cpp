#include "unpack/listing.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace {

using Json = nlohmann::ordered_json;

const char* Words(Failure failure) {
    switch (failure) {
        case Failure::kCannotOpen: return "cannot open";
        case Failure::kUnknownFormat: return "unknown format";
        case Failure::kCannotRead: return "cannot read";
        case Failure::kOutOfMemory: return "out of memory";
        case Failure::kContainsItself: return "archive contains itself";
        case Failure::kEntryTableTooLarge: return "entry table too large";
        case Failure::kEntryOutOfRange: return "entry out of range";
        case Failure::kBadGzipHeader: return "bad gzip header";
        case Failure::kUnsafePath: return "unsafe path";
        case Failure::kCannotCreate: return "cannot create";
        case Failure::kCannotWrite: return "cannot write";
        case Failure::kBadGzipChecksum: return "bad gzip checksum";
        case Failure::kNestingTooDeep: return "nesting too deep";
        case Failure::kNestedIntoItself: return "cannot unpack nested archive into itself";
        case Failure::kTooManyNested: return "too many nested archives";
        case Failure::kTooManyEntries: return "too many entries";
        case Failure::kTooMuchOutput: return "too much output";
        case Failure::kCannotConvert: return "cannot convert";
        case Failure::kMissing: return "missing";
        case Failure::kArchiveTooLarge: return "archive too large";
    }
    return "failure";
}

const char* KindWord(EntryRecord::Kind kind) {
    switch (kind) {
        case EntryRecord::Kind::kStored: return "stored";
        case EntryRecord::Kind::kGzip: return "gzip";
        case EntryRecord::Kind::kUnknown: break;
    }
    return nullptr;
}

const char* ContentWord(EntryRecord::Content content) {
    switch (content) {
        case EntryRecord::Content::kArchive: return "archive";
        case EntryRecord::Content::kGim: return "gim";
        case EntryRecord::Content::kData: return "data";
        case EntryRecord::Content::kUnknown: break;
    }
    return nullptr;
}

const char* ChecksumWord(GzipChecksum checksum) {
    switch (checksum) {
        case GzipChecksum::kOk: return "ok";
        case GzipChecksum::kBad: return "bad";
        case GzipChecksum::kNone: break;
    }
    return "none";
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

// Collects one JSON object.  Strings that are not valid UTF-8 (names kept
// as the archive's bytes) are taken byte for byte as Latin-1, and the line
// is then written with every character beyond ASCII escaped, so that those
// bytes show as \u0080-\u00FF.
class JsonLine {
public:
    void Set(const char* key, const Json& value) { object_[key] = value; }
    void SetText(const char* key, const std::string& text) { object_[key] = Text(text); }
    void SetWord(const char* key, const char* word) { object_[key] = word == nullptr ? Json() : Json(word); }
    Json& Object() { return object_; }

    Json Text(const std::string& text) {
        try {
            (void)Json(text).dump();
            return text;
        } catch (const Json::type_error&) {
            asciiOnly_ = true;
            std::string latin1;
            for (char byte : text) {
                const auto c = static_cast<unsigned char>(byte);
                if (c < 0x80) {
                    latin1 += static_cast<char>(c);
                } else {
                    latin1 += static_cast<char>(0xC0 | (c >> 6));
                    latin1 += static_cast<char>(0x80 | (c & 0x3F));
                }
            }
            return latin1;
        }
    }

    std::string Line() const { return object_.dump(-1, ' ', asciiOnly_) + "\n"; }

private:
    Json object_ = Json::object();
    bool asciiOnly_ = false;
};

const char* FateWord(EntryRecord::Fate fate) {
    switch (fate) {
        case EntryRecord::Fate::kReplaced: return "replaced";
        case EntryRecord::Fate::kMissing: return "missing";
        case EntryRecord::Fate::kKept:
        case EntryRecord::Fate::kUndecided: break;
    }
    return "kept";
}

// The JSON object of an entry.
JsonLine EntryJson(const EntryRecord& e) {
    JsonLine line;
    line.Set("path", e.named ? line.Text(e.prefix + e.name) : Json());
    line.SetText("archive", e.archivePath);
    line.Set("entry", e.number);
    line.Set("offset", e.offset);
    line.Set("size", e.size);
    line.SetWord("kind", KindWord(e.kind));
    line.SetWord("content", ContentWord(e.content));
    line.Set("expanded", e.expanded ? Json(*e.expanded) : Json());
    line.Set("output", e.output.empty() ? Json() : line.Text(e.output));
    if (e.nameBytes) line.Set("name_hex", Hex(*e.nameBytes));
    if (e.gzip) {
        Json gzip = Json::object();
        gzip["name"] = e.gzip->fileName ? line.Text(*e.gzip->fileName) : Json();
        gzip["mtime"] = e.gzip->mtime;
        gzip["os"] = e.gzip->os;
        gzip["checksum"] = ChecksumWord(e.checksum);
        line.Set("gzip", gzip);
    }
    if (!e.png.empty()) line.SetText("png", e.png);
    return line;
}

std::string OptionalNumber(const std::optional<uint64_t>& n, const char* none) {
    return n ? std::to_string(*n) : std::string(none);
}

}  // namespace

void Listing::Write(const std::string& text) {
    if (out_ != nullptr) plat::WriteText(out_, text);
    if (!text.empty()) atLineStart_ = text.back() == '\n';
}

void Listing::Emit(const std::string& text) {
    if (packing_ && !open_.empty())
        open_.back().waiting += text;
    else
        Write(text);
}

void Listing::BeginEntry(const EntryRecord& entry) {
    entry_ = &entry;
    entryEmitted_ = false;
    if (packing_)
        open_.push_back(OpenEntry{&entry, std::string()});
    else if (style_ == Style::kText)
        Write(entry.prefix + entry.name + " " + std::to_string(entry.size) + " bytes");
}

void Listing::Expanded(uint64_t produced) {
    if (style_ == Style::kText && !packing_) Write(" to " + std::to_string(produced) + " bytes");
}

void Listing::InflateCode(int code) {
    ++failures_;
    if (style_ == Style::kText) {
        Emit(std::to_string(code) + "\n");
        return;
    }
    Report("", entry_ != nullptr ? entry_->output : std::string(), "inflate", code);
}

void Listing::EndEntry() {
    if (style_ == Style::kText && !packing_) Write("\n");
}

void Listing::EntryDone() {
    if (packing_) return;  // the entry stays open until EntryPacked
    if (style_ == Style::kJson) EmitEntry();
    entry_ = nullptr;
}

void Listing::EmitEntry() {
    if (entry_ == nullptr || entryEmitted_) return;
    entryEmitted_ = true;
    Write(EntryJson(*entry_).Line());
}

void Listing::EntryPacked() {
    if (open_.empty()) return;
    const OpenEntry done = open_.back();
    open_.pop_back();
    entry_ = open_.empty() ? nullptr : open_.back().record;
    const EntryRecord& e = *done.record;
    const EntryRecord::Fate fate = e.fate == EntryRecord::Fate::kUndecided ? EntryRecord::Fate::kKept : e.fate;
    ++packed_[static_cast<int>(fate)];
    if (style_ == Style::kJson) {
        JsonLine line = EntryJson(e);
        line.Set("status", FateWord(fate));
        line.Set("new_size", fate == EntryRecord::Fate::kReplaced ? e.newSize : uint64_t{e.size});
        Write(line.Line());
    } else if (fate != EntryRecord::Fate::kMissing) {
        std::string text = e.prefix + e.name + " " + std::to_string(e.size) + " bytes ";
        text += fate == EntryRecord::Fate::kReplaced ? "replaced by " + std::to_string(e.newSize) + " bytes\n" : "kept\n";
        Write(text);
    }
    Write(done.waiting);
}

void Listing::Unused(const std::string& path) {
    if (style_ == Style::kText) {
        Write("unused " + path + "\n");
        return;
    }
    JsonLine line;
    line.SetText("unused", path);
    Write(line.Line());
}

void Listing::PackSummary() {
    const uint64_t kept = packed_[static_cast<int>(EntryRecord::Fate::kKept)];
    const uint64_t replaced = packed_[static_cast<int>(EntryRecord::Fate::kReplaced)];
    const uint64_t missing = packed_[static_cast<int>(EntryRecord::Fate::kMissing)];
    if (style_ == Style::kText) {
        Write(std::to_string(kept + replaced + missing) + " entries: " + std::to_string(kept) + " kept, " +
              std::to_string(replaced) + " replaced, " + std::to_string(missing) + " missing\n");
        return;
    }
    JsonLine line;
    line.Set("entries", kept + replaced + missing);
    line.Set("kept", kept);
    line.Set("replaced", replaced);
    line.Set("missing", missing);
    Write(line.Line());
}

void Listing::ListEntry(const EntryRecord& entry) {
    entry_ = &entry;
    entryEmitted_ = false;
    if (style_ == Style::kJson) return;  // printed once the entry is done
    const char* kind = KindWord(entry.kind);
    const char* content = ContentWord(entry.content);
    char columns[64];
    std::snprintf(columns, sizeof columns, "%12u %12s %-6s %-7s ", entry.size,
                  entry.kind == EntryRecord::Kind::kStored ? "-" : OptionalNumber(entry.expanded, "?").c_str(),
                  kind != nullptr ? kind : "?", content != nullptr ? content : "?");
    Write(columns + entry.prefix + entry.name + "\n");
}

void Listing::Report(const std::string& words, const std::string& path, const std::string& jsonError, int code) {
    if (style_ == Style::kText) {
        Emit((atLineStart_ ? "error : " : "\nerror : ") + words + " " + path + "\n");
        return;
    }
    if (!packing_) EmitEntry();
    JsonLine line;
    line.SetText("error", jsonError);
    if (jsonError == "inflate") line.Set("code", code);
    line.Set("path", path.empty() ? Json() : line.Text(path));
    if (entry_ != nullptr) {
        line.Set("entry", entry_->number);
        line.SetText("archive", entry_->archivePath);
    }
    Emit(line.Line());
}

void Listing::Error(Failure failure, const std::string& path) {
    ++failures_;
    Report(Words(failure), path, Words(failure));
}

void Listing::BadEntry(const EntryRecord& entry) {
    ++failures_;
    const EntryRecord* open = entry_;
    entry_ = &entry;
    entryEmitted_ = false;
    // Packing keeps the entry as it is; the error line stands for its line.
    if (packing_) {
        open_.push_back(OpenEntry{&entry, std::string()});
        Report("bad entry " + std::to_string(entry.number) + " in", entry.archivePath, "bad entry");
        ++packed_[static_cast<int>(EntryRecord::Fate::kKept)];
        Write(open_.back().waiting);
        open_.pop_back();
        entry_ = open;
        return;
    }
    Report("bad entry " + std::to_string(entry.number) + " in", entry.archivePath, "bad entry");
    entry_ = nullptr;
}
