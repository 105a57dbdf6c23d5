#include "unpack/output_tree.h"

#include <cerrno>

#include "platform/platform.h"

int OutputTree::CreateFolders(const std::string& path) {
    // Most entries go to a folder an earlier entry made.
    const char separator[] = {rules_.Separator(), '\0'};
    const size_t nameStart = FindLastOf(path, separator, rules_);
    if (nameStart != std::string::npos && nameStart > 0 && known_.count(path.substr(0, nameStart)) != 0) return 0;
    for (const std::string& folder : FoldersAlong(path, rules_)) {
        if (known_.count(folder) != 0) continue;
        int made = plat::MakeDir(folder);
        if (made == ENOENT) return -1;
        if (made == 0 || (made == EEXIST && plat::IsFolder(folder))) known_.insert(folder);
    }
    return 0;
}

int OutputTree::CreateFile(const std::string& path, File& out) {
    (void)CreateFolders(path);
    return out.Open(path, File::kCreate);
}

int OutputTree::Rename(const std::string& from, const std::string& to) { return plat::ReplaceFile(from, to); }

void OutputTree::Remove(const std::string& path) { plat::RemoveFile(path); }
