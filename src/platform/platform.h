// The one place that knows POSIX from Windows.
//
// Everything the extraction code needs from the operating system goes through
// these functions: descriptor I/O, directories, removing and renaming, the
// executable's folder, the directory separator, option syntax and the
// multibyte code page used when names are searched.  platform_posix.cpp and
// platform_win32.cpp implement them; exactly one of the two is compiled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// ---- files ---------------------------------------------------------------

// Opens an existing file for reading in binary mode, denying writes to others
// for as long as it stays open (an output file can never truncate it).
// Returns a descriptor, or -1 with errno set (a folder gives EISDIR).
int OpenForReading(const std::string& path);

// Creates or truncates a file for reading and writing in binary mode.
// Fails (-1, errno set) when the path names a file that is open for reading
// through OpenForReading, leaving that file untouched.
int OpenForOutput(const std::string& path);

// Closes a descriptor opened by one of the two functions above.
void CloseFile(int fd);

// Moves the file position; whence is SEEK_SET, SEEK_CUR or SEEK_END.
// Returns the new position, or -1 on error.
int64_t SeekFile(int fd, int64_t offset, int whence);

// Reads up to len bytes, retrying after interruptions and short reads until
// len bytes are in or the file ends.  Returns the count read (less than len
// only at end of file), or -1 on error.
int64_t ReadFull(int fd, void* buf, size_t len);

// Writes all len bytes, retrying after interruptions and partial writes.
// Returns 0 on success, -1 on error.
int WriteFull(int fd, const void* buf, size_t len);

// ---- the file system -----------------------------------------------------

// Creates one directory.  Returns 0 on success or when something already
// exists there, otherwise the errno value of the failure (ENOENT when a
// parent is missing).
int MakeDir(const std::string& path);

// Removes a file; failures are the caller's to ignore.
void RemoveFile(const std::string& path);

// Gives the file at `from` the name `to`, replacing whatever file has that
// name.  Never touches a file that is open for reading through
// OpenForReading, and never removes `from` itself when both names lead to
// the same file (then it is only renamed).  Returns 0 on success, -1 when
// the file keeps its old name.
int ReplaceFile(const std::string& from, const std::string& to);

// ---- start-up ------------------------------------------------------------

// Makes the folder that holds the running executable the working directory.
// Failures are ignored: the working directory then stays as it was.
void MoveToExecutableFolder();

// True when a command-line argument is an option rather than a path.
bool IsOption(const char* arg);

// The destination folder as the extraction expects it: empty stays empty,
// anything else ends in a separator ('/' or '\' already there counts).
std::string WithTrailingSeparator(const std::string& dir);

// ---- names ---------------------------------------------------------------

// Length in bytes of the character that starts at s: 2 for the lead byte of
// a double-byte character followed by a byte that can be its trail byte
// (never NUL), else 1.  s must not point at the terminator.
size_t CharLength(const char* s);

// Multibyte-aware searches: the offset of the last `c`, or of the first
// occurrence of `text` (ASCII), never starting on a trail byte; npos when
// there is none.
size_t FindLastChar(const std::string& s, char c);
size_t FindText(const std::string& s, const char* text);

// Offset of the last character of s (s not empty).
size_t LastCharStart(const std::string& s);

// True for the characters that end the folder part of an archive path when
// a made-up entry name takes its base from it.
bool IsNameBaseSeparator(char c);

// True for a path component this system cannot hold as an ordinary file or
// folder name (a stream or device name).  Always false on POSIX.
bool IsReservedComponent(const std::string& component);

}  // namespace plat
