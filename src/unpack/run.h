// One run of the tool: what the command line chose, and the state every
// level of nesting shares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/heap_buffer.h"
#include "names/names.h"
#include "unpack/listing.h"
#include "unpack/output_tree.h"

class Archive;
struct PackPlan;

constexpr int kMaxNestingDepth = 32;  // levels below the archive given

// The budgets of one run.  Archives that hold themselves, or each other,
// many times over would otherwise unpack for ever; these bound the work of
// any input.
struct RunLimits {
    uint64_t nestedArchives = 65536;  // nested archives opened for unpacking
    uint64_t entries = 4194304;       // entries walked, every level counted
    // Bytes put into output files: this many per byte of the archive given
    // (four times deflate's greatest ratio, 1,032:1), plus outputAllowance.
    uint64_t outputPerArchiveByte = 4128;
    uint64_t outputAllowance = uint64_t{64} << 20;
};

// The bytes one run may put into output files.  Deflate alone expands at
// most 1,032 times; only entries sharing their data and nesting multiply
// output beyond that, so a limit of a few times that ratio over the
// archive's size stops such bombs and no honest archive comes near it.  It
// counts bytes whoever writes them, one file after another: a file counts as
// at least kLeastPerFile bytes (the file system's own cost of a small file),
// and a stretch of a file written again (a member expanded a second time)
// counts once.
class OutputBudget {
public:
    static constexpr uint64_t kLeastPerFile = 4096;

    // The limit: perByte times archiveSize, plus allowance.
    void SetLimit(uint64_t archiveSize, uint64_t perByte, uint64_t allowance);

    // Begins a new file, charging its least count.  Returns 0, or -1 when
    // that would pass the limit (nothing is charged then).
    int BeginFile();

    // Takes back what the file begun last was charged: it was never made.
    void CancelFile();

    // The file begun last now reaches `end` bytes; what lies below the
    // furthest end it reached before is paid for.  Returns 0, or -1 when the
    // new bytes would pass the limit (nothing is charged then).
    int Reach(uint64_t end);

private:
    uint64_t limit_ = UINT64_MAX;
    uint64_t spent_ = 0;
    uint64_t fileCharged_ = 0;  // the file begun last: how far it is paid for
};

// What a run does with each entry.
enum class RunMode {
    kUnpack,  // writes it out
    kTest,    // reads and expands it, checks everything, writes nothing
    kList,    // lists it from its first bytes
    kPack,    // compares it with the file it became, for an archive built anew
};

// What the command line chose, the same for every archive of one run.
struct RunOptions {
    RunMode mode = RunMode::kUnpack;
    bool recurse = true;      // unpack archives found inside
    bool convertGim = false;  // write a PNG beside every GIM image
    NameRules names;      // how names are held and searched
    RunLimits limits;
};

// The name rules of this system; keepRaw is the command line's request to
// keep the archive's bytes as names.
NameRules HostNameRules(bool keepRaw);

// What one run shares across every level of nesting.
struct Run {
    Run(const RunOptions& o, const std::string& destDir, Listing& l) : options(o), listing(l), tree(destDir, o.names) {}
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    const RunOptions options;
    Listing& listing;
    OutputTree tree;               // the destination, and the folders made in it
    uint64_t nestedArchives = 0;   // spent of the budgets
    uint64_t entries = 0;
    OutputBudget output;
    std::string topArchive;        // the archive given, as error lines print it
    bool stopped = false;          // the run ran out of budget: every walk returns
    // The archives being unpacked, outermost first, with their paths as
    // error lines print them.
    struct OpenArchive {
        const Archive* archive;
        const std::string* path;
    };
    std::vector<OpenArchive> open;
    HeapBuffer buffer;             // the entries' bytes pass through it, at every level
    // Packing: what both walks share; whether this is the first walk, which
    // only notes the file each entry becomes (reading entries as listing
    // does); and the buffer the tree's files are read through.
    PackPlan* pack = nullptr;
    bool collecting = false;
    HeapBuffer treeBuffer;

    // True when entries are only looked at (listing, or packing's first
    // walk), not read whole.
    bool LooksOnly() const { return options.mode == RunMode::kList || collecting; }

    // True when an output file at path would overwrite an archive being
    // read, which unpacking refuses: one open on disk, or (testing and
    // listing, which read nested archives in place) one that unpacking
    // would have written there.
    bool IsBeingRead(const std::string& path) const;
};
