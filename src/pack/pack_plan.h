// What packing's two walks share: the archive being written, whether it
// still can be, and which entry became which file of the tree.
#pragma once

#include <string>

#include "names/names.h"
#include "pack/file_owners.h"
#include "tree/output_tree.h"

struct PackPlan {
    explicit PackPlan(const std::string& path) : newPath(path) {}

    const std::string newPath;  // the archive being written, as error lines print it
    bool failed = false;        // it cannot be written: nothing is
    // The file each entry became, by the key of its path below the
    // destination: the entry that wrote it last, and whether it is a GIM
    // image.  Sealed after the first walk.
    FileOwners owners;
};

// The key of a path below the tree's destination (PathKey).
std::string TreeKey(const OutputTree& tree, const std::string& path, const NameRules& rules);

// True when the nested archive written at path is rebuilt from folder (its
// entries' folder): when the folder is there, or when the file is not
// either (its entries then go missing one by one); otherwise the file stands
// for it.  The same in both walks.
bool RebuildsFromFolder(const OutputTree& tree, const std::string& path, const std::string& folder);
