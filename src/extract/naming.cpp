// Entry names and output paths.
//
// Every search for '.', ' ', ".gz", ".gim" and separators goes through the
// platform's searches with the run's name form: raw code page names are
// searched character by character, so the trail byte of a double-byte
// character (0x5C is a common one) is never taken for one of them; decoded
// (UTF-8) names byte by byte.
#include <cctype>
#include <cerrno>
#include <cstdio>

#include "extract/extract.h"
#include "platform/platform.h"

namespace {

constexpr size_t npos = std::string::npos;
constexpr char kSeparators[] = "/\\";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Offset of the first character after the last separator.
size_t NameStart(const std::string& path, plat::NameForm form) {
    size_t at = plat::FindLastOf(path, kSeparators, form);
    return at == npos ? 0 : at + 1;
}

std::string CutAtLast(const std::string& s, const char* c, plat::NameForm form) {
    size_t at = plat::FindLastOf(s, c, form);
    return at == npos ? s : s.substr(0, at);
}

}  // namespace

std::string FinishStoredName(const std::string& text, plat::NameForm form) { return CutAtLast(text, " ", form); }

std::string MadeUpName(const std::string& datPath, int i, plat::NameForm form) {
    size_t at = plat::FindLastOf(datPath, plat::NameBaseSeparators(), form);
    std::string base = CutAtLast(at == npos ? datPath : datPath.substr(at + 1), ".", form);
    char number[24];
    std::snprintf(number, sizeof number, "_%02d.dat", i + 1);
    return base + number;
}

std::string CutGz(const std::string& name, plat::NameForm form) {
    size_t at = plat::FindText(name, ".gz", form);
    return at == npos ? name : name.substr(0, at);
}

std::string NestedPrefix(const std::string& prefix, const std::string& name, plat::NameForm form) {
    return CutAtLast(prefix + name, ".", form) + "/";
}

bool IsUnsafeEntryPath(const std::string& prefix, const std::string& name, plat::NameForm form) {
    // A nested prefix may begin with a separator (an archive named ".x"
    // gives "/"); OutputPath keeps it under the destination.
    if (!name.empty() && IsSeparator(name[0])) return true;
    for (const std::string* s : {&name, &prefix}) {
        if (s->size() >= 2 && std::isalpha(static_cast<unsigned char>((*s)[0])) && (*s)[1] == ':') return true;
    }
    const std::string rel = prefix + name;
    for (size_t start = 0;;) {
        size_t end = plat::FindFirstOf(rel, kSeparators, start, form);
        std::string component = rel.substr(start, end == npos ? npos : end - start);
        if (component == ".." || plat::IsReservedComponent(component)) return true;
        if (end == npos) return false;
        start = end + 1;
    }
}

std::string OutputPath(const std::string& destDir, const std::string& prefix, const std::string& name) {
    size_t start = 0;
    while (start < prefix.size() && IsSeparator(prefix[start])) ++start;
    return destDir + prefix.substr(start) + name;
}

std::string NormaliseSeparators(const std::string& path, plat::NameForm form) {
    std::string out = path;
    for (size_t i = plat::FindFirstOf(out, kSeparators, 0, form); i != npos;
         i = plat::FindFirstOf(out, kSeparators, i + 1, form))
        out[i] = plat::kSeparator;
    return out;
}

int CreatePathDirs(std::string& path, plat::NameForm form, KnownFolders* known) {
    path = NormaliseSeparators(path, form);
    // Most entries go to a folder an earlier entry made.
    size_t nameStart = NameStart(path, form);
    if (known != nullptr && nameStart > 1 && known->Has(path.substr(0, nameStart - 1))) return 0;
    const char separator[] = {plat::kSeparator, '\0'};
    // A drive, a share or a "\\?\" prefix is there or not; it is never made.
    size_t componentStart = plat::RootLength(path);
    for (size_t i = plat::FindFirstOf(path, separator, componentStart, form); i != npos;
         i = plat::FindFirstOf(path, separator, i + 1, form)) {
        if (i > componentStart) {
            std::string folder = path.substr(0, i);
            if (known == nullptr || !known->Has(folder)) {
                int made = plat::MakeDir(folder);
                if (made == ENOENT) return -1;
                if (known != nullptr && (made == 0 || (made == EEXIST && plat::IsFolder(folder)))) known->Add(folder);
            }
        }
        componentStart = i + 1;
    }
    return 0;
}

std::string GimPath(const std::string& outPath, const std::string& relPath, plat::NameForm form) {
    if (plat::FindText(relPath, ".gim", form) != npos) return "";
    size_t start = NameStart(outPath, form);
    size_t dot = plat::FindLastOf(outPath.substr(start), ".", form);
    if (dot == npos) return outPath + ".gim";
    return outPath.substr(0, start + dot) + ".gim";
}
