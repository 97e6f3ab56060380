// The scope module's render, driven in this process on state set up the way
// init leaves it, compared pixel by pixel with pictures the test places
// from the samples.
#include "expected_frames.h"
#include "frame_pictures.h"
#include "platform_calls.h"
#include "render_stage.h"

#include "render/renderers.h"

#include <gtest/gtest.h>

#include <climits>

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
    fillTriangle(module->waveform[0], 40);
    for (int i = 0; i < 576; ++i) module->waveform[1][i] = static_cast<signed char>(100 - i % 50);
    EXPECT_EQ(render(), 0);
    // Neither centred nor stretched: rows 256-510 stay white inside the outline.
    EXPECT_TRUE(samePixels(window(), scopeFrame(module->waveform[0], nullptr), frame()));
}

TEST_F(ScopeRender, FullScaleAlternationSpansEachBandBetweenNeighbouringColumns)
{
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 576; ++i) module->waveform[c][i] = static_cast<signed char>(i % 2 ? 127 : -128);
    EXPECT_EQ(render(), 0);
    // Every row of both bands is crossed between every two neighbouring columns.
    const Picture got = window();
    int uncrossed = 0;
    for (int x = 1; x < 576; ++x)
        for (int y = 0; y < 512; ++y) uncrossed += got.at(x - 1, y) != black && got.at(x, y) != black;
    EXPECT_EQ(uncrossed, 0);
}

TEST_F(ScopeRender, ExtremesLieOnTheBandsTopAndBottomRows)
{
    fillTriangle(module->waveform[0], 0);
    fillTriangle(module->waveform[1], 0);
    EXPECT_EQ(render(), 0);
    const Picture got = window();
    EXPECT_TRUE(samePixels(got, scopeFrame(module->waveform[0], module->waveform[1]), frame()));
    // Sample 255 is +127, sample 510 is -128; channel 0's top row and
    // channel 1's bottom row are the outline's.
    EXPECT_EQ(got.at(255, 255), black);
    EXPECT_EQ(got.at(255, 254), white);
    EXPECT_EQ(got.at(510, 256), black);
    EXPECT_EQ(got.at(510, 257), white);
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
    fillTriangle(module->waveform[0], 97);
    fillTriangle(module->waveform[1], 300);
    EXPECT_EQ(render(), 0);
    EXPECT_TRUE(samePixels(window(), scopeFrame(module->waveform[0], module->waveform[1]), frame()));
}

INSTANTIATE_TEST_SUITE_P(Table, ScopeManyChannels, ::testing::Values(3, 4, 33, INT_MAX));

TEST_F(ScopeRender, WithoutTheWindowTheFrameStillGoesIntoTheBackBuffer)
{
    stage.destroyWindow();
    EXPECT_EQ(render(), 0);
    const signed char silence[576] = {};
    EXPECT_TRUE(samePixels(stage.readBackBuffer(), scopeFrame(silence, silence), frame()));
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
