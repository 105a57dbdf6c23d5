#include "pack/new_archive_file.h"

#include "platform/platform.h"

NewArchiveFile::~NewArchiveFile() {
    if (!file_.IsOpen()) return;
    (void)file_.Close();
    plat::RemoveFile(made_);
}

int NewArchiveFile::Create(const std::string& path) {
    path_ = path;
    return file_.CreateBeside(path, &made_);
}

int NewArchiveFile::Commit() { return file_.FinishBeside(made_, path_); }
