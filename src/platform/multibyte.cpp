// Searches on names and paths, the same on every system: they step through a
// string with NextChar alone, which knows whether the names are raw code
// page text or decoded.
#include <cstring>

#include "platform/platform.h"

namespace plat {

size_t NextChar(const std::string& s, size_t i, NameForm form) {
    return i + (form == NameForm::kRaw ? CharLength(s.c_str() + i) : 1);
}

size_t FindFirstOf(const std::string& s, const char* chars, size_t from, NameForm form) {
    for (size_t i = from; i < s.size(); i = NextChar(s, i, form))
        if (s[i] != '\0' && std::strchr(chars, s[i]) != nullptr) return i;
    return std::string::npos;
}

size_t FindLastOf(const std::string& s, const char* chars, NameForm form) {
    size_t found = std::string::npos;
    for (size_t i = FindFirstOf(s, chars, 0, form); i != std::string::npos;
         i = FindFirstOf(s, chars, NextChar(s, i, form), form))
        found = i;
    return found;
}

size_t FindText(const std::string& s, const char* text, NameForm form) {
    const size_t n = std::strlen(text);
    for (size_t i = 0; i < s.size(); i = NextChar(s, i, form))
        if (s.compare(i, n, text) == 0) return i;
    return std::string::npos;
}

}  // namespace plat
