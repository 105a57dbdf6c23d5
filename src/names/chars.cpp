// Searches on names and paths.  They step through a string with NextChar
// alone, which knows whether the names are raw code page text or decoded.
#include <cstring>

#include "names/names.h"

size_t NextChar(const std::string& s, size_t i, const NameRules& rules) {
    if (rules.form == NameForm::kDecoded) return i + 1;
    return i + (rules.rawCharLength != nullptr ? rules.rawCharLength : Cp932CharLength)(s.c_str() + i);
}

size_t FindFirstOf(const std::string& s, const char* chars, size_t from, const NameRules& rules) {
    for (size_t i = from; i < s.size(); i = NextChar(s, i, rules))
        if (s[i] != '\0' && std::strchr(chars, s[i]) != nullptr) return i;
    return std::string::npos;
}

size_t FindLastOf(const std::string& s, const char* chars, const NameRules& rules) {
    size_t found = std::string::npos;
    for (size_t i = FindFirstOf(s, chars, 0, rules); i != std::string::npos;
         i = FindFirstOf(s, chars, NextChar(s, i, rules), rules))
        found = i;
    return found;
}

size_t FindText(const std::string& s, const char* text, const NameRules& rules) {
    const size_t n = std::strlen(text);
    for (size_t i = 0; i < s.size(); i = NextChar(s, i, rules))
        if (s.compare(i, n, text) == 0) return i;
    return std::string::npos;
}
