// The scope module's render, driven in this process on state set up the way
// init leaves it, compared pixel by pixel with pictures the test builds.
#include "expected_frames.h"
#include "frame_pictures.h"
#include "platform_calls.h"
#include "render_stage.h"

#include "render/renderers.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

class ScopeRender : public ::testing::Test {
protected:
    int render() { return renderScope(module.get()); }
    Picture window() const { return stage.readWindow(); }
    static RECT frame() { return {0, 0, 576, 512}; }

    RenderStage stage{576, 512, 576, 512};
    GuardedModule module;
};

TEST_F(ScopeRender, SilenceOnTwoChannelsGivesRows128And384)
{
    EXPECT_EQ(render(), 0);
    Picture expected = scopeOutline();
    for (int x = 0; x < 576; ++x) expected.at(x, 128) = expected.at(x, 384) = black;
    EXPECT_TRUE(samePixels(window(), expected, frame()));
}

TEST_F(ScopeRender, OneChannelDrawsRowZeroInTheUpperBandOnly)
{
    module->channelCount = 1;
    for (int i = 0; i < 576; ++i) {
        module->waveform[0][i] = static_cast<signed char>((i * 7) % 256 - 128);
        module->waveform[1][i] = static_cast<signed char>(100 - i % 50);
    }
    EXPECT_EQ(render(), 0);
    std::vector<Line> lines;
    addScopeTrace(lines, 0, module->waveform[0]);
    const Picture got = window();
    EXPECT_TRUE(samePixels(got, drawBlackOnWhite(576, 512, lines), frame()));
    // Neither centred nor stretched: rows 256-510 stay white inside the outline.
    Picture lowerHalf = scopeOutline();
    EXPECT_TRUE(samePixels(got, lowerHalf, {0, 256, 576, 512}));
}

TEST_F(ScopeRender, FullScaleAlternationSpansEachBandBetweenNeighbouringColumns)
{
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 576; ++i) module->waveform[c][i] = static_cast<signed char>(i % 2 ? 127 : -128);
    EXPECT_EQ(render(), 0);
    std::vector<Line> lines;
    addScopeTrace(lines, 0, module->waveform[0]);
    addScopeTrace(lines, 256, module->waveform[1]);
    const Picture got = window();
    EXPECT_TRUE(samePixels(got, drawBlackOnWhite(576, 512, lines), frame()));
    // Every row of both bands is crossed between columns 10 and 11.
    for (int y = 0; y < 512; ++y)
        EXPECT_TRUE(got.at(10, y) == black || got.at(11, y) == black) << "row " << y;
}

TEST_F(ScopeRender, ExtremesLieOnTheBandsTopAndBottomRows)
{
    // First half -128, second half +127, in both rows.
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 576; ++i) module->waveform[c][i] = static_cast<signed char>(i < 288 ? -128 : 127);
    EXPECT_EQ(render(), 0);
    const Picture got = window();
    std::vector<Line> lines;
    addScopeTrace(lines, 0, module->waveform[0]);
    addScopeTrace(lines, 256, module->waveform[1]);
    EXPECT_TRUE(samePixels(got, drawBlackOnWhite(576, 512, lines), frame()));
    for (int x = 1; x < 287; ++x) {
        EXPECT_EQ(got.at(x, 256), black) << "channel 1's top row, column " << x;
        EXPECT_EQ(got.at(x, 1), white) << "column " << x;
    }
    for (int x = 289; x < 575; ++x) {
        EXPECT_EQ(got.at(x, 255), black) << "channel 0's bottom row, column " << x;
        EXPECT_EQ(got.at(x, 510), white) << "channel 1's bottom row is the outline's, 511; column " << x;
    }
}

class ScopeNoTrace : public ScopeRender, public ::testing::WithParamInterface<int> {};

TEST_P(ScopeNoTrace, OnlyTheOutlineIsCopied)
{
    module->channelCount = GetParam();
    module.fillRow(0, 50);
    module.fillRow(1, -50);
    stage.fill(0x123456);
    EXPECT_EQ(render(), 0);
    EXPECT_TRUE(samePixels(window(), scopeOutline(), frame()));
}

INSTANTIATE_TEST_SUITE_P(Table, ScopeNoTrace, ::testing::Values(0, -1, INT_MIN));

// More channels than rows: the two rows are drawn as for two channels, and
// nothing past them is read (the record ends where readable memory ends).
class ScopeManyChannels : public ScopeRender, public ::testing::WithParamInterface<int> {};

TEST_P(ScopeManyChannels, DrawsTheTwoRowsAsForTwoChannels)
{
    module->channelCount = GetParam();
    for (int i = 0; i < 576; ++i) {
        module->waveform[0][i] = static_cast<signed char>(i % 97 - 48);
        module->waveform[1][i] = static_cast<signed char>(60 - i % 121);
    }
    EXPECT_EQ(render(), 0);
    std::vector<Line> lines;
    addScopeTrace(lines, 0, module->waveform[0]);
    addScopeTrace(lines, 256, module->waveform[1]);
    EXPECT_TRUE(samePixels(window(), drawBlackOnWhite(576, 512, lines), frame()));
}

INSTANTIATE_TEST_SUITE_P(Table, ScopeManyChannels, ::testing::Values(3, 4, 33, INT_MAX));

TEST_F(ScopeRender, WithoutTheWindowTheFrameStillGoesIntoTheBackBuffer)
{
    stage.destroyWindow();
    EXPECT_EQ(render(), 0);
    Picture expected = scopeOutline();
    for (int x = 0; x < 576; ++x) expected.at(x, 128) = expected.at(x, 384) = black;
    const Picture backBufferPicture = stage.readBackBuffer();
    EXPECT_TRUE(samePixels(backBufferPicture, expected, frame()));
}

TEST_F(ScopeRender, FrameBorrowsOnlyTheWindowsDeviceContextAndAllocatesNothing)
{
    PlatformCallCounter counter(GetModuleHandleA(nullptr));
    module.fillRow(0, 20);
    counter.start();
    EXPECT_EQ(render(), 0);
    const PlatformCalls calls = counter.stop();
    EXPECT_EQ(calls.getDC, 1);
    EXPECT_EQ(calls.releaseDC, 1);
    EXPECT_EQ(calls.bitBlt, 1);
    EXPECT_EQ(calls.createCompatibleDC, 0);
    EXPECT_EQ(calls.selectBitmap + calls.selectOther, 0) << "nothing is selected";
    EXPECT_EQ(calls.createPenOrBrush, 0);
    EXPECT_EQ(calls.heapAllocations, 0);
}

}  // namespace
