// Output paths: where an entry's file goes, which names are refused, and the
// roots and folders of a path, for either system's rules.
#include <cctype>

#include "names/names.h"

namespace {

constexpr size_t npos = std::string::npos;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool StartsWithDrive(const std::string& s) { return s.size() >= 2 && IsAsciiLetter(s[0]) && s[1] == ':'; }

bool IsDeviceName(std::string base) {
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    if (base == "CONIN$" || base == "CONOUT$") return true;  // the console's input and output
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// True for a component Windows cannot hold as an ordinary file or folder
// name.
bool IsWindowsReserved(const std::string& component) {
    // ':' opens a stream of the file before it (or names a drive).
    if (component.find(':') != npos) return true;
    if (IsDeviceName(component.substr(0, component.find('.')))) return true;
    // Windows' own path rules drop trailing dots and spaces ("..." or ". ."
    // would become the parent folder or the folder itself); in the
    // extended-length form the system keeps them, and makes names that
    // Explorer and most programs cannot open.  "." alone is the folder itself.
    return component != "." && !component.empty() && (component.back() == '.' || component.back() == ' ');
}

// Offset just past the component that starts at `from` and the separator
// after it (the end of the path when there is none).
size_t PastComponent(const std::string& path, size_t from, const NameRules& rules) {
    size_t i = from;
    while (i < path.size() && !IsSeparator(path[i])) i = NextChar(path, i, rules);
    return i < path.size() ? i + 1 : path.size();
}

bool IsUncWord(const std::string& path, size_t from, size_t to) {
    if (to - from < 3) return false;
    std::string word = path.substr(from, 3);
    for (char& c : word)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return word == "UNC" && (to - from == 3 || IsSeparator(path[from + 3]));
}

size_t WindowsRootLength(const std::string& path, const NameRules& rules) {
    if (StartsWithDrive(path)) return path.size() > 2 && IsSeparator(path[2]) ? 3 : 2;
    if (path.empty() || !IsSeparator(path[0])) return 0;
    if (path.size() < 2 || !IsSeparator(path[1])) return 1;
    // "\\?\" or "\\.\": the drive, volume or device after the prefix is the
    // root, or "UNC\server\share\" after "\\?\".
    if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
        size_t first = PastComponent(path, 4, rules);
        if (!IsUncWord(path, 4, first)) return first;
        return PastComponent(path, PastComponent(path, first, rules), rules);
    }
    // "\\server\share\".
    return PastComponent(path, PastComponent(path, 2, rules), rules);
}

}  // namespace

bool IsUnsafeEntryPath(const std::string& prefix, const std::string& name, const NameRules& rules) {
    // A nested prefix may begin with a separator (an archive named ".x"
    // gives "/"); OutputPath keeps it under the destination.
    if (!name.empty() && IsSeparator(name[0])) return true;
    if (StartsWithDrive(name) || StartsWithDrive(prefix)) return true;
    const std::string rel = prefix + name;
    for (size_t start = 0;;) {
        size_t end = FindFirstOf(rel, "/\\", start, rules);
        std::string component = rel.substr(start, end == npos ? npos : end - start);
        if (component == "..") return true;
        if (rules.style == PathStyle::kWindows && IsWindowsReserved(component)) return true;
        if (end == npos) return false;
        start = end + 1;
    }
}

std::string OutputPath(const std::string& destDir, const std::string& prefix, const std::string& name) {
    size_t start = 0;
    while (start < prefix.size() && IsSeparator(prefix[start])) ++start;
    return destDir + prefix.substr(start) + name;
}

std::string NormaliseSeparators(const std::string& path, const NameRules& rules) {
    std::string out = path;
    for (size_t i = FindFirstOf(out, "/\\", 0, rules); i != npos; i = FindFirstOf(out, "/\\", i + 1, rules))
        out[i] = rules.Separator();
    return out;
}

std::string WithTrailingSeparator(const std::string& dir, const NameRules& rules) {
    if (dir.empty() || FindLastOf(dir, "/\\", rules) == dir.size() - 1) return dir;
    return dir + rules.Separator();
}

std::string PathKey(const std::string& relPath, const NameRules& rules) {
    const bool windows = rules.style == PathStyle::kWindows;
    // POSIX paths here have their separators normalised: a '\' left is part
    // of a name.
    auto separates = [&](char c) { return c == '/' || (windows && c == '\\'); };
    std::string key, component;
    for (size_t i = 0; i <= relPath.size();) {
        if (i < relPath.size() && !separates(relPath[i])) {
            const size_t next = NextChar(relPath, i, rules);
            const char c = relPath[i];
            component += windows && next == i + 1 && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            component.append(relPath, i + 1, next - i - 1);
            i = next;
            continue;
        }
        if (windows)
            while (!component.empty() && (component.back() == '.' || component.back() == ' ')) component.pop_back();
        if (!component.empty() && component != ".") key += (key.empty() ? "" : "/") + component;
        component.clear();
        ++i;
    }
    return key;
}

size_t RootLength(const std::string& path, const NameRules& rules) {
    if (rules.style == PathStyle::kWindows) return WindowsRootLength(path, rules);
    size_t first = path.find_first_not_of('/');
    return first == npos ? path.size() : first;
}

std::vector<std::string> FoldersAlong(const std::string& path, const NameRules& rules) {
    std::vector<std::string> folders;
    const char separator[] = {rules.Separator(), '\0'};
    size_t componentStart = RootLength(path, rules);
    for (size_t i = FindFirstOf(path, separator, componentStart, rules); i != npos;
         i = FindFirstOf(path, separator, i + 1, rules)) {
        if (i > componentStart) folders.push_back(path.substr(0, i));
        componentStart = i + 1;
    }
    return folders;
}
