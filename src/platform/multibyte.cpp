// Multibyte-aware searches, the same on every system: they step through a
// string with CharLength, which alone knows the code page.
#include <cstring>

#include "platform/platform.h"

namespace plat {

size_t FindLastChar(const std::string& s, char c) {
    size_t found = std::string::npos;
    for (size_t i = 0; i < s.size(); i += CharLength(s.c_str() + i))
        if (s[i] == c) found = i;
    return found;
}

size_t FindText(const std::string& s, const char* text) {
    const size_t n = std::strlen(text);
    for (size_t i = 0; i < s.size(); i += CharLength(s.c_str() + i))
        if (s.compare(i, n, text) == 0) return i;
    return std::string::npos;
}

size_t LastCharStart(const std::string& s) {
    size_t last = 0;
    for (size_t i = 0; i < s.size(); i += CharLength(s.c_str() + i)) last = i;
    return last;
}

}  // namespace plat
