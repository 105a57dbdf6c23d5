// The one place that knows POSIX from Windows.
//
// Everything the tool needs from the operating system goes through these
// functions: descriptor I/O, folders, removing and renaming, interrupts, the
// folder relative paths resolve against, the command line, standard output,
// option syntax, and how the system takes names.  platform_posix.cpp and
// platform_win32.cpp implement them; exactly one of the two is compiled.
// windows_rules.cpp holds the pure string rules of the Windows side, compiled
// everywhere so that they can be checked on any system.
//
// Paths are UTF-8 throughout (Windows converts them to UTF-16 at this edge),
// except in the Windows mode set by KeepSystemCodePageNames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
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

// Creates an anonymous file for reading and writing, in the system's
// temporary folder: it has no name (or loses it at once) and is gone when
// it is closed or the process ends, however it ends.  Returns a descriptor,
// or -1 with errno set.
int OpenTemporary();

// True when path names a file that is open for reading through
// OpenForReading, which CreateFileIn would refuse to replace; the file is
// left as it is.
bool IsOpenForReading(const std::string& path);

// Closes a descriptor opened by one of the functions above.  Returns 0,
// or -1 when the system reports that the file's data may not have reached
// it (the descriptor is closed all the same).
int CloseFile(int fd);

// Reads len bytes at offset, never moving a file position, so that several
// threads may read one file at once.  Retries after interruptions and short
// reads.  Returns the count read (short only at end of file), or -1 with
// errno set.
int64_t ReadFull(int fd, void* buf, size_t len, uint64_t offset);

// Writes all len bytes at offset, never moving a file position.  Retries
// after interruptions and partial writes.  Returns 0, or -1 with errno set.
int WriteFull(int fd, const void* buf, size_t len, uint64_t offset);

// Maps len bytes at offset of fd (open for reading) into memory, read only.
// Returns 0 with *view set to the mapping's start (page or allocation
// granularity below offset: *start is where offset lies in it), or -1.
// Pages are read from the file as they are touched.
int MapReadOnly(int fd, uint64_t offset, uint64_t len, void** view, const uint8_t** start);

// Undoes MapReadOnly; len and offset as given to it.
void Unmap(void* view, uint64_t offset, uint64_t len);

// Has the system copy len bytes from offset inPos of inFd to offset outPos
// of outFd without passing them through this process.  Returns the count
// copied: less than len (0 included) when the system cannot copy (the rest)
// this way, or fails; the caller copies the rest itself, which also tells a
// read failure from a write failure.
uint64_t CopyRange(int inFd, uint64_t inPos, int outFd, uint64_t outPos, uint64_t len);

// Makes the file len bytes long: cut, or grown with zero bytes.  Returns 0,
// or -1 on error.
int SetLength(int fd, uint64_t len);

// Creates the file at path, new (nothing may be there), for reading and
// writing.  Until FinishBeside has renamed it, this is the file an interrupt
// removes.  Returns a descriptor, or -1 with errno set (EEXIST: something
// is there).
int CreateNewOutput(const std::string& path);

// Creates a new file beside path (in its folder, named after it and made
// unique), as CreateNewOutput does, and stores its name in *made.  Returns a
// descriptor, or -1 with errno set.
int CreateBeside(const std::string& path, std::string* made);

// This process's identifier, to make names that no other process uses.
unsigned long ProcessId();

// Closes fd, the file made by CreateBeside under the name made, and gives it
// the name path, replacing a file there (never one open through
// OpenForReading).  A failure removes the file.  Returns 0, -1 when closing
// reported lost data, -2 when the file could not take its name.
int FinishBeside(int fd, const std::string& made, const std::string& path);

// ---- the file system -----------------------------------------------------

// Creates one directory.  Returns 0 when it was made, EEXIST when something
// (a folder or not) is already there, otherwise the errno value of the
// failure (ENOENT when a parent is missing).
int MakeDir(const std::string& path);

// True when path names an existing folder.
bool IsFolder(const std::string& path);

// Removes a file; failures are the caller's to ignore.
void RemoveFile(const std::string& path);

// ---- the output tree -------------------------------------------------------
//
// Below the destination nothing is created, written, renamed or removed
// through a symbolic link (or, on Windows, any reparse point: a link, a
// junction, a mount point): a name that is one is refused.  The walk goes
// one folder at a time from the destination, each step taken from the
// folder before it.

// A folder of the output tree, held for working in it.  POSIX: an open
// descriptor (fd), every name looked up in it without following a link, so
// nothing swapped in along the way can redirect the walk.  Windows: its path
// (path, empty or ending in a separator), each name checked for a reparse
// point by its attributes before it is entered or created.
struct Folder {
    int fd = -1;
    std::string path;
};

// Opens the existing folder at path (empty: the working folder), links
// followed: the user chose it.  Returns 0 with *folder set, -1 on error.
int OpenFolder(const std::string& path, Folder* folder);

// Opens the folder `name` in parent, making it first when it is missing and
// create is set.  A link there, or anything but a folder, is refused.
// Returns 0 with *folder set, -1 on error.
int OpenSubfolder(const Folder& parent, const std::string& name, bool create, Folder* folder);

// Lets go of a folder opened by one of the two functions above.
void CloseFolder(Folder& folder);

