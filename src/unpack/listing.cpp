#include "unpack/listing.h"

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

void Listing::BeginEntry(const std::string& prefix, const std::string& name, uint64_t size) {
    std::fprintf(out_, "%s%s %llu bytes", prefix.c_str(), name.c_str(), static_cast<unsigned long long>(size));
    atLineStart_ = false;
}

void Listing::Expanded(uint64_t produced) {
    std::fprintf(out_, " to %llu bytes", static_cast<unsigned long long>(produced));
    atLineStart_ = false;
}

void Listing::InflateCode(int code) {
    std::fprintf(out_, "%d\n", code);
    atLineStart_ = true;
    ++failures_;
}

void Listing::EndEntry() {
    std::fputc('\n', out_);
    atLineStart_ = true;
}

void Listing::StartErrorLine() {
    if (!atLineStart_) std::fputc('\n', out_);
    atLineStart_ = true;
    ++failures_;
}

void Listing::Error(Failure failure, const std::string& path) {
    StartErrorLine();
    std::fprintf(out_, "error : %s %s\n", Words(failure), path.c_str());
}

void Listing::BadEntry(int number, const std::string& archivePath) {
    StartErrorLine();
    std::fprintf(out_, "error : bad entry %d in %s\n", number, archivePath.c_str());
}
