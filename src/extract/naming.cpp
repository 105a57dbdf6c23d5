// Entry names and output paths.
//
// Searches for '.', ' ', ".gz", ".gim" and separators go character by
// character in the multibyte code page, so the trail byte of a double-byte
// character (0x5C is a common one) is never taken for one of them.
#include <cctype>
#include <cerrno>
#include <cstdio>

#include "extract/extract.h"
#include "platform/platform.h"

namespace {

constexpr size_t npos = std::string::npos;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Offset of the first character after the last separator.
size_t NameStart(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); i += plat::CharLength(path.c_str() + i))
        if (IsSeparator(path[i])) start = i + 1;
    return start;
}

std::string CutAtLast(const std::string& s, char c) {
    size_t at = plat::FindLastChar(s, c);
    return at == npos ? s : s.substr(0, at);
}

}  // namespace

std::string FinishStoredName(const std::string& text) { return CutAtLast(text, ' '); }

std::string MadeUpName(const std::string& datPath, int i) {
    size_t start = 0;
    for (size_t k = 0; k < datPath.size(); k += plat::CharLength(datPath.c_str() + k))
        if (plat::IsNameBaseSeparator(datPath[k])) start = k + 1;
    std::string base = CutAtLast(datPath.substr(start), '.');
    char number[24];
    std::snprintf(number, sizeof number, "_%02d.dat", i + 1);
    return base + number;
}

std::string CutGz(const std::string& name) {
    size_t at = plat::FindText(name, ".gz");
    return at == npos ? name : name.substr(0, at);
}

std::string NestedPrefix(const std::string& prefix, const std::string& name) {
    return CutAtLast(prefix + name, '.') + "/";
}

bool IsUnsafeEntryPath(const std::string& prefix, const std::string& name) {
    for (const std::string* s : {&name, &prefix}) {
        if (s->empty()) continue;
        if (IsSeparator((*s)[0])) return true;
        if (s->size() >= 2 && std::isalpha(static_cast<unsigned char>((*s)[0])) && (*s)[1] == ':') return true;
    }
    const std::string rel = prefix + name;
    size_t start = 0;
    for (size_t i = 0; i <= rel.size(); i += i < rel.size() ? plat::CharLength(rel.c_str() + i) : 1) {
        if (i < rel.size() && !IsSeparator(rel[i])) continue;
        std::string component = rel.substr(start, i - start);
        if (component == ".." || plat::IsReservedComponent(component)) return true;
        start = i + 1;
    }
    return false;
}

std::string NormaliseSeparators(const std::string& path) {
    std::string out = path;
    for (size_t i = 0; i < out.size(); i += plat::CharLength(out.c_str() + i))
        if (IsSeparator(out[i])) out[i] = plat::kSeparator;
    return out;
}

int CreatePathDirs(std::string& path) {
    path = NormaliseSeparators(path);
    size_t componentStart = 0;
    for (size_t i = 0; i < path.size(); i += plat::CharLength(path.c_str() + i)) {
        if (path[i] != plat::kSeparator) continue;
        if (i > componentStart && plat::MakeDir(path.substr(0, i)) == ENOENT) return -1;
        componentStart = i + 1;
    }
    return 0;
}

std::string GimPath(const std::string& outPath) {
    if (plat::FindText(outPath, ".gim") != npos) return "";
    size_t start = NameStart(outPath);
    size_t dot = plat::FindLastChar(outPath.substr(start), '.');
    if (dot == npos) return outPath + ".gim";
    return outPath.substr(0, start + dot) + ".gim";
}
