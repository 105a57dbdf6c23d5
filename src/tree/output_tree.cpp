#include "tree/output_tree.h"

#include <vector>

OutputTree::OutputTree(const std::string& destDir, const NameRules& rules)
    : destDir_(destDir), destPath_(NormaliseSeparators(destDir, rules)), rules_(rules),
      maxHeld_(plat::FoldersHeldOpen()) {}

OutputTree::~OutputTree() {
    for (auto& held : held_) plat::CloseFolder(held.second.folder);
    if (destOpen_) plat::CloseFolder(dest_);
}

int OutputTree::Split(const std::string& path, std::string* folder, std::string* name) const {
    if (path.size() > plat::MaxPathLength() || path.compare(0, destPath_.size(), destPath_) != 0) return -1;
    const std::string rel = path.substr(destPath_.size());
    const char separator[] = {rules_.Separator(), '\0'};
    const size_t cut = FindLastOf(rel, separator, rules_);
    *folder = cut == std::string::npos ? std::string() : rel.substr(0, cut);
    *name = cut == std::string::npos ? rel : rel.substr(cut + 1);
    return name->empty() || *name == ".." ? -1 : 0;
}

const plat::Folder* OutputTree::Destination(bool create) {
    if (destOpen_) return &dest_;
    if (create)
        for (const std::string& folder : FoldersAlong(destPath_, rules_)) (void)plat::MakeDir(folder);
    if (plat::OpenFolder(destPath_, &dest_) != 0) return nullptr;
    destOpen_ = true;
    return &dest_;
}

const plat::Folder* OutputTree::Hold(const std::string& rel, const plat::Folder& folder) {
    if (held_.size() >= maxHeld_) {
        auto oldest = held_.begin();
        for (auto it = held_.begin(); it != held_.end(); ++it)
            if (it->second.lastUse < oldest->second.lastUse) oldest = it;
        plat::CloseFolder(oldest->second.folder);
        held_.erase(oldest);
    }
    Held& held = held_[rel];
    held.folder = folder;
    held.lastUse = ++uses_;
    return &held.folder;
}

const plat::Folder* OutputTree::FolderBelow(const std::string& rel, bool create) {
    if (rel.empty()) return Destination(create);
    // Most files go to a folder an earlier one went to.
    auto found = held_.find(rel);
    if (found != held_.end()) {
        found->second.lastUse = ++uses_;
        return &found->second.folder;
    }
    // Otherwise the walk starts at the deepest folder held on the way.
    const char separator[] = {rules_.Separator(), '\0'};
    std::vector<size_t> ends;  // where each component ends
    for (size_t i = FindFirstOf(rel, separator, 0, rules_); i != std::string::npos;
         i = FindFirstOf(rel, separator, i + 1, rules_))
        ends.push_back(i);
    ends.push_back(rel.size());
    const plat::Folder* at = nullptr;
    size_t next = 0;  // the first component still to open
    for (size_t k = ends.size() - 1; k > 0; --k) {
        found = held_.find(rel.substr(0, ends[k - 1]));
        if (found == held_.end()) continue;
        found->second.lastUse = ++uses_;
        at = &found->second.folder;
        next = k;
        break;
    }
    if (at == nullptr && (at = Destination(create)) == nullptr) return nullptr;
    for (size_t k = next; k < ends.size(); ++k) {
        const size_t start = k == 0 ? 0 : ends[k - 1] + 1;
        const std::string name = rel.substr(start, ends[k] - start);
        if (name.empty()) continue;  // "a//b" is "a/b"
        plat::Folder opened;
        if (name == ".." || plat::OpenSubfolder(*at, name, create, &opened) != 0) return nullptr;
        at = Hold(rel.substr(0, ends[k]), opened);
    }
    return at;
}

int OutputTree::CreateFile(const std::string& path, File& out) {
    std::string rel, name;
    if (Split(path, &rel, &name) != 0) return -1;
    const plat::Folder* folder = FolderBelow(rel, true);
    return folder != nullptr ? out.Create(*folder, name) : -1;
}

int OutputTree::Rename(const std::string& from, const std::string& to) {
    std::string rel, name, toRel, toName;
    if (Split(from, &rel, &name) != 0 || Split(to, &toRel, &toName) != 0 || rel != toRel) return -1;
    const plat::Folder* folder = FolderBelow(rel, false);
    return folder != nullptr ? plat::RenameIn(*folder, name, toName) : -1;
}

void OutputTree::Remove(const std::string& path) {
    std::string rel, name;
    if (Split(path, &rel, &name) != 0) return;
    const plat::Folder* folder = FolderBelow(rel, false);
    if (folder != nullptr) plat::RemoveFileIn(*folder, name);
}

int OutputTree::OpenToRead(const std::string& path, File& file) {
    // The file is opened through the folders below the destination, so a
    // link swapped in meanwhile is never read through.
    std::string rel, name;
    if (Split(path, &rel, &name) != 0) return -1;
    const plat::Folder* folder = FolderBelow(rel, false);
    if (folder != nullptr && file.OpenIn(*folder, name) == 0) return 0;
    return IsMissing(path) ? 1 : -1;
}

bool OutputTree::IsMissing(const std::string& path) const {
    // Only what lies below the destination is looked at: the destination
    // itself is the caller's to choose.
    for (const std::string& folder : FoldersAlong(path, rules_)) {
        if (folder.size() < destDir_.size()) continue;
        const plat::PathKind kind = plat::KindOf(folder);
        if (kind == plat::PathKind::kLink) return false;
        if (kind != plat::PathKind::kFolder) return true;  // no folder there, so no file below it
    }
    return plat::KindOf(path) == plat::PathKind::kMissing;
}

bool OutputTree::HasAnythingAt(const std::string& path) const { return plat::KindOf(path) != plat::PathKind::kMissing; }

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
