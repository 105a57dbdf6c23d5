// ravelkit: unpacks one "GPDA" archive into a folder tree.
#include "app/cli.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    plat::RemoveOutputOnInterrupt();
    const int status = FinishStandardOutput(RunCommandLine(argc, argv));
    plat::WaitForKeyIfConsoleIsOwn();  // a console window of its own stays open until then
    return status;
}
