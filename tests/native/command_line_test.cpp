#include "run/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool parse(std::vector<const char *> arguments, HostOptions &options, std::string &error)
{
    arguments.insert(arguments.begin(), "vishost");
    return parseCommandLine(static_cast<int>(arguments.size()), arguments.data(), options, error);
}

TEST(CommandLine, DefaultsRunModuleZeroOfTheDllBesideTheHost)
{
    HostOptions options;
    std::string error;
    ASSERT_TRUE(parse({}, options, error)) << error;
    EXPECT_TRUE(options.pluginPath.empty());
    EXPECT_EQ(options.modules, std::vector<int>{0});
    EXPECT_TRUE(options.soundFiles.empty());
    EXPECT_TRUE(options.captureFolder.empty());
    EXPECT_EQ(options.seconds, 0.0);
    EXPECT_FALSE(options.list || options.about || options.stats || options.mute || options.help);
}

TEST(CommandLine, EveryOptionIsRead)
{
    HostOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--plugin", "c:\\x\\p.dll", "--module", "1,0,1", "--wav", "a b.wav", "--seconds", "2.5",
                       "--capture", "out", "--stats", "--steady", "c.mp3", "list.m3u8"},
                      options, error))
        << error;
    EXPECT_EQ(options.pluginPath, "c:\\x\\p.dll");
    EXPECT_EQ(options.modules, (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(options.soundFiles, (std::vector<std::string>{"a b.wav", "c.mp3", "list.m3u8"})) << "in the order given";
    EXPECT_EQ(options.seconds, 2.5);
    EXPECT_EQ(options.captureFolder, "out");
    EXPECT_TRUE(options.stats);
    EXPECT_TRUE(options.steady);
    EXPECT_TRUE(options.mute) << "a steady run plays nothing";
}

struct BadLine {
    const char *name;
    std::vector<const char *> arguments;
    const char *mentions;
};

class CommandLineErrors : public ::testing::TestWithParam<BadLine> {};

TEST_P(CommandLineErrors, AreRefusedWithAReason)
{
    const BadLine &row = GetParam();
    HostOptions options;
    std::string error;
    EXPECT_FALSE(parse(row.arguments, options, error));
    EXPECT_NE(error.find(row.mentions), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineErrors,
    ::testing::Values(BadLine{"unknown", {"--fast"}, "unknown argument '--fast'"},
                      BadLine{"inputAndFile", {"--input", "mic", "a.mp3"}, "do not go together"},
                      BadLine{"inputSteady", {"--input", "--steady"}, "do not go together"},
                      BadLine{"stdinAndDevice", {"--stdin", "--input", "mic"}, "do not go together"},
                      BadLine{"stdinAndFile", {"--stdin", "a.mp3"}, "do not go together"},
                      BadLine{"stdinSteady", {"--stdin", "--steady"}, "do not go together"},
                      BadLine{"dashedFile", {"-a.mp3"}, "unknown argument '-a.mp3'"},
                      BadLine{"pluginWithoutPath", {"--plugin"}, "--plugin needs a value"},
                      BadLine{"emptyWav", {"--wav", ""}, "--wav needs a value"},
                      BadLine{"moduleWord", {"--module", "two"}, "not 'two'"},
                      BadLine{"moduleNegative", {"--module", "-1"}, "not '-1'"},
                      BadLine{"moduleTrailingComma", {"--module", "0,"}, "not '0,'"},
                      BadLine{"moduleHuge", {"--module", "99999999999999999999"}, "--module"},
                      BadLine{"moduleWithSuffix", {"--module", "1x"}, "not '1x'"},
                      BadLine{"secondsZero", {"--seconds", "0"}, "not '0'"},
                      BadLine{"secondsNegative", {"--seconds", "-3"}, "not '-3'"},
                      BadLine{"secondsWord", {"--seconds", "ten"}, "not 'ten'"},
                      BadLine{"secondsNan", {"--seconds", "nan"}, "not 'nan'"},
                      BadLine{"secondsTooMany", {"--seconds", "1e9"}, "at most 86400"},
                      BadLine{"listAndAbout", {"--list", "--about"}, "do not go together"},
                      BadLine{"listInputsAndList", {"--list-inputs", "--list"}, "do not go together"}),
    [](const ::testing::TestParamInfo<BadLine> &row) { return std::string(row.param.name); });

}  // namespace
