// The formats the host reads, and what its ring keeps of them: 32-bit float
// samples become the 16-bit ones the sample path and the sound device take
// (rounded, clipped at full scale, NaN as silence), integers their top bytes.
#include "sound/files/pcm_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

TEST(FloatSamples, BecomeRoundedClippedSixteenBitOnes)
{
    const float in[] = {0.0f, 0.5f, -0.5f, 0.25f / 32768, -0.75f / 32768, 1.0f, -1.0f, 3.0f, -1e9f,
                        std::numeric_limits<float>::quiet_NaN()};
    const int expected[] = {0, 16384, -16384, 0, -1, 32767, -32768, 32767, -32768, 0};
    unsigned char bytes[sizeof in];
    std::memcpy(bytes, in, sizeof in);
    ASSERT_EQ(toRingFormat(bytes, 10, PcmFormat{false, 1, 44100, 32, 4, true}), 20);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(static_cast<short>(bytes[2 * i] | bytes[2 * i + 1] << 8), expected[i]) << "sample " << i;
}

struct FormatRow {
    const char *name;
    PcmFormat format;
    bool playable;
};

class WavFormats : public ::testing::TestWithParam<FormatRow> {};

TEST_P(WavFormats, PlayableOrSaysWhy)
{
    const FormatRow &row = GetParam();
    const char *problem = pcmFormatProblem(row.format);
    if (row.playable)
        EXPECT_EQ(problem, nullptr) << problem;
    else
        EXPECT_NE(problem, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavFormats,
    ::testing::Values(FormatRow{"cd", {true, 2, 44100, 16, 4}, true}, FormatRow{"mono8", {true, 1, 8000, 8, 1}, true},
                      FormatRow{"stereo24", {true, 2, 96000, 24, 6}, true},
                      FormatRow{"oneHertz", {true, 1, 1, 16, 2}, true},
                      FormatRow{"float32", {false, 2, 44100, 32, 8, true}, true},
                      FormatRow{"float64", {false, 2, 44100, 64, 16, true}, false},
                      FormatRow{"notPcm", {false, 2, 44100, 16, 4}, false},
                      FormatRow{"noChannels", {true, 0, 44100, 16, 0}, false},
                      FormatRow{"threeChannels", {true, 3, 44100, 16, 6}, true},
                      FormatRow{"sixChannels24", {true, 6, 48000, 24, 18}, true},
                      FormatRow{"twelveBits", {true, 2, 44100, 12, 4}, false},
                      FormatRow{"thirtyTwoBits", {true, 2, 44100, 32, 8}, true},
                      FormatRow{"zeroRate", {true, 2, 0, 16, 4}, false},
                      FormatRow{"absurdRate", {true, 2, 4000000000LL, 16, 4}, false},
                      FormatRow{"blockTooSmall", {true, 2, 44100, 16, 2}, false},
                      FormatRow{"blockTooLarge", {true, 1, 44100, 24, 4}, false}),
    [](const ::testing::TestParamInfo<FormatRow> &row) { return std::string(row.param.name); });

// Frame f's channel c holds the bytes 16f+4c+1.., so that where each
// kept byte came from shows.
struct RingRow {
    const char *name;
    int channels, bitsPerSample;
    int ringChannels, ringBytes;
    std::vector<int> firstFrame;  // the bytes frame 0 becomes; frame 1 is 16 more each
};

class RingFormats : public ::testing::TestWithParam<RingRow> {};

TEST_P(RingFormats, KeepTheFrontPairAndTheTopBytes)
{
    const RingRow &row = GetParam();
    const int sampleBytes = row.bitsPerSample / 8;
    const PcmFormat format{true, row.channels, 48000, row.bitsPerSample, row.channels * sampleBytes};
    std::vector<unsigned char> bytes;
    for (int f = 0; f < 2; ++f)
        for (int c = 0; c < row.channels; ++c)
            for (int b = 0; b < sampleBytes; ++b) bytes.push_back(static_cast<unsigned char>(16 * f + 4 * c + b + 1));
    const RingFormat ring = ringFormatOf(format);
    EXPECT_EQ(ring.channels, row.ringChannels);
    EXPECT_EQ(ring.bytesPerSample, row.ringBytes);
    const long long size = toRingFormat(bytes.data(), 2, format);
    ASSERT_EQ(size, 2 * static_cast<long long>(row.firstFrame.size()));
    for (int f = 0; f < 2; ++f)
        for (size_t i = 0; i < row.firstFrame.size(); ++i)
            EXPECT_EQ(bytes[f * row.firstFrame.size() + i], row.firstFrame[i] + 16 * f)
                << "frame " << f << " byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RingFormats,
    ::testing::Values(RingRow{"stereo16AsItIs", 2, 16, 2, 2, {1, 2, 5, 6}},
                      RingRow{"sixChannels16", 6, 16, 2, 2, {1, 2, 5, 6}},
                      RingRow{"threeChannels24", 3, 24, 2, 3, {1, 2, 3, 5, 6, 7}},
                      RingRow{"stereo32", 2, 32, 2, 2, {3, 4, 7, 8}},
                      RingRow{"mono32", 1, 32, 1, 2, {3, 4}}),
    [](const ::testing::TestParamInfo<RingRow> &row) { return std::string(row.param.name); });

}  // namespace
