// Names and paths: how an entry's name is found or made up, how it becomes
// an output path, and which names are refused.  Plain string work with no
// I/O, so the rules of either system can be checked on any system.
//
// Names from archives are code page 932 (Shift-JIS) text.  A run holds them
// in one of two forms (NameRules::form): decoded to UTF-8, searched byte by
// byte (no byte below 0x80 occurs inside a UTF-8 character, so '.', ' ',
// ".gz" and separators are only ever themselves); or as the archive's raw
// bytes, searched character by character, so that the trail byte of a
// double-byte character (0x5C, '\', is a common one) is never taken for one
// of them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"

// ---- the rules of one run ------------------------------------------------

enum class NameForm {
    kRaw,      // the archive's own bytes, searched character by character
    kDecoded,  // decoded to UTF-8, searched byte by byte
};

// Which system's paths: separators, roots and the names it reserves.
enum class PathStyle { kPosix, kWindows };

struct NameRules {
    NameForm form = NameForm::kDecoded;
    PathStyle style = PathStyle::kPosix;
    // How raw names are stepped through: code page 932's rule unless the
    // system brings its own (the Windows runtime's multibyte code page).
    plat::CharLengthFunction rawCharLength = nullptr;

    // The separator output paths are written with.
    char Separator() const { return style == PathStyle::kWindows ? '\\' : '/'; }
};

// ---- code page 932 ---------------------------------------------------------

// Bytes that open a double-byte character, and bytes that can close one.
inline bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool IsCp932Trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// Code page 932's character length: a lead byte takes the next byte with it
// when that byte can be a trail byte (a separator or '.' never can).
size_t Cp932CharLength(const char* s);

// The UTF-8 form of a code page 932 string, taken one character at a time:
// a byte below 0x80 stays; 0xA1-0xDF are half-width katakana; a lead byte and
// a trail byte after it are one character, U+30FB where the code page has
// none for the pair; any other byte (a lead byte without a trail byte
// included) becomes U+30FB on its own and the next byte starts afresh.
std::string DecodeCp932(const std::string& bytes);

// ---- searching -------------------------------------------------------------
//
// Every search on names and paths steps with NextChar, so it never starts on
// a trail byte of a raw name.  What is searched for is ASCII.

// Offset of the character after the one that starts at offset i of s.
size_t NextChar(const std::string& s, size_t i, const NameRules& rules);

// The offset of the last character that is one of `chars`, of the first one
// at or after `from` (a character start), or of the first occurrence of
// `text`; npos when there is none.
size_t FindLastOf(const std::string& s, const char* chars, const NameRules& rules);
size_t FindFirstOf(const std::string& s, const char* chars, size_t from, const NameRules& rules);
size_t FindText(const std::string& s, const char* text, const NameRules& rules);

// ---- entry names -----------------------------------------------------------

// A name as read from an archive (a stored name, a gzip header's file name)
// in the run's form: decoded to UTF-8, or the bytes unchanged.
std::string NameFromArchive(const std::string& bytes, const NameRules& rules);

// A stored name ends just before its last space, if it has one.
std::string FinishStoredName(const std::string& text, const NameRules& rules);

// The name of unnamed entry i (from 0): the archive's file name (after the
// last separator of archivePath: '\' alone on Windows, '/' or '\' elsewhere)
// without its extension, then "_NN.dat" with i + 1.
std::string MadeUpName(const std::string& archivePath, int i, const NameRules& rules);

// A name ends just before its first ".gz", if it has one.
std::string CutGz(const std::string& name, const NameRules& rules);

// The prefix for a nested archive's entries: prefix + name, cut at its last
// '.', then "/".
std::string NestedPrefix(const std::string& prefix, const std::string& name, const NameRules& rules);

// The path a GIM image written at outPath should take, or "" when it keeps
// its name: relPath (prefix + name, the path below the destination) already
// holds ".gim".  Otherwise the last extension of the file's own name becomes
// ".gim", or ".gim" is added when it has none.
std::string GimPath(const std::string& outPath, const std::string& relPath, const NameRules& rules);

// ---- paths -----------------------------------------------------------------

// True when prefix + name would leave the destination or name something the
// system cannot hold as a plain file: a ".." component, a name starting at a
// root ('/' or '\'), a name or prefix starting at a drive ("C:"), or (Windows)
// a reserved component: one holding ':' (a stream or a drive), a device name
// (CON, NUL, COM1, ... with or without an extension), or one ending in '.'
// or ' ' ("..." and "a." alike; "." alone is the folder itself).
bool IsUnsafeEntryPath(const std::string& prefix, const std::string& name, const NameRules& rules);

// The output path of an entry: destDir + prefix + name, without the
// separators a nested prefix may begin with (those of an archive named ".x"),
// so that it never leaves destDir, empty destDir included.
std::string OutputPath(const std::string& destDir, const std::string& prefix, const std::string& name);

// The path with every separator ('/' or '\', never a trail byte) made the
// system's own.
std::string NormaliseSeparators(const std::string& path, const NameRules& rules);

// The destination folder as the walk expects it: empty stays empty, anything
// else ends in a separator ('/' or '\' already there counts; otherwise the
// system's own is added).
std::string WithTrailingSeparator(const std::string& dir, const NameRules& rules);

// The key two paths below the destination (with the system's separators)
// share when the system takes them for one file: the components joined with
// '/', empty and "." ones left out; with Windows' rules '/' and '\' both
// separate, each component's trailing dots and spaces are dropped and ASCII
// letters (outside double-byte characters) are in lower case.
std::string PathKey(const std::string& relPath, const NameRules& rules);

// Length of the start of a path that names a root, which exists or not but
// is never created as a folder.  POSIX: the leading '/'s.  Windows: "C:\" or
// "C:" (a drive), "\" (the current drive), "\\server\share\" (a network
// share), "\\?\C:\" or "\\.\C:\" (a prefix and the drive, volume or device
// after it), and "\\?\UNC\server\share\"; '/' and '\' both separate.  0 for a
// relative path.
size_t RootLength(const std::string& path, const NameRules& rules);

// The folders along a path with normalised separators, outermost first: every
// prefix that ends before a separator, below the root, skipping empty
// components.  The last component (the file's name) is none of them.
std::vector<std::string> FoldersAlong(const std::string& path, const NameRules& rules);
