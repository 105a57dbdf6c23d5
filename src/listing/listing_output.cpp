#include "listing/listing_output.h"

#include "platform/platform.h"

void ListingOutput::Write(const std::string& text) {
    plat::WriteText(out_, text);
    if (!text.empty()) atLineStart_ = text.back() == '\n';
}

std::string ListingOutput::ReasonLine(const std::string& path, const std::string& reason) {
    return "ravelkit: " + path + ": " + reason + "\n";
}

void ListingOutput::WriteReasons(const std::string& lines) {
    if (reasons_ != nullptr && !lines.empty()) plat::WriteText(reasons_, lines);
}
