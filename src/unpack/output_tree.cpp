#include "unpack/output_tree.h"

#include <cerrno>
#include <vector>

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

int OutputTree::OpenToRead(const std::string& path, File& file) {
    // Only what lies below the destination is looked at: the destination
    // itself is the caller's to choose.
    for (const std::string& folder : FoldersAlong(path, rules_)) {
        if (folder.size() < destDir_.size() || linkFree_.count(folder) != 0) continue;
        const plat::PathKind kind = plat::KindOf(folder);
        if (kind == plat::PathKind::kLink) return -1;
        if (kind != plat::PathKind::kFolder) return 1;  // no folder there, so no file below it
        linkFree_.insert(folder);
    }
    const plat::PathKind kind = plat::KindOf(path);
    if (kind == plat::PathKind::kMissing) return 1;
    if (kind != plat::PathKind::kFile) return -1;
    return file.Open(path, File::kRead) == 0 ? 0 : -1;
}

bool OutputTree::Holds(const std::string& path) const { return plat::KindOf(path) != plat::PathKind::kMissing; }

bool OutputTree::IsFolder(const std::string& path) const { return path.empty() || plat::IsFolder(path); }

int OutputTree::VisitFiles(const std::function<void(const std::string& path)>& visit) const {
    int result = 0;
    std::vector<std::string> folders{destDir_};
    while (!folders.empty()) {
        const std::string folder = folders.back();
        folders.pop_back();
        const int listed = plat::ListFolder(folder, [&](const plat::FolderItem& item) {
            if (item.kind == plat::PathKind::kFolder)
                folders.push_back(folder + item.name + rules_.Separator());
            else
                visit(folder + item.name);
        });
        if (listed != 0) result = -1;
    }
    return result;
}
