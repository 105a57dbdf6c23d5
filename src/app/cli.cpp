#include "app/cli.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "unpack/unpack.h"

namespace {

int Usage() {
    plat::WriteText(stdout, "ravelkit [-sgrtlj] <dat file> [dest dir]\n"
                            "ravelkit -p[srj] <dat file> <dest dir> <new dat file>\n");
    return kExitUsage;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    std::vector<std::string> args = plat::Arguments(argc, argv);
    if (args.size() < 2) return Usage();
    // Where relative archive and destination paths lead: the working
    // directory, or on Windows the executable's folder.
    plat::EnterBaseFolder();
    RunOptions run;
    bool keepRawNames = false, test = false, list = false, json = false, pack = false;
    size_t arg = 1;
    if (plat::IsOption(args[arg].c_str())) {
        // Every letter counts, in either case: 's' keeps nested archives as
        // files, 'g' writes PNG images of GIM images, 'r' keeps the
        // archive's bytes as names, 't' tests, 'l' lists (and wins over
        // 't'), 'j' prints JSON Lines, 'p' packs (and wins over both); any
        // other letter is ignored.
        for (const char* c = args[arg].c_str() + 1; *c != '\0'; ++c) {
            switch (*c) {
                case 's': case 'S': run.recurse = false; break;
                case 'g': case 'G': run.convertGim = true; break;
                case 'r': case 'R': keepRawNames = true; break;
                case 't': case 'T': test = true; break;
                case 'l': case 'L': list = true; break;
                case 'j': case 'J': json = true; break;
                case 'p': case 'P': pack = true; break;
                default: break;
            }
        }
        ++arg;
    }
    run.mode = pack ? RunMode::kPack : list ? RunMode::kList : test ? RunMode::kTest : RunMode::kUnpack;
    if (keepRawNames) {
        // The system's own code page from here on, the paths given included.
        plat::KeepSystemCodePageNames();
        args = plat::Arguments(argc, argv);
    }
    // Packing takes the destination and the new archive as well.
    if (arg >= args.size() || (pack && arg + 2 >= args.size())) return Usage();
    run.names = HostNameRules(keepRawNames);
    std::string dest = arg + 1 < args.size() ? WithTrailingSeparator(args[arg + 1], run.names) : std::string();
    Listing listing(stdout, json ? Listing::Style::kJson : Listing::Style::kText);
    if (pack)
        PackArchive(args[arg], dest, args[arg + 2], run, listing);
    else
        UnpackArchive(args[arg], dest, run, listing);
    return listing.Failures() == 0 ? kExitOk : kExitFailure;
}

int FinishStandardOutput(int status) {
    // ferror covers every earlier print; fflush the lines still buffered.
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "error : cannot write standard output\n");
    return kExitFailure;
}
