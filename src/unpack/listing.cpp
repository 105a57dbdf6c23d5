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

std::string OptionalNumber(const std::optional<uint64_t>& n, const char* none) {
    return n ? std::to_string(*n) : std::string(none);
}

}  // namespace

void Listing::Write(const std::string& text) {
    plat::WriteText(out_, text);
    atLineStart_ = !text.empty() && text.back() == '\n';
}

void Listing::BeginEntry(const EntryRecord& entry) {
    entry_ = &entry;
    entryEmitted_ = false;
    if (style_ == Style::kText) Write(entry.prefix + entry.name + " " + std::to_string(entry.size) + " bytes");
}

void Listing::Expanded(uint64_t produced) {
    if (style_ == Style::kText) Write(" to " + std::to_string(produced) + " bytes");
}

void Listing::InflateCode(int code) {
    ++failures_;
    if (style_ == Style::kText) {
        Write(std::to_string(code) + "\n");
        return;
    }
    Report("", entry_ != nullptr ? entry_->output : std::string(), "inflate", code);
}

void Listing::EndEntry() {
    if (style_ == Style::kText) Write("\n");
}

void Listing::EntryDone() {
    if (style_ == Style::kJson) EmitEntry();
    entry_ = nullptr;
}

void Listing::EmitEntry() {
    if (entry_ == nullptr || entryEmitted_) return;
    entryEmitted_ = true;
    const EntryRecord& e = *entry_;
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
        Write((atLineStart_ ? "error : " : "\nerror : ") + words + " " + path + "\n");
        return;
    }
    EmitEntry();
    JsonLine line;
    line.SetText("error", jsonError);
    if (jsonError == "inflate") line.Set("code", code);
    line.Set("path", path.empty() ? Json() : line.Text(path));
    if (entry_ != nullptr) {
        line.Set("entry", entry_->number);
        line.SetText("archive", entry_->archivePath);
    }
    Write(line.Line());
}

void Listing::Error(Failure failure, const std::string& path) {
    ++failures_;
    Report(Words(failure), path, Words(failure));
}

void Listing::BadEntry(const EntryRecord& entry) {
    ++failures_;
    entry_ = &entry;
    entryEmitted_ = false;
    Report("bad entry " + std::to_string(entry.number) + " in", entry.archivePath, "bad entry");
    entry_ = nullptr;
}
