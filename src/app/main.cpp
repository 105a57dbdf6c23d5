// ravelkit: unpacks one "GPDA" archive into a folder tree.
#include "app/cli.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    plat::RemoveOutputOnInterrupt();
    return FinishStandardOutput(RunCommandLine(argc, argv));
}
