#include "app/cli.h"

#include <cstdio>
#include <string>

#include "extract/extract.h"
#include "platform/platform.h"

namespace {

int Usage() {
    std::printf("ravelkit [-s] <dat file> [dest dir]\n");
    return kExitUsage;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    if (argc < 2) return Usage();
    // Relative archive and destination paths resolve against the
    // executable's folder, wherever the tool is started from.
    plat::MoveToExecutableFolder();
    bool recurse = true;
    int arg = 1;
    if (plat::IsOption(argv[arg])) {
        // Any option letter is accepted; only 's' means something.
        if (argv[arg][1] == 's' || argv[arg][1] == 'S') recurse = false;
        ++arg;
    }
    if (arg >= argc) return Usage();
    std::string dest = arg + 1 < argc ? plat::WithTrailingSeparator(argv[arg + 1]) : std::string();
    return ExtractDat(argv[arg], dest, std::string(), recurse) == kExtractOk ? kExitOk : kExitFailure;
}
