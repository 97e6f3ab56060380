// The host's sample path: which frames the vis gets, and how each sample
// becomes one signed byte.
#include "sound/stream/sample_window.h"

#include "numbered_frames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct Conversion {
    const char *name;
    int bytesPerSample;
    std::vector<unsigned char> littleEndian;
    int expected;
};

class MostSignificantByte : public ::testing::TestWithParam<Conversion> {};

TEST_P(MostSignificantByte, GivesTheTopByteAsSigned)
{
    const Conversion &row = GetParam();
    EXPECT_EQ(mostSignificantByte(row.littleEndian.data(), row.bytesPerSample), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, MostSignificantByte,
    ::testing::Values(
        // 8-bit samples are unsigned around 128.
        Conversion{"u8Silence", 1, {0x80}, 0}, Conversion{"u8Lowest", 1, {0x00}, -128},
        Conversion{"u8Highest", 1, {0xFF}, 127}, Conversion{"u8JustBelowSilence", 1, {0x7F}, -1},
        Conversion{"s16Highest", 2, {0xFF, 0x7F}, 127}, Conversion{"s16Lowest", 2, {0x00, 0x80}, -128},
        Conversion{"s16MinusOne", 2, {0xFF, 0xFF}, -1}, Conversion{"s16LowByteOnly", 2, {0xFF, 0x00}, 0},
        Conversion{"s16One256th", 2, {0x00, 0x01}, 1}, Conversion{"s16Minus256", 2, {0x00, 0xFF}, -1},
        Conversion{"s16LowestPlusLowByte", 2, {0xFF, 0x80}, -128},
        Conversion{"s24Highest", 3, {0xFF, 0xFF, 0x7F}, 127}, Conversion{"s24Lowest", 3, {0x00, 0x00, 0x80}, -128},
        Conversion{"s24MinusOne", 3, {0xFF, 0xFF, 0xFF}, -1}, Conversion{"s24LowBytesOnly", 3, {0xFF, 0xFF, 0x00}, 0},
        Conversion{"s24Top", 3, {0x12, 0x34, 0x56}, 0x56}),
    [](const ::testing::TestParamInfo<Conversion> &row) { return std::string(row.param.name); });

// The window's samples by hand: from index `from` on, the frames count up
// from `frame` (-1: silence), until the next run begins.
struct Run {
    int from;
    long long frame;
};

struct Window {
    const char *name;
    long long frameCount;  // of the ring
    long long frameEnd;
    std::vector<Run> runs;
};

class NewestFrames : public ::testing::TestWithParam<Window> {};

TEST_P(NewestFrames, AreTheFramesJustBeforeTheEnd)
{
    const Window &row = GetParam();
    for (int bytesPerSample : {1, 2, 3}) {
        const std::vector<unsigned char> bytes = numberedFrames(0, row.frameCount, 2, bytesPerSample);
        const PcmBlock block{bytes.data(), row.frameCount, 2, bytesPerSample};
        signed char waveform[2][576];
        std::memset(waveform, 0x55, sizeof waveform);
        ASSERT_EQ(fillWaveform(block, row.frameEnd, waveform), 2);
        std::size_t run = 0;
        for (int i = 0; i < 576; ++i) {
            if (run + 1 < row.runs.size() && row.runs[run + 1].from == i) ++run;
            const long long frame = row.runs[run].frame;
            const int left = frame < 0 ? 0 : leftOf(frame + i - row.runs[run].from);
            ASSERT_EQ(waveform[0][i], left) << "index " << i << ", " << bytesPerSample << " bytes a sample";
            ASSERT_EQ(waveform[1][i], -left) << "index " << i << ", " << bytesPerSample << " bytes a sample";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Positions, NewestFrames,
    ::testing::Values(Window{"middle", 5000, 3000, {{0, 2424}}}, Window{"beforeTheStart", 5000, 0, {{0, -1}}},
                      Window{"justAfterTheStart", 5000, 100, {{0, -1}, {476, 0}}},
                      Window{"exactlyTheFirst576", 5000, 576, {{0, 0}}}, Window{"atTheEnd", 5000, 5000, {{0, 4424}}},
                      Window{"wrapsToTheStart", 5000, 5100, {{0, 4524}, {476, 0}}},
                      Window{"manyTimesOver", 5000, 5000 * 7 + 17, {{0, 4441}, {559, 0}}},
                      Window{"ringShorterThanAWindow", 300, 400, {{0, -1}, {176, 0}, {476, 0}}}),
    [](const ::testing::TestParamInfo<Window> &row) { return std::string(row.param.name); });

TEST(NewestFramesMono, FillBothRowsAlikeAndReportOneChannel)
{
    const std::vector<unsigned char> bytes = numberedFrames(0, 2000, 1, 2);
    const PcmBlock block{bytes.data(), 2000, 1, 2};
    signed char waveform[2][576];
    ASSERT_EQ(fillWaveform(block, 1500, waveform), 1);
    for (int i = 0; i < 576; ++i) {
        ASSERT_EQ(waveform[0][i], leftOf(1500 - 576 + i)) << i;
        ASSERT_EQ(waveform[1][i], waveform[0][i]) << i;
    }
}

TEST(NewestFramesEmpty, RingWithoutFramesGivesSilence)
{
    const unsigned char none[1] = {};
    const PcmBlock block{none, 0, 2, 2};
    signed char waveform[2][576];
    std::memset(waveform, 0x55, sizeof waveform);
    fillWaveform(block, 1000, waveform);
    for (int i = 0; i < 576; ++i) ASSERT_EQ(waveform[0][i] | waveform[1][i], 0) << i;
}

TEST(PlayPosition, ClockTicksBecomeFrames)
{
    EXPECT_EQ(framesInTicks(0, 10000000, 44100), 0);
    EXPECT_EQ(framesInTicks(-5, 10000000, 44100), 0);
    EXPECT_EQ(framesInTicks(10000000, 10000000, 44100), 44100);
    EXPECT_EQ(framesInTicks(250000, 10000000, 44100), 1102);  // 25 ms: 1102.5 frames, the half not yet played
    // A week of a 10 MHz clock: ticks x rate alone would pass 2^63.
    const long long week = 7LL * 24 * 3600;
    EXPECT_EQ(framesInTicks(week * 10000000 + 5000000, 10000000, 192000), week * 192000 + 96000);
}

TEST(PlayPosition, LatencyLooksAhead)
{
    EXPECT_EQ(newestFrameEnd(1000, 25, 44100), 1000 + 1102);
    EXPECT_EQ(newestFrameEnd(0, 25, 8000), 200);
    EXPECT_EQ(newestFrameEnd(500, 0, 8000), 500);
}

}  // namespace
