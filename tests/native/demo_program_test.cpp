// The built-in program: each passage must show the vis what its name says,
// measured on the top bytes the vis gets.
#include "sound/files/demo_program.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class DemoProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        bytes.assign(static_cast<size_t>(demoFrameCount * 4), 0xEE);
        writeDemoProgram(bytes.data());
    }
    static std::vector<unsigned char> bytes;

    static int sample(long long frame, int channel)
    {
        const unsigned char *at = &bytes[static_cast<size_t>(frame * 4 + channel * 2)];
        return static_cast<short>(at[0] | at[1] << 8);
    }
    static long long frameAt(double seconds) { return static_cast<long long>(seconds * demoSampleRate); }

    // Mean magnitude of the vis's signed bytes over [from, to) seconds.
    static double meanTopByte(int channel, double from, double to)
    {
        double sum = 0;
        for (long long f = frameAt(from); f < frameAt(to); ++f) sum += std::abs(sample(f, channel) >> 8);
        return sum / static_cast<double>(frameAt(to) - frameAt(from));
    }
    static int largestTopByte(int channel, double from, double to)
    {
        int largest = 0;
        for (long long f = frameAt(from); f < frameAt(to); ++f) {
            const int top = std::abs(sample(f, channel) >> 8);
            if (top > largest) largest = top;
        }
        return largest;
    }
    // Sign changes per second: twice the frequency of a pure tone.
    static double crossingsPerSecond(int channel, double from, double to)
    {
        int crossings = 0;
        for (long long f = frameAt(from) + 1; f < frameAt(to); ++f)
            if ((sample(f - 1, channel) < 0) != (sample(f, channel) < 0)) ++crossings;
        return crossings / (to - from);
    }
};
std::vector<unsigned char> DemoProgram::bytes;

TEST_F(DemoProgram, SectionsFollowEachOtherWithoutGaps)
{
    EXPECT_EQ(demoSections[0].start, 0.0);
    for (size_t i = 1; i < sizeof demoSections / sizeof demoSections[0]; ++i)
        EXPECT_EQ(demoSections[i].start, demoSections[i - 1].end) << i;
    EXPECT_EQ(static_cast<long long>(demoSections[5].end * demoSampleRate), demoFrameCount);
}

TEST_F(DemoProgram, SilenceIsExactlyZero)
{
    for (long long f = 0; f < frameAt(0.5); ++f) ASSERT_EQ(sample(f, 0) | sample(f, 1), 0) << f;
    for (long long f = frameAt(9.5); f < demoFrameCount; ++f) ASSERT_EQ(sample(f, 0) | sample(f, 1), 0) << f;
}

TEST_F(DemoProgram, QuietPassageMovesTheNeedleALittle)
{
    for (int channel : {0, 1}) {
        // Levels from the meter's own scale: 10 log10 of the mean magnitude,
        // with the needle on its lower stop below -4.5 dB and pinned above 20.4 dB.
        const double level = 10 * std::log10(meanTopByte(channel, 0.6, 1.9));
        EXPECT_GT(level, -4.0) << channel;
        EXPECT_LT(level, 8.0) << channel;
        EXPECT_LE(largestTopByte(channel, 0.6, 1.9), 8) << channel;
    }
}

TEST_F(DemoProgram, LoudPassageSwingsTheNeedleFarWithoutClipping)
{
    for (int channel : {0, 1}) {
        const double level = 10 * std::log10(meanTopByte(channel, 2.1, 3.4));
        EXPECT_GT(level, 15.0) << channel;
        EXPECT_LT(level, 20.4) << channel;
        EXPECT_LT(largestTopByte(channel, 2.1, 3.4), 128) << channel;
    }
}

