#include "listing/listing_output.h"

#include "platform/platform.h"

void ListingOutput::Write(const std::string& text) {
    plat::WriteText(out_, text);
    if (!text.empty()) atLineStart_ = text.back() == '\n';
}