// Opens the existing regular file `name` in folder for reading, as
// OpenForReading does, never through a link there.  Returns a descriptor
// with *length set, or -1 with errno set.
int OpenForReadingIn(const Folder& folder, const std::string& name, int64_t* length);

// How many folders the output tree may hold open at once: enough to spare
// the walk, few enough to leave descriptors for the archives and files.
size_t FoldersHeldOpen();

// Creates the file `name` in folder for reading and writing in binary mode,
// empty.  A file already there is removed first and a new one made, never
// written in place (it may be a hard link to a file elsewhere), unless it is
// open for reading through OpenForReading: then this fails and leaves it.
// A link or a folder there is refused.  Returns a descriptor, or -1 with
// errno set.  Until it is closed this is the file an interrupt removes (see
// RemoveOutputOnInterrupt); folder must stay open until then.
int CreateFileIn(const Folder& folder, const std::string& name);

// Gives the file `from` in folder the name `to`, replacing whatever file has
// that name.  Never replaces a link or a file that is open for reading
// through OpenForReading, and never removes `from` itself when both names
// lead to the same file (then it is only renamed).  Returns 0 on success,
// -1 when the file keeps its old name.
int RenameIn(const Folder& folder, const std::string& from, const std::string& to);

// Removes the file `name` in folder when it is a plain file that is not open
// for reading; a link, a folder or anything else stays.  Failures are the
// caller's to ignore.
void RemoveFileIn(const Folder& folder, const std::string& name);

// The longest path the system takes, in bytes, terminator excluded: an
// output path longer than this is refused, as the system would refuse it.
size_t MaxPathLength();

// What a path names, its last component not followed when it is a link.
enum class PathKind {
    kMissing,  // nothing, or a folder on the way is missing
    kFile,     // a regular file
    kFolder,
    kLink,     // a symbolic link (Windows: any reparse point), whatever it leads to
    kOther,    // a device, a pipe, a socket, or a path that cannot be looked at
};
PathKind KindOf(const std::string& path);

// One name in a folder, and what it names (as KindOf, links not followed).
struct FolderItem {
    std::string name;
    PathKind kind;
};

// Calls visit with each name in the folder at path (empty: the working
// folder; otherwise ending in a separator), "." and ".." left out, in no
// particular order.  Returns 0, or -1 when the folder cannot be read (or
// not to its end).
int ListFolder(const std::string& path, const std::function<void(const FolderItem&)>& visit);

// True when both paths name one existing file (links followed, hard links
// included).
bool SameFile(const std::string& a, const std::string& b);

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

// The command line's arguments, the program's name first.  POSIX: argv as
// given.  Windows: read from the system as UTF-16 (argv holds the ANSI code
// page's rendering, which loses what that code page lacks) and converted to
// UTF-8; after KeepSystemCodePageNames, argv's ANSI bytes as they are.
std::vector<std::string> Arguments(int argc, char** argv);

// The command line's request to keep the archive's bytes as names (-r), made
// once at start-up before any path reaches the system.  Windows: from here on
// the process works as the ANSI programs of that system do: arguments are the
// ANSI code page's bytes, paths are handed over as such text (so no longer
// than MAX_PATH), and the listing prints bytes.  POSIX: nothing changes,
// paths are bytes anyway.
void KeepSystemCodePageNames();

// Writes text (UTF-8, or bytes after KeepSystemCodePageNames) to out,
// standard output in the tool.  POSIX: the bytes as they are.  Windows: to a
// console as Unicode (WriteConsoleW), so that every name shows whatever the
// console's code page; elsewhere (a file, a pipe), and after
// KeepSystemCodePageNames everywhere, the bytes, each "\n" as "\r\n".  A
// failure to write a file or pipe shows in ferror(out).
void WriteText(std::FILE* out, const std::string& text);

// Last thing before the process ends.  Windows: when the console window was
// made for this process alone (it was started by drag-and-drop or a
// double-click, so the window closes as soon as it ends) and standard input
// is that console, prints "Press any key to close." and waits for a key.
// POSIX: nothing.
void WaitForKeyIfConsoleIsOwn();

// The decision of WaitForKeyIfConsoleIsOwn: consoleProcesses is the number
// of processes attached to the console (0 without one), inputIsConsole
// whether standard input is it.  Waits only for a console of one process,
// never in a script, nor when run from a shell's console.
bool ShouldWaitForKey(unsigned long consoleProcesses, bool inputIsConsole);

// The extended-length form of a full Windows path, as the system takes it
// past MAX_PATH and without reworking it: "C:\x" becomes "\\?\C:\x",
// "\\server\share\x" becomes "\\?\UNC\server\share\x".  A path already
// in "\\?\" or "\\.\" form, or one that is not full, comes back unchanged.
std::wstring ExtendedLengthPath(const std::wstring& fullPath);

// ---- names ---------------------------------------------------------------

// Whether names from archives reach this system decoded to UTF-8, or as the
// archive's bytes; keepRaw is the command line's request to keep the bytes.
bool DecodesNames(bool keepRaw);

// Length in bytes of the character that starts at s (never over the
// terminator).
using CharLengthFunction = size_t (*)(const char* s);

// How this system steps through names kept as bytes.  Null where names are
// stepped by code page 932's own rule.
CharLengthFunction SystemCharLength();

}  // namespace plat