TEST_F(DemoProgram, LeftToneRisesAndRightToneFalls)
{
    // Four octaves over the sweep: from 110 Hz to 1760 Hz and back down.
    const double leftStart = crossingsPerSecond(0, 3.6, 3.9), leftEnd = crossingsPerSecond(0, 6.6, 6.9);
    const double rightStart = crossingsPerSecond(1, 3.6, 3.9), rightEnd = crossingsPerSecond(1, 6.6, 6.9);
    EXPECT_GT(leftEnd, 8 * leftStart);
    EXPECT_GT(rightStart, 8 * rightEnd);
    EXPECT_NEAR(leftStart / 2, 130, 40);
    EXPECT_NEAR(rightEnd / 2, 130, 40);
    // The rising tone swells as the falling one fades.
    EXPECT_GT(meanTopByte(0, 6.5, 6.9), 3 * meanTopByte(0, 3.6, 4.0));
    EXPECT_GT(meanTopByte(1, 3.6, 4.0), 3 * meanTopByte(1, 6.5, 6.9));
}

TEST_F(DemoProgram, BurstsComeOnEachSideInTurn)
{
    // Each quarter second a burst starts on one side while the other is silent.
    for (int burst = 0; burst < 10; ++burst) {
        const double start = 7.0 + 0.25 * burst;
        const int loud = burst % 2, quiet = 1 - burst % 2;
        EXPECT_GT(largestTopByte(loud, start + 0.01, start + 0.05), 50) << burst;
        EXPECT_EQ(largestTopByte(quiet, start + 0.01, start + 0.24), 0) << burst;
        EXPECT_LT(meanTopByte(loud, start + 0.2, start + 0.24), meanTopByte(loud, start + 0.01, start + 0.05) / 10)
            << "burst " << burst << " decays";
    }
}

// A target that takes a given number of frames, then says stop: the run
// ending (why empty) or a failure (why set), as the decoder thread's ring does.
struct CountingTarget {
    int sampleRate = 0, channels = 0, bitsPerSample = 0;
    long long taken = 0, stopAfter = 0;
    std::string failure;  // given as why once stopAfter frames are taken; empty: the run ends
    std::string formatFailure;
    std::vector<unsigned char> firstBytes;
};

bool takeFormat(void *context, int sampleRate, int channels, int bitsPerSample, std::string &why)
{
    auto &target = *static_cast<CountingTarget *>(context);
    target.sampleRate = sampleRate;
    target.channels = channels;
    target.bitsPerSample = bitsPerSample;
    why = target.formatFailure;
    return why.empty();
}

bool takeFrames(void *context, const unsigned char *frames, long long count, std::string &why)
{
    auto &target = *static_cast<CountingTarget *>(context);
    if (target.firstBytes.empty()) target.firstBytes.assign(frames, frames + count * 4);
    if (target.taken >= target.stopAfter) {
        why = target.failure;
        return false;
    }
    target.taken += count;
    return true;
}

TEST_F(DemoProgram, DecodesAgainAndAgainUntilTheTargetSaysStop)
{
    const SoundEntry entry{std::wstring(), "the built-in program"};
    struct Row {
        const char *formatFailure, *failure;
        long long stopAfter;
        bool decoded;
        const char *error;
    } rows[] = {
        {"", "", 3 * demoFrameCount, true, ""},
        {"", "no room", 0, false, "no room"},
        {"no memory", "", 0, false, "'the built-in program': no memory"},
    };
    for (const Row &row : rows) {
        CountingTarget counted;
        counted.stopAfter = row.stopAfter;
        counted.failure = row.failure;
        counted.formatFailure = row.formatFailure;
        DecodeTarget target;
        target.context = &counted;
        target.format = takeFormat;
        target.frames = takeFrames;
        EXPECT_EQ(decodeDemoProgram(entry, target), row.decoded) << row.error;
        EXPECT_EQ(target.error, row.error);
        EXPECT_EQ(counted.sampleRate, 44100);
        EXPECT_EQ(counted.channels, 2);
        EXPECT_EQ(counted.bitsPerSample, 16);
        EXPECT_EQ(target.framesGiven, counted.taken) << row.error;
        if (row.decoded) {
            EXPECT_EQ(counted.taken, 3 * demoFrameCount) << "the whole program, three times";
            ASSERT_EQ(counted.firstBytes.size(), bytes.size());
            EXPECT_EQ(counted.firstBytes, bytes) << "the program as written, unchanged";
        }
    }
}

}  // namespace
