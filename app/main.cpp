// discolo: parses the command line; the player window joins it once it is built.
#include "app/command_line.h"

#include <cstdio>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLine commandLine;
    std::string error;
    if (!ParseCommandLine(arguments, commandLine, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (commandLine.showHelp) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (commandLine.showVersion) {
        std::puts(VersionText().c_str());
        return 0;
    }
    std::puts("discolo: the player window is not built yet.");
    return 0;
}
