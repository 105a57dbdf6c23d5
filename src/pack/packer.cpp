#include "pack/packer.h"

#include <algorithm>
#include <vector>

#include "pack/new_archive_file.h"
#include "pack/pack_builder.h"
#include "pack/pack_survey.h"
#include "platform/platform.h"
#include "walk/walker.h"

namespace {

constexpr size_t kBufferSize = 0x100000;        // entries' bytes pass through 1 MiB
constexpr size_t kTreeBufferSize = 256 * 1024;  // the tree's files are read through it

// The first walk: notes which entry became which file.  Returns 0, or -1
// when memory is short (reported).
int Survey(const std::string& archivePath, const RunOptions& options, RunState& state, PackPlan& plan) {
    HeapBuffer buffer;
    if (buffer.Allocate(kBufferSize) != 0) {
        state.Fail(Failure::kOutOfMemory, archivePath);
        return -1;
    }
    OutputTree tree(options.destDir, options.names);
    RunState silent(nullptr);  // its failures show again in the second walk
    PackSurvey survey(options, silent, tree, plan);
    Walker walker(options, silent, buffer, survey);
    (void)walker.Walk(archivePath);
    plan.owners.Seal();
    return 0;
}

// One "unused" line per file in the tree that no entry became (a PNG image
// beside a GIM image counts as the image's), sorted by path.
void ListUnused(const OutputTree& tree, const PackPlan& plan, const NameRules& rules, PackLines* lines) {
    const std::string png = ".png";
    std::vector<std::string> unused;
    FileOwners::Owner owner;
    (void)tree.VisitFiles([&](const std::string& path) {
        const std::string key = TreeKey(tree, path, rules);
        if (plan.owners.Find(key, &owner) && owner.stays) return;
        // A PNG image made from a GIM image, named after it.
        if (key.size() > png.size() && key.compare(key.size() - png.size(), png.size(), png) == 0 &&
            plan.owners.Find(key.substr(0, key.size() - png.size()), &owner) && owner.gim && owner.stays)
            return;
        unused.push_back(NormaliseSeparators(path, rules));
    });
    std::sort(unused.begin(), unused.end());
    if (lines != nullptr)
        for (const std::string& path : unused) lines->Unused(path);
}

// The second walk: builds the new archive in out.  Returns 0, or -1 when it
// cannot be written (reported).
int Build(const std::string& archivePath, const RunOptions& options, RunState& state, PackLines* lines,
          PackPlan& plan, File& out) {
    HeapBuffer buffer, treeBuffer, buildBuffer;
    if (buffer.Allocate(kBufferSize) != 0 || treeBuffer.Allocate(kTreeBufferSize) != 0 ||
        buildBuffer.Allocate(kIndexLimit) != 0) {
        state.Fail(Failure::kOutOfMemory, archivePath);
        return -1;
    }
    OutputTree tree(options.destDir, options.names);
    RebuiltArchive built(buildBuffer);
    built.BuildIn(out);
    RunOptions converting = options;
    converting.convertGim = false;  // packing reads images, never converts them
    PackBuilder builder(converting, state, lines, tree, plan, built, treeBuffer, buildBuffer);
    Walker walker(converting, state, buffer, builder);
    if (walker.Walk(archivePath) != 0 || plan.failed) return -1;
    return 0;
}

}  // namespace

void Pack(const std::string& archivePath, const std::string& newPath, const RunOptions& options, RunState& state,
          PackLines* lines) {
    // Building over the archive being read would lose it.
    if (plat::SameFile(archivePath, newPath)) {
        state.Fail(Failure::kCannotCreate, newPath);
        return;
    }
    PackPlan plan(newPath);
    if (Survey(archivePath, options, state, plan) != 0) return;
    NewArchiveFile out;
    if (out.Create(newPath) != 0) {
        state.Fail(Failure::kCannotCreate, newPath, errno);
        return;
    }
    if (Build(archivePath, options, state, lines, plan, out.Data()) != 0) return;
    const int committed = out.Commit();
    if (committed != 0) {
        state.Fail(committed == -2 ? Failure::kCannotCreate : Failure::kCannotWrite, newPath, errno);
        return;
    }
    ListUnused(OutputTree(options.destDir, options.names), plan, options.names, lines);
    if (lines != nullptr) lines->Summary();
}
