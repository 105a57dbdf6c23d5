// The Windows side's pure rules: the extended-length form of a path and the
// decision to wait for a key.  Plain code without system calls, compiled on
// every system so that the rules are checked anywhere.
#include "platform/platform.h"

namespace plat {

bool ShouldWaitForKey(unsigned long consoleProcesses, bool inputIsConsole) {
    // A console of its own closes with the process; a shell's console (two
    // processes or more) stays, and a script's input is no console.
    return consoleProcesses == 1 && inputIsConsole;
}

std::wstring ExtendedLengthPath(const std::wstring& fullPath) {
    auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const bool drive = fullPath.size() >= 3 && fullPath[1] == L':' && isSeparator(fullPath[2]) &&
                       ((fullPath[0] >= L'A' && fullPath[0] <= L'Z') || (fullPath[0] >= L'a' && fullPath[0] <= L'z'));
    if (drive) return L"\\\\?\\" + fullPath;
    const bool share = fullPath.size() >= 3 && isSeparator(fullPath[0]) && isSeparator(fullPath[1]);
    const bool prefixed = share && (fullPath[2] == L'?' || fullPath[2] == L'.') &&
                          (fullPath.size() == 3 || isSeparator(fullPath[3]));
    if (share && !prefixed) return L"\\\\?\\UNC\\" + fullPath.substr(2);
    return fullPath;
}

}  // namespace plat
