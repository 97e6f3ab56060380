// Where the host's sound comes from: a file named on the command line or a
// recording device, and 32-bit floating-point WAV samples made into the
// 16-bit ones every later step takes.
#include "command_line.h"
#include "sample_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

bool parse(std::vector<const char *> arguments, HostOptions &options, std::string &error)
{
    arguments.insert(arguments.begin(), "vishost");
    return parseCommandLine(static_cast<int>(arguments.size()), arguments.data(), options, error);
}

struct SourceLine {
    std::vector<const char *> arguments;
    const char *soundFile;
    bool input;
    const char *inputName;
    const char *refusal;  // null: accepted
};

TEST(SoundSourceOptions, NameAFileOrARecordingDevice)
{
    const SourceLine rows[] = {
        {{"song.mp3", "--stats"}, "song.mp3", false, "", nullptr},
        {{"--wav", "old.wav"}, "old.wav", false, "", nullptr},
        {{"--input"}, "", true, "", nullptr},
        {{"--input", "Monitor of", "--seconds", "3"}, "", true, "Monitor of", nullptr},
        {{"--input", "--stats"}, "", true, "", nullptr},  // an option is not a device name
        {{"--input", "mic", "song.mp3"}, "", false, "", "--input and a sound file do not go together"},
        {{"--list-inputs", "--list"}, "", false, "", "do not go together"},
        {{"-x.mp3"}, "", false, "", "unknown argument '-x.mp3'"},
    };
    for (const SourceLine &row : rows) {
        HostOptions options;
        std::string error;
        const bool accepted = parse(row.arguments, options, error);
        ASSERT_EQ(accepted, row.refusal == nullptr) << row.arguments[0] << ": " << error;
        if (!accepted) {
            EXPECT_NE(error.find(row.refusal), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(options.soundFile, row.soundFile);
        EXPECT_EQ(options.input, row.input);
        EXPECT_EQ(options.inputName, row.inputName);
    }
}

TEST(FloatSamples, BecomeRoundedClippedSixteenBitOnes)
{
    const float in[] = {0.0f, 0.5f, -0.5f, 0.25f / 32768, 1.0f, -1.0f, 3.0f, -1e9f,
                        std::numeric_limits<float>::quiet_NaN(), -0.75f / 32768};
    const int expected[] = {0, 16384, -16384, 0, 32767, -32768, 32767, -32768, 0, -1};
    constexpr int count = sizeof in / sizeof in[0];
    unsigned char bytes[count * 4];
    std::memcpy(bytes, in, sizeof in);
    ASSERT_EQ(floatSamplesToPcm16(bytes, count), count * 2);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(static_cast<short>(bytes[2 * i] | bytes[2 * i + 1] << 8), expected[i]) << "sample " << i;
}

TEST(FloatSamples, PlayOnlyAsThirtyTwoBitFloats)
{
    PcmFormat format{false, 2, 44100, 32, 8, true};
    EXPECT_EQ(pcmFormatProblem(format), nullptr);
    format = PcmFormat{false, 2, 44100, 64, 16, true};
    EXPECT_NE(pcmFormatProblem(format), nullptr) << "64-bit floats";
    format = PcmFormat{false, 1, 44100, 32, 8, true};
    EXPECT_NE(pcmFormatProblem(format), nullptr) << "a block size that does not match";
}

}  // namespace
