// The command line of discolo: which drives the player sees, and the one-shot options.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CommandLine {
    enum class Drives { Real, Demo, Images };
    Drives drives = Drives::Real;
    std::vector<std::string> images; // one virtual drive per CUE sheet, in the order given
    std::string screenshot;          // empty: run until the window closes
    bool analog = false;             // the drives play on their own audio path (no digital play)
    std::string audioFile;           // the digital play's sound goes to this WAV file; empty: the
                                     // sound card
    bool offline = false;   // no network request: discs without CD-Text get only cached names
    bool deemphasis = true; // the digital play de-emphasises discs flagged for pre-emphasis
    bool showVersion = false;
    bool showHelp = false;
};

// Parses the arguments after the program name. On a bad argument returns false with the reason
// in one line in error (the program prints it and exits 2).
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error);

std::string UsageText();

// The line the program prints on standard error for a reason it stops or a notice (no newline):
// the reason after the program's name, "discolo: --image needs a file name". The one place that
// names the program in a message; the libraries give the reasons alone.
std::string ProgramLine(const std::string& reason);
std::string VersionText();

// What main() does first with its arguments: a bad one is told on standard error (exit code 2),
// --help and --version print their text on standard output (exit code 0). Returns the exit code
// when the program ends here, nullopt when it goes on with `commandLine`.
std::optional<int> ReadCommandLine(int argc, char** argv, CommandLine& commandLine);
