#include "unpack/listing.h"

#include <string>

#include "platform/platform.h"

namespace {

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
    }
    return "failure";
}

}  // namespace

void Listing::Write(const std::string& text) {
    plat::WriteText(out_, text);
    atLineStart_ = !text.empty() && text.back() == '\n';
}

void Listing::BeginEntry(const std::string& prefix, const std::string& name, uint64_t size) {
    Write(prefix + name + " " + std::to_string(size) + " bytes");
}

void Listing::Expanded(uint64_t produced) { Write(" to " + std::to_string(produced) + " bytes"); }

void Listing::InflateCode(int code) {
    Write(std::to_string(code) + "\n");
    ++failures_;
}

void Listing::EndEntry() { Write("\n"); }

void Listing::ErrorLine(const std::string& words, const std::string& path) {
    ++failures_;
    Write((atLineStart_ ? "error : " : "\nerror : ") + words + " " + path + "\n");
}

void Listing::Error(Failure failure, const std::string& path) { ErrorLine(Words(failure), path); }

void Listing::BadEntry(int number, const std::string& archivePath) {
    ErrorLine("bad entry " + std::to_string(number) + " in", archivePath);
}
