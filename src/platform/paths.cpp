// Path helpers that are plain string work, the same on every system.  The
// Windows root parser lives here rather than in the Windows side so that it
// can be tested anywhere.
#include "platform/platform.h"

namespace plat {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Offset just past the component that starts at `from` and the separator
// after it (the end of the path when there is none).
size_t PastComponent(const std::string& path, size_t from) {
    size_t i = from;
    while (i < path.size() && !IsSeparator(path[i])) i += CharLength(path.c_str() + i);
    return i < path.size() ? i + 1 : path.size();
}

bool IsUncWord(const std::string& path, size_t from, size_t to) {
    if (to - from < 3) return false;
    std::string word = path.substr(from, 3);
    for (char& c : word)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return word == "UNC" && (to - from == 3 || IsSeparator(path[from + 3]));
}

}  // namespace

std::string WithTrailingSeparator(const std::string& dir, NameForm form) {
    if (dir.empty() || FindLastOf(dir, "/\\", form) == dir.size() - 1) return dir;
    return dir + kSeparator;
}

size_t WindowsRootLength(const std::string& path) {
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':')
        return path.size() > 2 && IsSeparator(path[2]) ? 3 : 2;
    if (path.empty() || !IsSeparator(path[0])) return 0;
    if (path.size() < 2 || !IsSeparator(path[1])) return 1;
    // "\\?\" or "\\.\": the drive, volume or device after the prefix is the
    // root, or "UNC\server\share\" after "\\?\".
    if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
        size_t first = PastComponent(path, 4);
        if (!IsUncWord(path, 4, first)) return first;
        return PastComponent(path, PastComponent(path, first));
    }
    // "\\server\share\".
    return PastComponent(path, PastComponent(path, 2));
}

}  // namespace plat
