// Files made beside another path under a name of their own: the same on
// every system, over each system's CreateNewOutput.
#include <cerrno>
#include <string>

#include "platform/platform.h"

namespace plat {

int CreateBeside(const std::string& path, std::string* made) {
    // A name nobody else uses: the process id and a counter.
    const std::string stem = path + ".tmp" + std::to_string(ProcessId()) + "-";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = stem + std::to_string(attempt);
        const int fd = CreateNewOutput(name);
        if (fd >= 0) {
            *made = name;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace plat
