// The destination folder: creating the folders and files of the output tree
// in it, renaming and removing files; for packing, reading them back and
// walking the tree.  Below the destination nothing is created, renamed or
// removed through a symbolic link (on Windows, any reparse point): the tree
// opens the destination once and walks down from it one folder at a time,
// each step taken from the folder before it, so a link planted anywhere on
// the way is refused rather than followed.  It holds the folders it made or
// found open (up to plat::FoldersHeldOpen(), letting go of the least
// recently used first), so that most files take one call to create; the run
// never removes a folder, so what it holds stays true.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "io/file.h"
#include "names/names.h"
#include "platform/platform.h"

class OutputTree {
public:
    // destDir is empty (the working folder) or ends in a separator.
    OutputTree(const std::string& destDir, const NameRules& rules);
    ~OutputTree();
    OutputTree(const OutputTree&) = delete;
    OutputTree& operator=(const OutputTree&) = delete;

    const std::string& DestDir() const { return destDir_; }

    // Makes the destination (the folders along it, links followed: the user
    // chose them) the first time, then every folder along path below it and
    // the file itself, new and empty, as out; a file already there is
    // replaced, never written in place.  path is destDir and a path below it,
    // its separators the system's own.  Returns 0, or -1 when the file cannot
    // be created (a link on the way or at path, an archive being read there).
    int CreateFile(const std::string& path, File& out);

    // Gives the file at `from` the name `to` in the same folder, replacing a
    // file there; a link or an archive being read is never replaced.
    // Returns 0, or -1 when the file keeps its name.
    int Rename(const std::string& from, const std::string& to);

    // Removes a plain file; a failure, a link or a folder on the way leave it.
    void Remove(const std::string& path);

    // Opens the file at path, below the destination, for reading, unless a
    // symbolic link lies on the way (any folder below the destination, or
    // the file itself).  Returns 0 with file open, 1 when there is no such
    // file (nothing there, or no folder on the way), -1 when it cannot be
    // read (a link, no regular file, a failure).
    int OpenToRead(const std::string& path, File& file);

    // True when something (a file, a folder, a link) is at path.
    bool HasAnythingAt(const std::string& path) const;

    // True when path names a folder (the working folder for "").
    bool IsFolder(const std::string& path) const;

    // Calls visit with the path of everything below the destination that is
    // no folder (files, links, devices), in no particular order; links to
    // folders are not followed.  Returns 0, or -1 when a folder could not be
    // read (the rest is visited all the same).
    int VisitFiles(const std::function<void(const std::string& path)>& visit) const;

private:
    struct Held {
        plat::Folder folder;
        uint64_t lastUse;
    };

    // Splits an output path into its folder below the destination (empty:
    // the destination itself) and its name.  Returns 0, or -1 when path does
    // not lie below the destination, is longer than the system takes, or
    // names no file.
    int Split(const std::string& path, std::string* folder, std::string* name) const;

    // The destination, opened on first use (made first when create is set).
    // Null when it cannot be opened (tried again next time).
    const plat::Folder* Destination(bool create);

    // The folder rel below the destination, walked to from the deepest folder
    // held on the way and made where missing when create is set.  Null when
    // a step fails.
    const plat::Folder* FolderBelow(const std::string& rel, bool create);

    // True when there is no file at path below the destination: nothing
    // there, or a folder on the way missing or no folder; false when a link
    // stands in the way or something else is there.
    bool IsMissing(const std::string& path) const;

    // Holds folder under rel, letting go of the least recently used one when
    // the tree holds as many as it may.  Returns the held folder.
    const plat::Folder* Hold(const std::string& rel, const plat::Folder& folder);

    std::string destDir_;
    std::string destPath_;  // destDir_ with the separators output paths have
    NameRules rules_;
    plat::Folder dest_;
    bool destOpen_ = false;
    std::unordered_map<std::string, Held> held_;  // by path below the destination
    size_t maxHeld_;
    uint64_t uses_ = 0;
};
