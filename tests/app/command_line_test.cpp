#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

CommandLine Parse(std::vector<std::string> arguments) {
    CommandLine commandLine;
    std::string error;
    EXPECT_TRUE(ParseCommandLine(arguments, commandLine, error)) << error;
    return commandLine;
}

std::string Refuse(std::vector<std::string> arguments) {
    CommandLine commandLine;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(arguments, commandLine, error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << "the message is one line";
    return error;
}

TEST(CommandLine, NoArgumentsMeansRealDrives) {
    CommandLine commandLine = Parse({});
    EXPECT_EQ(commandLine.drives, CommandLine::Drives::Real);
    EXPECT_TRUE(commandLine.screenshot.empty());
}

TEST(CommandLine, ChoosesTheDrivesAndKeepsImagesInOrder) {
    EXPECT_EQ(Parse({"--demo"}).drives, CommandLine::Drives::Demo);
    CommandLine images =
        Parse({"--image", "a.cue", "--screenshot", "shot.png", "--image", "b.cue"});
    EXPECT_EQ(images.drives, CommandLine::Drives::Images);
    EXPECT_EQ(images.images, (std::vector<std::string>{"a.cue", "b.cue"}));
    EXPECT_EQ(images.screenshot, "shot.png");
    EXPECT_FALSE(images.analog);
    EXPECT_EQ(images.audioFile, "");
    EXPECT_TRUE(Parse({"--demo", "--analog"}).analog);
    EXPECT_EQ(Parse({"--audio-file", "out.wav"}).audioFile, "out.wav");
    EXPECT_FALSE(images.offline);
    EXPECT_TRUE(Parse({"--image", "a.cue", "--offline"}).offline);
    EXPECT_TRUE(images.deemphasis);
    EXPECT_FALSE(Parse({"--demo", "--no-deemphasis"}).deemphasis);
}

TEST(CommandLine, VersionAndHelp) {
    EXPECT_TRUE(Parse({"--version"}).showVersion);
    EXPECT_TRUE(Parse({"--help"}).showHelp);
    EXPECT_EQ(VersionText(), "discolo 1.0.12.0");
    EXPECT_NE(UsageText().find("--image FILE.cue"), std::string::npos);
}

TEST(CommandLine, RefusesBadArguments) {
    EXPECT_EQ(Refuse({"--image"}), "--image needs a file name");
    EXPECT_EQ(Refuse({"--screenshot", ""}), "--screenshot needs a file name");
    EXPECT_EQ(Refuse({"--loud"}), "unknown argument '--loud' (try --help)");
    EXPECT_EQ(Refuse({"disc.cue"}), "unknown argument 'disc.cue' (try --help)");
    EXPECT_EQ(Refuse({"--demo", "--image", "a.cue"}), "--demo and --image cannot be used together");
    EXPECT_EQ(Refuse({"--audio-file"}), "--audio-file needs a file name");
    EXPECT_EQ(Refuse({"--analog", "--audio-file", "out.wav"}),
              "--analog and --audio-file cannot be used together");
    EXPECT_EQ(Refuse({"--no-deemphasis", "--analog"}),
              "--analog and --no-deemphasis cannot be used together");
}

} // namespace
