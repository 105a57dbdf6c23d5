// ravelkit: unpacks one "GPDA" archive into a folder tree.
#include "app/cli.h"

int main(int argc, char** argv) { return RunCommandLine(argc, argv); }
