// 32-bit float WAV samples become the 16-bit ones the sample path and the
// sound device take: rounded, clipped at full scale, NaN as silence.
#include "sound/sample_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

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

}  // namespace
