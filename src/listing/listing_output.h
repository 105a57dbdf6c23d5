// Where the listing's lines go: standard output in the tool, and the reasons
// for failures ("ravelkit: <path>: <reason>") standard error.  Every byte of
// the listing passes through here, which knows whether a line is open.
#pragma once

#include <cstdio>
#include <string>

class ListingOutput {
public:
    // Prints to out, and reasons to reasons (null: nowhere); both must stay
    // open as long as this is used.
    explicit ListingOutput(std::FILE* out, std::FILE* reasons = nullptr) : out_(out), reasons_(reasons) {}
    ListingOutput(const ListingOutput&) = delete;
    ListingOutput& operator=(const ListingOutput&) = delete;

    // Prints text; a line is open until text ending in a line break.
    void Write(const std::string& text);

    // True when no line is open.
    bool AtLineStart() const { return atLineStart_; }

    // The line that gives a failure's reason.
    static std::string ReasonLine(const std::string& path, const std::string& reason);

    // Prints lines made by ReasonLine.
    void WriteReasons(const std::string& lines);

private:
    std::FILE* out_;
    std::FILE* reasons_;
    bool atLineStart_ = true;
};
