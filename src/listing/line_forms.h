// The forms of the listing's lines, text and JSON Lines: the words of each
// failure, the JSON object of an entry, the columns of an index line.  Pure
// formatting; the printers decide what goes out when.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "listing/failure.h"
#include "listing/listed_entry.h"

// How the listing is printed.
enum class ListingStyle { kText, kJson };

// One JSON object being made.  Strings that are not valid UTF-8 (names kept
// as the archive's bytes) are taken byte for byte as Latin-1, and the line
// is then written with every character beyond ASCII escaped, so that those
// bytes show as \u0080-\u00FF.
class JsonLine {
public:
    using Json = nlohmann::ordered_json;

    void Set(const char* key, const Json& value) { object_[key] = value; }
    void SetText(const char* key, const std::string& text) { object_[key] = Text(text); }
    void SetWord(const char* key, const char* word) { object_[key] = word == nullptr ? Json() : Json(word); }

    // text as a JSON string (see above).
    Json Text(const std::string& text);

    // The object and its line break.
    std::string Line() const { return object_.dump(-1, ' ', asciiOnly_) + "\n"; }

private:
    Json object_ = Json::object();
    bool asciiOnly_ = false;
};

// The JSON object of an entry.
JsonLine EntryJson(const ListedEntry& entry);

// The text line of a failure, begun on a line of its own (after a line
// break when a line is open); for an inflate code, the bare number that
// ends the open line.
std::string FailureText(const FailureReport& report, bool atLineStart);

// The JSON line of a failure; `open` is the entry it follows, if any.
std::string FailureJson(const FailureReport& report, const ListedEntry* open);

// The text line of an entry being listed from the index: stored size,
// expanded size, kind, content, then the name as unpacking prints it.
std::string IndexLine(const ListedEntry& entry);
