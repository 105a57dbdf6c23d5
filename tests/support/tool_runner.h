// Runs the built tool as a separate process and looks at what it left.
//
// The binary is RAVELKIT_EXE (default: the one built beside the tests).
// With RAVELKIT_RUNNER set (a Windows build run under an emulator), the
// binary is started through it and paths are handed over in Windows form.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testdat {

struct RunResult {
    int status = -1;     // exit status, or -1 when the tool did not exit normally
    int signal = 0;      // the signal that ended the tool, if one did
    std::string out;     // everything written to standard output, as bytes
    std::string err;     // everything written to standard error (not under an emulator)
};

// How the tool is started, beyond its arguments.
struct ToolOptions {
    std::string cwd;                  // working directory (empty: the tests')
    std::string stdoutFile;           // standard output goes there instead of into RunResult::out
    std::vector<std::string> env;     // "NAME=value" settings added to the environment
    std::vector<int> ignoredSignals;  // ignored from the start, as under nohup
    // Runs on a thread of its own while the tool runs, given its process id.
    std::function<void(int pid)> whileRunning;
};

// Runs the tool with args, in the working directory cwd (empty: the tests').
RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd = "");

// The tool's binary as a host path.
std::string ToolExe();

// Runs the binary at exe (a copy of the tool, say) like RunTool.
RunResult RunToolAt(const std::string& exe, const std::vector<std::string>& args,
                    const std::string& cwd = "");

// Runs the tool with args as options say.
RunResult RunToolWith(const std::vector<std::string>& args, const ToolOptions& options);

// True when the tool under test is the Windows build.
bool WindowsTool();

// An absolute host path as the tool should be given it.
std::string ToolPath(const std::string& hostPath);

// A host path as the tool prints it in error lines (its own separators).
std::string Printed(const std::string& hostPath);

// Expected standard output: "\n" becomes the tool's line ending.
std::string Lines(const std::string& text);

// A name from an archive (code page 932 bytes) as the host's file system
// shows it after an unpacking that does not keep raw names: UTF-8 on both
// systems (either build decodes names; the Windows build's names are stored
// as Unicode, which the host sees as UTF-8 under Wine).  Converted with
// iconv; bytes that are no character of the code page give "".
std::string HostName(const std::string& archiveName);

// Text holding names from an archive as the tool prints it when it does not
// keep raw names: UTF-8, as HostName.
std::string Listed(const std::string& text);

// True when the tool under test is the Windows build and its ANSI code page
// is 932 (Wine in a Japanese locale), the one system where raw names (-r)
// reach the file system as the characters they are.
bool WindowsCodePage932();

// Runs the POSIX build of the tool that was built beside the tests, never
// through RAVELKIT_RUNNER, like RunTool otherwise.
RunResult RunPosixBuild(const std::vector<std::string>& args);

// Every file under dir (relative path -> contents) and every folder (as
// "path/" -> "").
std::map<std::string, std::string> Tree(const std::string& dir);

// A fresh empty folder under parent, by default the system's temporary
// folder.
std::string MakeTempDir(const std::string& parent = "");
void RemoveTree(const std::string& dir);

}  // namespace testdat
