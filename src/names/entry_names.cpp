// Entry names: stored, made up, or taken from a gzip header; the ".gz" cut;
// the prefix of a nested archive's entries; the name of a GIM image.
#include <cstdio>

#include "names/names.h"

namespace {

constexpr size_t npos = std::string::npos;

std::string CutAtLast(const std::string& s, const char* c, const NameRules& rules) {
    size_t at = FindLastOf(s, c, rules);
    return at == npos ? s : s.substr(0, at);
}

// Offset of the first character after the last separator.
size_t NameStart(const std::string& path, const NameRules& rules) {
    size_t at = FindLastOf(path, "/\\", rules);
    return at == npos ? 0 : at + 1;
}

}  // namespace

std::string NameFromArchive(const std::string& bytes, const NameRules& rules) {
    return rules.form == NameForm::kDecoded ? DecodeCp932(bytes) : bytes;
}

std::string FinishStoredName(const std::string& text, const NameRules& rules) { return CutAtLast(text, " ", rules); }

std::string MadeUpName(const std::string& archivePath, int i, const NameRules& rules) {
    // On Windows a '/' in the archive path is kept in the base: give paths
    // with '\' there.
    const char* separators = rules.style == PathStyle::kWindows ? "\\" : "/\\";
    size_t at = FindLastOf(archivePath, separators, rules);
    std::string base = CutAtLast(at == npos ? archivePath : archivePath.substr(at + 1), ".", rules);
    char number[24];
    std::snprintf(number, sizeof number, "_%02d.dat", i + 1);
    return base + number;
}

std::string CutGz(const std::string& name, const NameRules& rules) {
    size_t at = FindText(name, ".gz", rules);
    return at == npos ? name : name.substr(0, at);
}

std::string NestedPrefix(const std::string& prefix, const std::string& name, const NameRules& rules) {
    return CutAtLast(prefix + name, ".", rules) + "/";
}

std::string GimPath(const std::string& outPath, const std::string& relPath, const NameRules& rules) {
    if (FindText(relPath, ".gim", rules) != npos) return "";
    size_t start = NameStart(outPath, rules);
    size_t dot = FindLastOf(outPath.substr(start), ".", rules);
    if (dot == npos) return outPath + ".gim";
    return outPath.substr(0, start + dot) + ".gim";
}
