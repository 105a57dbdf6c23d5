#include "app/cli.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "list/lister.h"
#include "listing/entry_lines.h"
#include "listing/listing_output.h"
#include "listing/pack_lines.h"
#include "pack/packer.h"
#include "platform/platform.h"
#include "test/tester.h"
#include "unpack/unpacker.h"

namespace {

const char kUsage[] = "ravelkit [-sgrtlj] <dat file> [dest dir]\n"
                      "ravelkit -p[srj] <dat file> <dest dir> <new dat file>\n";

// What the letters of the option ask for.
struct Letters {
    bool keepNested = false;
    bool convertGim = false;
    bool keepRawNames = false;
    bool test = false;
    bool list = false;
    bool json = false;
    bool pack = false;
};

// One option letter: the request it sets and its line in the help text.
struct Letter {
    char letter;
    bool Letters::*request;
    const char* help;
};

// Every option letter, in the help text's order.  A new letter is a row here
// and a request in Letters; reading and the help text follow from the table.
const Letter kLetters[] = {
    {'s', &Letters::keepNested, "do not unpack archives found inside the archive; write them as files"},
    {'g', &Letters::convertGim, "also write a PNG image of every GIM image (<name>.gim.png)"},
    {'r', &Letters::keepRawNames, "keep names as the archive's bytes instead of decoding them to UTF-8"},
    {'t', &Letters::test, "test: do all that unpacking does and print its listing, but write nothing"},
    {'l', &Letters::list, "list one line per entry from the index, expanding nothing (wins over -t)"},
    {'j', &Letters::json, "print the listing as JSON Lines"},
    {'p', &Letters::pack, "pack <new dat file> from <dat file> and the edited tree in <dest dir>\n"
                          "      (wins over -t and -l)"},
};

const char kHelpOptions[] =
    "Only the first argument can be an option: '-' (on Windows also '/') and letters,\n"
    "in either case.  Every letter counts and other letters are ignored, so -help is\n"
    "-l -p: ask for this text with --help.\n";

const char kHelpRest[] =
    "  --help, -?  print this help (on Windows also /?)\n"
    "  --version   print the version\n"
    "  --          end of options: the next argument is the archive, even if it\n"
    "              starts with '-'\n"
    "\n"
    "Exit status: 0 no failure was reported; 1 a failure was reported (an \"error :\"\n"
    "line or a zlib code); 2 the usage lines were printed (no archive was given, or\n"
    "an unknown long option).\n"
    "\n"
    "Environment:\n"
    "  RAVELKIT_THREADS  number of worker threads; 1 = one thread, default: the CPUs\n"
    "                    this process may use, at most 16\n"
    "\n"
    "See ravelkit(1), or README.md beside ravelkit.exe.\n";

// Prints the usage lines.  Returns kExitUsage.
int Usage() {
    plat::WriteText(stdout, kUsage);
    return kExitUsage;
}

// Prints the help text on standard output.  Returns kExitOk.
int Help() {
    std::string text = std::string(kUsage) + "\nUnpacks a GPDA archive into a folder tree, one listing line per entry;\n"
                                             "with -p, packs the edited tree back into a new archive.\n\n" +
                       kHelpOptions;
    for (const Letter& l : kLetters) text += std::string("  -") + l.letter + "  " + l.help + "\n";
    plat::WriteText(stdout, text + kHelpRest);
    return kExitOk;
}

// Prints "ravelkit <version>".  Returns kExitOk.
int Version() {
    plat::WriteText(stdout, "ravelkit " RAVELKIT_VERSION "\n");
    return kExitOk;
}

// Reports a long option that does not exist.  Returns kExitUsage.
int UnknownOption(const std::string& option) {
    plat::WriteText(stdout, "error : unknown option " + option + "\n");
    return Usage();
}

// The requests of an option such as "-sr": every letter in kLetters counts,
// in either case; any other is ignored.
Letters ReadLetters(const std::string& option) {
    Letters letters;
    for (size_t i = 1; i < option.size(); ++i) {
        const int c = std::tolower(static_cast<unsigned char>(option[i]));
        for (const Letter& l : kLetters)
            if (c == l.letter) letters.*l.request = true;
    }
    return letters;
}

// Runs the mode the letters choose on the archive, printing its listing to
// standard output.  Returns the exit status.
int RunMode(const Letters& letters, const std::string& archive, const std::string& newArchive,
            const RunOptions& options) {
    ListingOutput out(stdout, stderr);
    const ListingStyle style = letters.json ? ListingStyle::kJson : ListingStyle::kText;
    uint64_t failures = 0;
    if (letters.pack) {
        PackLines lines(out, style);
        RunState state(&lines);
        Pack(archive, newArchive, options, state, &lines);
        failures = state.Failures();
    } else if (letters.list) {
        IndexLines lines(out, style);
        RunState state(&lines);
        List(archive, options, state, &lines);
        failures = state.Failures();
    } else {
        ExtractionLines lines(out, style);
        RunState state(&lines);
        if (letters.test)
            Test(archive, options, state, &lines);
        else
            Unpack(archive, options, state, &lines);
        failures = state.Failures();
    }
    return failures == 0 ? kExitOk : kExitFailure;
}

// Runs what the letters ask on args[arg] (the archive) and the arguments
// after it.  Returns the exit status.
int RunOnArchive(int argc, char** argv, std::vector<std::string> args, size_t arg, const Letters& letters) {
    // Where relative archive and destination paths lead: the working
    // directory, or on Windows the executable's folder.
    plat::EnterBaseFolder();
    if (letters.keepRawNames) {
        // The system's own code page from here on, the paths given included.
        plat::KeepSystemCodePageNames();
        args = plat::Arguments(argc, argv);
    }
    // Packing takes the destination and the new archive as well.
    if (arg >= args.size() || (letters.pack && arg + 2 >= args.size())) return Usage();
    RunOptions options;
    options.recurse = !letters.keepNested;
    options.convertGim = letters.convertGim;
    options.names = HostNameRules(letters.keepRawNames);
    options.destDir = arg + 1 < args.size() ? WithTrailingSeparator(args[arg + 1], options.names) : std::string();
    return RunMode(letters, args[arg], letters.pack ? args[arg + 2] : std::string(), options);
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    const std::vector<std::string> args = plat::Arguments(argc, argv);
    if (args.size() < 2) return Usage();
    const std::string& first = args[1];
    // A long option is a word, never a set of letters.
    if (first.compare(0, 2, "--") == 0) {
        if (first == "--help") return Help();
        if (first == "--version") return Version();
        if (first != "--") return UnknownOption(first);
        return RunOnArchive(argc, argv, args, 2, Letters());
    }
    if (!plat::IsOption(first.c_str())) return RunOnArchive(argc, argv, args, 1, Letters());
    if (first.size() == 2 && first[1] == '?') return Help();
    return RunOnArchive(argc, argv, args, 2, ReadLetters(first));
}

int FinishStandardOutput(int status) {
    // ferror covers every earlier print; fflush the lines still buffered.
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "error : cannot write standard output\n");
    return kExitFailure;
}
