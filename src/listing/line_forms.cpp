#include "listing/line_forms.h"

#include <cstdio>

namespace {

using Json = JsonLine::Json;

const char* Words(Failure failure) {
    switch (failure) {
        case Failure::kCannotOpen: return "cannot open";
        case Failure::kUnknownFormat: return "unknown format";
        case Failure::kCannotRead: return "cannot read";
        case Failure::kOutOfMemory: return "out of memory";
        case Failure::kContainsItself: return "archive contains itself";
        case Failure::kEntryTableTooLarge: return "entry table too large";
        case Failure::kBadEntry: return "bad entry";
        case Failure::kEntryOutOfRange: return "entry out of range";
        case Failure::kBadGzipHeader: return "bad gzip header";
        case Failure::kUnsafePath: return "unsafe path";
        case Failure::kCannotCreate: return "cannot create";
        case Failure::kCannotWrite: return "cannot write";
        case Failure::kInflateCode: return "inflate";
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

const char* KindWord(const std::optional<EntryKind>& kind) {
    if (!kind) return nullptr;
    return *kind == EntryKind::kGzip ? "gzip" : "stored";
}

const char* ContentWord(const std::optional<Content>& content) {
    if (!content) return nullptr;
    switch (*content) {
        case Content::kArchive: return "archive";
        case Content::kGim: return "gim";
        case Content::kData: return "data";
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

std::string OptionalNumber(const std::optional<uint64_t>& n, const char* none) {
    return n ? std::to_string(*n) : std::string(none);
}

}  // namespace

JsonLine::Json JsonLine::Text(const std::string& text) {
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

JsonLine EntryJson(const ListedEntry& e) {
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

std::string FailureText(const FailureReport& report, bool atLineStart) {
    if (report.failure == Failure::kInflateCode) return std::to_string(report.code) + "\n";
    std::string words = Words(report.failure);
    if (report.failure == Failure::kBadEntry && report.entry != nullptr)
        words += " " + std::to_string(report.entry->number) + " in";
    return (atLineStart ? "error : " : "\nerror : ") + words + " " + report.path + "\n";
}

std::string FailureJson(const FailureReport& report, const ListedEntry* open) {
    JsonLine line;
    line.SetText("error", Words(report.failure));
    if (report.failure == Failure::kInflateCode) line.Set("code", report.code);
    line.Set("path", report.path.empty() ? Json() : line.Text(report.path));
    if (open != nullptr) {
        line.Set("entry", open->number);
        line.SetText("archive", open->archivePath);
    }
    return line.Line();
}

std::string IndexLine(const ListedEntry& entry) {
    const char* kind = KindWord(entry.kind);
    const char* content = ContentWord(entry.content);
    const bool stored = entry.kind == EntryKind::kStored;
    char columns[64];
    std::snprintf(columns, sizeof columns, "%12u %12s %-6s %-7s ", entry.size,
                  stored ? "-" : OptionalNumber(entry.expanded, "?").c_str(), kind != nullptr ? kind : "?",
                  content != nullptr ? content : "?");
    return columns + entry.prefix + entry.name + "\n";
}
