// The one place that knows POSIX from Windows.
//
// Everything the tool needs from the operating system goes through these
// functions: descriptor I/O, folders, removing and renaming, interrupts, the
// folder relative paths resolve against, option syntax, and how the system
// takes names.  platform_posix.cpp and platform_win32.cpp implement them;
// exactly one of the two is compiled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// True where paths follow Windows' rules: '\' separates (as '/' does),
// drives, shares and reserved device names.
#ifdef _WIN32
constexpr bool kWindowsPaths = true;
#else
constexpr bool kWindowsPaths = false;
#endif

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

// Creates an anonymous file for reading and writing, in the system's
// temporary folder: it has no name (or loses it at once) and is gone when
// it is closed or the process ends, however it ends.  Returns a descriptor,
// or -1 with errno set.
int OpenTemporary();

// True when path names a file that is open for reading through
// OpenForReading, which OpenForOutput would refuse; the file is left as it
// is.
bool IsOpenForReading(const std::string& path);

// Closes a descriptor opened by one of the functions above.  Returns 0,
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

// Empties the file and moves its position to 0.  Returns 0 on success, -1
// on error.
int EmptyFile(int fd);

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

// ---- names ---------------------------------------------------------------

// Whether names from archives reach this system decoded to UTF-8, or as the
// archive's bytes; keepRaw is the command line's request to keep the bytes.
// Windows keeps them whatever is asked: the system converts them to Unicode
// when it creates the files.
bool DecodesNames(bool keepRaw);

// How this system steps through names kept as bytes: the length of the
// character that starts at s (never over the terminator).  Null where names
// are stepped by code page 932's own rule.
using CharLengthFunction = size_t (*)(const char* s);
CharLengthFunction SystemCharLength();

}  // namespace plat
