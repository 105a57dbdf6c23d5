// Where the listing's lines go: standard output in the tool.  Every byte of
// the listing passes through here, which knows whether a line is open.
#pragma once

#include <cstdio>
#include <string>

class ListingOutput {
public:
    // Prints to out, which must stay open as long as this is used.
    explicit ListingOutput(std::FILE* out) : out_(out) {}
    ListingOutput(const ListingOutput&) = delete;
    ListingOutput& operator=(const ListingOutput&) = delete;

    // Prints text; a line is open until text ending in a line break.
    void Write(const std::string& text);

    // True when no line is open.
    bool AtLineStart() const { return atLineStart_; }

private:
    std::FILE* out_;
    bool atLineStart_ = true;
};
