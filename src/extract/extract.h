// Unpacking "GPDA" archives: the records, ExtractDat, and the path helpers.
//
// An archive starts with a 16-byte header, then a table of 16-byte entry
// records, then name records and entry data anywhere after.  The header, the
// table and the name records must lie in the index: the first
// min(file length, 1 MiB) bytes.  All integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "platform/platform.h"

constexpr uint32_t kDatMagic = 0x41445047;  // "GPDA"
constexpr size_t kIndexLimit = 0x100000;    // 1 MiB
constexpr size_t kHeaderSize = 16;
constexpr size_t kEntrySize = 16;
constexpr size_t kCopyChunk = 0x100000;     // stored data pass through 1 MiB
constexpr int kMaxNestingDepth = 32;         // levels below the top archive
constexpr uint64_t kMaxNestedArchives = 65536;  // nested archives unpacked in one run
constexpr uint64_t kMaxEntries = 4194304;       // entries walked in one run, every level counted

struct DatHeader {
    uint32_t magic;
    uint32_t fileSize;
    int32_t entryCount;
};

struct DatEntry {
    uint32_t offset;
    uint32_t size;
    uint32_t nameOffset;  // 0: no stored name
};

// Little-endian reads of archive fields.
uint16_t ReadLE16(const uint8_t* p);
uint32_t ReadLE32(const uint8_t* p);

// Reads the header from a zero-filled block of at least 16 bytes.
DatHeader ParseHeader(const uint8_t* index);

// Reads entry record i; the caller has checked that it lies in the index.
DatEntry ParseEntry(const uint8_t* index, int i);

// Number of entry records that lie wholly inside an index of indexLen bytes.
int EntriesThatFit(size_t indexLen);

// Reads the text of the name record at nameOffset: up to its `length` bytes,
// stopping at a zero byte.  Returns false, leaving *text unspecified, when
// the length field or the text (the stopping zero byte included) would run
// past the index.
bool ReadNameRecord(const uint8_t* index, size_t indexLen, uint32_t nameOffset, std::string* text);

// ---- names and paths -----------------------------------------------------
//
// Every function here searches its strings as names of the given form are
// searched (see plat::NameForm).

// A stored name ends just before its last space, if it has one.
std::string FinishStoredName(const std::string& text, plat::NameForm form);

// The name of unnamed entry i (from 0): the archive's file name without its
// extension, then "_NN.dat" with i + 1.
std::string MadeUpName(const std::string& datPath, int i, plat::NameForm form);

// A name ends just before its first ".gz", if it has one.
std::string CutGz(const std::string& name, plat::NameForm form);

// The prefix for a nested archive's entries: prefix + name, cut at its last
// '.', then "/".
std::string NestedPrefix(const std::string& prefix, const std::string& name, plat::NameForm form);

// True when prefix + name would leave the destination: a ".." component, a
// name starting at a root ('/' or '\'), a name or prefix starting at a drive
// ("C:"), or a component the system reserves.
bool IsUnsafeEntryPath(const std::string& prefix, const std::string& name, plat::NameForm form);

// The output path of an entry: destDir + prefix + name, without the
// separators a nested prefix may begin with (those of an archive named
// ".x"), so that it never leaves destDir, empty destDir included.
std::string OutputPath(const std::string& destDir, const std::string& prefix, const std::string& name);

// The path with every separator ('/' or '\', never a trail byte) made the
// system's own.
std::string NormaliseSeparators(const std::string& path, plat::NameForm form);

// The folders one run has made or found, so that each is asked for once.
// The run never removes a folder, so what it knows stays true.
class KnownFolders {
public:
    bool Has(const std::string& path) const { return paths_.count(path) != 0; }
    void Add(const std::string& path) { paths_.insert(path); }

private:
    std::unordered_set<std::string> paths_;
};

// Normalises the separators of path in place and creates every folder along
// it (not the last component), below the path's root (a drive, a network
// share, a "\\?\" prefix), skipping those in *known (when not null) and
// adding those it makes or finds.  Empty components are skipped.  Returns 0,
// or -1 when a folder could not be made because its parent is missing.
int CreatePathDirs(std::string& path, plat::NameForm form, KnownFolders* known = nullptr);

// The name a GIM image written at outPath should take, or "" when it keeps
// its name: its path relative to the destination (relPath, prefix + name)
// already holds ".gim".  The destination's own path plays no part.
std::string GimPath(const std::string& outPath, const std::string& relPath, plat::NameForm form);

// ---- unpacking -------------------------------------------------------------

// The budgets of one run.  Archives that hold themselves, or each other,
// many times over would otherwise unpack for ever; these bound the work of
// any input.
struct RunLimits {
    uint64_t nestedArchives = kMaxNestedArchives;
    uint64_t entries = kMaxEntries;
};

// Results of ExtractDat.
constexpr int kExtractRejected = -1;  // not opened, or not an archive: nothing written
constexpr int kExtractOk = 0;         // every entry unpacked
constexpr int kExtractFailed = 1;     // walked, but a failure was reported

// What the command line chose, the same for every archive of one run.
struct RunOptions {
    bool recurse = true;                                    // unpack archives found inside
    plat::NameForm names = plat::ChooseNameForm(false);     // how names are held and searched
    RunLimits limits;                                       // the run's budgets
};

// Unpacks the archive at datPath into destDir + prefix, printing one listing
// line per entry and an error line for every failure.  destDir is empty or
// ends in a separator; prefix is empty or ends in "/".  With options.recurse
// set, entries that are archives themselves are unpacked in turn, within
// the nesting depth and options.limits.
int ExtractDat(const std::string& datPath, const std::string& destDir, const std::string& prefix,
               const RunOptions& options);
