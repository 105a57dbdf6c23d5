// The destination folder: creating the folders and files of the output tree
// in it, renaming and removing files; for packing, reading them back and
// walking the tree.  It remembers the folders it made or found, so that each
// is asked for once per run (the run never removes a folder, so what it
// knows stays true).
#pragma once

#include <functional>
#include <string>
#include <unordered_set>

#include "io/file.h"
#include "names/names.h"

class OutputTree {
public:
    // destDir is empty (the working folder) or ends in a separator.
    OutputTree(const std::string& destDir, const NameRules& rules) : destDir_(destDir), rules_(rules) {}

    const std::string& DestDir() const { return destDir_; }

    // Creates every folder along path (its separators the system's own) and
    // the file itself, empty, as out.  Returns 0, or -1 when the file cannot
    // be created.
    int CreateFile(const std::string& path, File& out);

    // Gives the file at `from` the name `to`, replacing a file there; an
    // archive being read is never replaced.  Returns 0, or -1 when the file
    // keeps its name.
    int Rename(const std::string& from, const std::string& to);

    // Removes a file; a failure leaves it.
    void Remove(const std::string& path);

    // Opens the file at path, below the destination, for reading, unless a
    // symbolic link lies on the way (any folder below the destination, or
    // the file itself).  Returns 0 with file open, 1 when there is no such
    // file (nothing there, or no folder on the way), -1 when it cannot be
    // read (a link, no regular file, a failure).
    int OpenToRead(const std::string& path, File& file);

    // True when something (a file, a folder, a link) is at path.
    bool Holds(const std::string& path) const;

    // True when path names a folder (the working folder for "").
    bool IsFolder(const std::string& path) const;

    // Calls visit with the path of everything below the destination that is
    // no folder (files, links, devices), in no particular order; links to
    // folders are not followed.  Returns 0, or -1 when a folder could not be
    // read (the rest is visited all the same).
    int VisitFiles(const std::function<void(const std::string& path)>& visit) const;

private:
    // Creates the folders along path.  Returns -1 when one could not be made
    // because its parent is missing, else 0 (the file's creation reports
    // the rest).
    int CreateFolders(const std::string& path);

    std::string destDir_;
    NameRules rules_;
    std::unordered_set<std::string> known_;
    std::unordered_set<std::string> linkFree_;  // folders seen to be no link
};
