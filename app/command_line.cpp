// Parsing of discolo's few options. The player itself keeps no settings; these only choose the
// drives it sees and whether it leaves a picture and exits.
#include "app/command_line.h"

#include <cstdio>

namespace {

constexpr char kProgram[] = "discolo";

} // namespace

std::string ProgramLine(const std::string& reason) {
    return std::string(kProgram) + ": " + reason;
}

std::string VersionText() {
    return std::string(kProgram) + " " + DISCOLO_VERSION;
}

std::string UsageText() {
    // The GNU layout (one usage line, "or:" for another form, an "Options:" heading), which
    // help2man turns into the manual page's synopsis and options. The Windows build reads no CUE
    // sheets and looks no disc up, so it has neither --image nor --offline.
#ifdef _WIN32
    return "Usage: discolo [--demo] [--analog | --audio-file FILE] [--no-deemphasis] "
           "[--screenshot FILE]\n"
           "  or:  discolo --version | --help\n"
           "\n"
           "Plays audio CDs in the CD-ROM drives of this computer.\n"
           "\n"
           "Options:\n"
           "  --demo             play the built-in demo discs on a virtual bus of drives\n"
           "  --analog           let the drives play on their own audio path (no digital "
           "play)\n"
           "  --audio-file FILE  send the sound to FILE (WAV) instead of the sound card\n"
           "  --no-deemphasis    play discs flagged for pre-emphasis as they are, unfiltered\n"
           "  --screenshot FILE  run for two seconds, save a picture of the window to FILE (PNG,\n"
           "                     or BMP for a name ending in .bmp), exit\n"
           "  --version          print the version and exit\n"
           "  --help             print this text and exit\n";
#else
    return "Usage: discolo [--demo | --image FILE.cue ...] [--analog | --audio-file FILE] "
           "[--no-deemphasis] [--offline] [--screenshot FILE]\n"
           "  or:  discolo --version | --help\n"
           "\n"
           "Plays audio CDs in the CD-ROM drives of this computer.\n"
           "\n"
           "Options:\n"
           "  --demo             play the built-in demo discs on a virtual bus of drives\n"
           "  --image FILE.cue   one virtual drive holding the disc of this CUE sheet (may "
           "repeat)\n"
           "  --analog           let the drives play on their own audio path (no digital "
           "play)\n"
           "  --audio-file FILE  send the sound to FILE (WAV) instead of the sound card\n"
           "  --no-deemphasis    play discs flagged for pre-emphasis as they are, unfiltered\n"
           "  --offline          look no disc up in MusicBrainz (names found before still show)\n"
           "  --screenshot FILE  run for two seconds, save a picture of the window to FILE, exit\n"
           "  --version          print the version and exit\n"
           "  --help             print this text and exit\n";
#endif
}

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error) {
    commandLine = CommandLine{};
    bool demo = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                error = argument + " needs a file name";
                return false;
            }
            into = arguments[++i];
            return true;
        };
        if (argument == "--demo") {
            demo = true;
#ifndef _WIN32
        } else if (argument == "--image") {
            std::string image;
            if (!value(image)) {
                return false;
            }
            commandLine.images.push_back(image);
#endif
        } else if (argument == "--screenshot") {
            if (!value(commandLine.screenshot)) {
                return false;
            }
        } else if (argument == "--analog") {
            commandLine.analog = true;
        } else if (argument == "--audio-file") {
            if (!value(commandLine.audioFile)) {
                return false;
            }
        } else if (argument == "--no-deemphasis") {
            commandLine.deemphasis = false;
#ifndef _WIN32
        } else if (argument == "--offline") {
            commandLine.offline = true;
#endif
        } else if (argument == "--version") {
            commandLine.showVersion = true;
        } else if (argument == "--help" || argument == "-h") {
            commandLine.showHelp = true;
        } else {
            error = "unknown argument '" + argument + "' (try --help)";
            return false;
        }
    }
    if (demo && !commandLine.images.empty()) {
        error = "--demo and --image cannot be used together";
        return false;
    }
    if (commandLine.analog && !commandLine.audioFile.empty()) {
        error = "--analog and --audio-file cannot be used together";
        return false;
    }
    if (commandLine.analog && !commandLine.deemphasis) {
        // The drive's own output always de-emphasises: there is nothing to turn off.
        error = "--analog and --no-deemphasis cannot be used together";
        return false;
    }
    if (demo) {
        commandLine.drives = CommandLine::Drives::Demo;
    } else if (!commandLine.images.empty()) {
        commandLine.drives = CommandLine::Drives::Images;
    }
    return true;
}

std::optional<int> ReadCommandLine(int argc, char** argv, CommandLine& commandLine) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    if (!ParseCommandLine(arguments, commandLine, error)) {
        std::fprintf(stderr, "%s\n", ProgramLine(error).c_str());
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
    return std::nullopt;
}
