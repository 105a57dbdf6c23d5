#include "pack/pack_plan.h"

#include <algorithm>

std::string TreeKey(const OutputTree& tree, const std::string& path, const NameRules& rules) {
    const size_t dest = std::min(path.size(), tree.DestDir().size());
    return PathKey(path.substr(dest), rules);
}

bool RebuildsFromFolder(const OutputTree& tree, const std::string& path, const std::string& folder) {
    return tree.IsFolder(folder) || !tree.HasAnythingAt(path);
}
