// The one place that knows POSIX from Windows.
//
// Everything the extraction code needs from the operating system goes through
// these functions: descriptor I/O, directories, removing and renaming, the
// folder relative paths resolve against, path roots, the directory
// separator, option syntax, the multibyte code page used when names are
// searched and the decoding of names.  platform_posix.cpp and
// platform_win32.cpp implement them; exactly one of the two is compiled.
// paths.cpp and multibyte.cpp hold plain string work shared by both.
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

// How the names of one run are held, and so how they are searched.
enum class NameForm {
    kRaw,      // the archive's own bytes, code page 932: searched character by character
    kDecoded,  // decoded to UTF-8: searched byte by byte
};

// ---- files ---------------------------------------------------------------

// Opens an existing regular file for reading in binary mode, denying writes
// to others for as long as it stays open (an output file can never truncate
// it).  Anything else (a folder, a pipe, a device, a socket) is refused at
// once, without waiting for a writer.  Returns a descriptor with *length set
// to the file's size, or -1 with errno set (a folder gives EISDIR).
int OpenForReading(const std::string& path, int64_t* length);

// Creates a file, or empties an existing one, for reading and writing in
// binary mode; the file is empty and positioned at 0 afterwards.  Fails (-1,
// errno set) when the path names a file that is open for reading through
// OpenForReading, leaving that file untouched.  Until it is closed this is
// the file an interrupt removes (see RemoveOutputOnInterrupt).
int OpenForOutput(const std::string& path);

// Closes a descriptor opened by one of the two functions above.  Returns 0,
// or -1 when the system reports that the file's data may not have reached
// it (the descriptor is closed all the same).
int CloseFile(int fd);

// One read of up to len bytes at offset, leaving the file position alone
// where the system allows.  Returns the count read (0 at end of file), or -1
// with errno set (EINTR: interrupted, try again).
int64_t ReadAt(int fd, void* buf, size_t len, uint64_t offset);

// One write of up to len bytes at the file position.  Returns the count
// written, or -1 with errno set (EINTR: interrupted, try again).
int64_t WriteSome(int fd, const void* buf, size_t len);

// Cuts or extends the file to len bytes; the file position stays.  Returns
// 0 on success, -1 on error.
int SetFileLength(int fd, uint64_t len);

// Has the system copy len bytes from offset inPos of inFd to the file
// position of outFd without passing them through this process.  Returns the
// count copied: less than len (0 included) when the system cannot copy (the
// rest) this way, or fails; the caller copies the rest itself, which also
// tells a read failure from a write failure.
uint64_t CopyRange(int inFd, uint64_t inPos, int outFd, uint64_t len);

// ---- the file system -----------------------------------------------------

// Creates one directory.  Returns 0 when it was made, EEXIST when something
// (a folder or not) is already there, otherwise the errno value of the
// failure (ENOENT when a parent is missing).
int MakeDir(const std::string& path);

// True when path names an existing folder.
bool IsFolder(const std::string& path);

// Removes a file; failures are the caller's to ignore.
void RemoveFile(const std::string& path);

// Gives the file at `from` the name `to`, replacing whatever file has that
// name.  Never touches a file that is open for reading through
// OpenForReading, and never removes `from` itself when both names lead to
// the same file (then it is only renamed).  Returns 0 on success, -1 when
// the file keeps its old name.
int ReplaceFile(const std::string& from, const std::string& to);

// ---- start-up ------------------------------------------------------------

// From here on an interrupt (SIGINT, SIGTERM, SIGHUP or SIGPIPE on POSIX;
// Ctrl-C, Ctrl-Break or closing the console on Windows) first removes the
// output file being written, if any, and then ends the process as the
// interrupt would have.  Files already closed stay.  An interrupt that was
// ignored when the process started stays ignored.
void RemoveOutputOnInterrupt();

// Sets the folder that relative archive and destination paths resolve
// against, and that output goes into when no destination is given.  Windows:
// the folder that holds the running executable becomes the working directory
// (the console tool works on files kept beside the .exe); failures are
// ignored and the working directory then stays as it was.  POSIX: nothing
// changes, the working directory stays the caller's.
void EnterBaseFolder();

// True when a command-line argument is an option rather than a path.
bool IsOption(const char* arg);

// The destination folder as the extraction expects it: empty stays empty,
// anything else ends in a separator ('/' or '\' already there counts, found
// as the run's names are searched; otherwise kSeparator is added).
std::string WithTrailingSeparator(const std::string& dir, NameForm form);

// Length of the start of a path that names a root, which exists or not but is
// never created as a folder: on POSIX the leading '/'s; on Windows what
// WindowsRootLength finds.  Folders are created from there on.
size_t RootLength(const std::string& path);

// The root of a Windows path: "C:\" or "C:" (a drive), "\" (the current
// drive), "\\server\share\" (a network share, UNC), "\\?\C:\" or
// "\\.\C:\" (a prefix and the drive, volume or device after it), and
// "\\?\UNC\server\share\"; 0 for a relative path.  '/' and '\' both
// separate.  A pure string function, compiled on every system.
size_t WindowsRootLength(const std::string& path);

// ---- names ---------------------------------------------------------------

// The form of this run's names; keepRaw is the command line's request to
// keep the archive's bytes.  Windows keeps them whatever is asked: the
// system converts them to Unicode when it creates the files.
NameForm ChooseNameForm(bool keepRaw);

// A name as read from an archive (a stored name, a gzip header's file name)
// in the run's form: decoded to UTF-8, or the bytes unchanged.
std::string NameFromArchive(const std::string& bytes, NameForm form);

// Length in bytes of the code page character that starts at s: 2 for the
// lead byte of a double-byte character followed by a byte that can be its
// trail byte (never NUL), else 1.  s must not point at the terminator.
size_t CharLength(const char* s);

// Offset of the character after the one that starts at offset i of s, the
// one step every search on names and paths takes: by CharLength for raw
// names, byte by byte for decoded ones (no byte below 0x80 occurs inside a
// UTF-8 character, so every character searched for stands on its own).
size_t NextChar(const std::string& s, size_t i, NameForm form);

// Searches that never start on a trail byte of a raw name: the offset of the
// last character that is one of `chars`, of the first one at or after
// `from` (a character start), or of the first occurrence of `text`; npos
// when there is none.  What is searched for is ASCII.
size_t FindLastOf(const std::string& s, const char* chars, NameForm form);
size_t FindFirstOf(const std::string& s, const char* chars, size_t from, NameForm form);
size_t FindText(const std::string& s, const char* text, NameForm form);

// The characters that end the folder part of an archive path when a made-up
// entry name takes its base from it.
const char* NameBaseSeparators();

// True for a path component this system cannot hold as an ordinary file or
// folder name (a stream or device name).  Always false on POSIX.
bool IsReservedComponent(const std::string& component);

}  // namespace plat
