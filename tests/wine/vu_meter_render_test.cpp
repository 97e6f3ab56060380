// The VU module's render, driven in this process on state set up the way
// init and the face loader leave it. Every picture is compared pixel by
// pixel with one the test builds from the worked needle end points; the
// level model's own table is checked natively, so here a few of its rows
// only show that the needles reach the window.
#include "expected_frames.h"
#include "frame_pictures.h"
#include "platform_calls.h"
#include "render_stage.h"

#include "render/renderers.h"
#include "resources/meter_face.h"

#include <gtest/gtest.h>

namespace {

class VuRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        needleLevels[0] = needleLevels[1] = 0.0;  // as after loading the library
        stage.setFace(137, 75);
        stage.fill(untouched);
    }
    int render() { return renderVuMeters(module.get()); }

    RenderStage stage{275, 75, 275, 75};
    GuardedModule module;
};

TEST_F(VuRender, SilenceFromRestShowsBothFacesWithNeedlesOnTheLowerStop)
{
    EXPECT_EQ(render(), 0);
    const Picture window = stage.readWindow();
    EXPECT_TRUE(samePixels(window, expectedMeters({16, 45}, {154, 45}), whole(window)));
    // What a repaint between frames shows: the black-and-white picture.
    const Picture backBufferPicture = stage.readBackBuffer();
    EXPECT_TRUE(samePixels(backBufferPicture, vuMask({16, 45}, {154, 45}), whole(backBufferPicture)));
}

TEST_F(VuRender, FullScaleReachesTheUpperStopOnTheEleventhFrame)
{
    module.fillRow(0, -128);
    module.fillRow(1, -128);
    ASSERT_EQ(render(), 0);
    Picture window = stage.readWindow();
    EXPECT_TRUE(samePixels(window, expectedMeters({56, 11}, {194, 11}), whole(window))) << "frame 1";
    for (int frame = 2; frame <= 11; ++frame) ASSERT_EQ(render(), 0) << "frame " << frame;
    window = stage.readWindow();
    EXPECT_TRUE(samePixels(window, expectedMeters({120, 46}, {258, 46}), whole(window))) << "frame 11";
}

// Both meters move from their own rows whatever channelCount says.
struct ChannelRow {
    int channelCount;
    int left, right;  // samples of rows 0 and 1
    Point leftEnd, rightEnd;
};

void PrintTo(const ChannelRow &row, std::ostream *out)
{
    *out << "channelCount " << row.channelCount << ", rows " << row.left << " and " << row.right;
}

class VuChannelCounts : public VuRender, public ::testing::WithParamInterface<ChannelRow> {};

TEST_P(VuChannelCounts, BothMetersFollowTheirOwnRows)
{
    const ChannelRow &row = GetParam();
    module->channelCount = row.channelCount;
    module.fillRow(0, row.left);
    module.fillRow(1, row.right);
    EXPECT_EQ(render(), 0);
    const Picture window = stage.readWindow();
    EXPECT_TRUE(samePixels(window, expectedMeters(row.leftEnd, row.rightEnd), whole(window)));
}

INSTANTIATE_TEST_SUITE_P(Table, VuChannelCounts,
                         ::testing::Values(ChannelRow{1, -128, 10, {56, 11}, {179, 16}},
                                           ChannelRow{1, 0, 1, {16, 45}, {167, 25}},
                                           ChannelRow{2, 1, -128, {29, 25}, {194, 11}},
                                           ChannelRow{0, 10, 0, {41, 16}, {154, 45}},
                                           ChannelRow{-3, 10, 127, {41, 16}, {194, 11}},
                                           ChannelRow{7, 127, 10, {56, 11}, {179, 16}}));

struct FaceSizeRow {
    const char *name;
    int faceWidth, faceHeight;
    ExpectedCopy left, right;
};

// Faces of other sizes, in a window larger than the frame: the right copy
// starts one column after the face's width but at mask column 138, and
// every copy is cut to the 275 x 75 mask; nothing beyond it is painted.
void PrintTo(const FaceSizeRow &row, std::ostream *out) { *out << row.name; }

class VuFaceSizes : public ::testing::TestWithParam<FaceSizeRow> {};

TEST_P(VuFaceSizes, EachCopyCoversItsColumnsAndNothingOutsideTheMask)
{
    const FaceSizeRow &row = GetParam();
    needleLevels[0] = needleLevels[1] = 0.0;
    RenderStage stage(275, 75, 420, 120);
    GuardedModule module;
    stage.setFace(row.faceWidth, row.faceHeight);
    stage.fill(untouched);
    EXPECT_EQ(renderVuMeters(module.get()), 0);
    const Picture window = stage.readWindow();
    const Picture expected = row.right.width
        ? expectedVuWindow(420, 120, {16, 45}, {154, 45}, {row.left, row.right})
        : expectedVuWindow(420, 120, {16, 45}, {154, 45}, {row.left});
    EXPECT_TRUE(samePixels(window, expected, whole(window)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, VuFaceSizes,
    ::testing::Values(FaceSizeRow{"narrow", 100, 75, {0, 0, 100, 75, true}, {101, 138, 100, 75, false}},
                      // The right needle (columns 154-206) lies inside the left
                      // copy: that copy is made before the needle is drawn.
                      FaceSizeRow{"wide", 200, 75, {0, 0, 200, 75, true}, {201, 138, 74, 75, false}},
                      FaceSizeRow{"taller", 137, 100, {0, 0, 137, 75, true}, {138, 138, 137, 75, false}},
                      FaceSizeRow{"wider", 300, 75, {0, 0, 275, 75, true}, {}},
                      FaceSizeRow{"widerAndTaller", 300, 110, {0, 0, 275, 75, true}, {}},
                      FaceSizeRow{"tallerTopDown", 137, -110, {0, 0, 137, 75, true}, {138, 138, 137, 75, false}}),
    [](const ::testing::TestParamInfo<FaceSizeRow> &param) { return std::string(param.param.name); });

TEST_F(VuRender, TopDownFaceShowsUpright)
{
    stage.setFace(137, -75);
    ASSERT_EQ(meterFace.header.biHeight, -75);
    EXPECT_EQ(render(), 0);
    const Picture window = stage.readWindow();
    EXPECT_TRUE(samePixels(window, expectedMeters({16, 45}, {154, 45}), whole(window)));
}

TEST_F(VuRender, NoFaceLoadedPaintsNothingAndGoesOn)
{
    // After a missing file: size 0 x 0, no bitmap. The frame still goes
    // through, both needles move, and the window is left as it was.
    stage.clearFace();
    module.fillRow(0, 10);
    module.fillRow(1, 1);
    EXPECT_EQ(render(), 0);
    EXPECT_NE(needleLevels[1], 0.0) << "the right meter was computed";
    const Picture window = stage.readWindow();
    EXPECT_TRUE(samePixels(window, Picture(275, 75, untouched), whole(window)));
    const Picture backBufferPicture = stage.readBackBuffer();
    EXPECT_TRUE(samePixels(backBufferPicture, vuMask({41, 16}, {167, 25}), whole(backBufferPicture)));
}

TEST_F(VuRender, HeaderWithoutBitmapPaintsNothingAndGoesOn)
{
    // A file whose header was read but whose bitmap could not be made.
    stage.clearFace(meterFace.header);
    EXPECT_EQ(render(), 0);
    const Picture window = stage.readWindow();
    EXPECT_TRUE(samePixels(window, Picture(275, 75, untouched), whole(window)));
}

TEST_F(VuRender, FailedLeftCopyEndsTheFrameAndGivesEverythingBack)
{
    // The window is gone (closed from its system menu, say), so its device
    // context cannot be had and the first masked copy fails.
    PlatformCallCounter counter(GetModuleHandleA(nullptr));
    needleLevels[1] = 3.5;
    module.fillRow(0, 10);
    module.fillRow(1, 10);
    stage.destroyWindow();

    counter.start();
    const int result = render();
    const PlatformCalls calls = counter.stop();

    EXPECT_EQ(result, 1);
    EXPECT_EQ(needleLevels[1], 3.5) << "the right meter is not computed";
    EXPECT_NE(needleLevels[0], 0.0) << "the left meter is";
    EXPECT_EQ(calls.maskBlt, 1);
    EXPECT_EQ(calls.getDC, calls.releaseDC);
    EXPECT_EQ(calls.createCompatibleDC, 1);
    EXPECT_EQ(calls.deleteDC, 1);
    EXPECT_EQ(calls.selectBitmap, 2) << "the face in, the previous bitmap back";
    // The face is in no device context any more: another one can take it.
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, meterFace.bitmap);
    EXPECT_NE(previous, nullptr);
    SelectObject(memory, previous);
    DeleteDC(memory);
    // The back buffer holds the outline, the left needle and the divider.
    const Picture backBufferPicture = stage.readBackBuffer();
    EXPECT_TRUE(samePixels(backBufferPicture, vuMaskBeforeRightNeedle({41, 16}), whole(backBufferPicture)));
}

TEST_F(VuRender, FrameBorrowsAndReturnsItsDeviceContextsAndAllocatesNothing)
{
    PlatformCallCounter counter(GetModuleHandleA(nullptr));
    module.fillRow(0, 37);
    module.fillRow(1, -90);
    for (int frame = 0; frame < 3; ++frame) {
        counter.start();
        EXPECT_EQ(render(), 0);
        EXPECT_TRUE(vuFrameCalls(counter.stop())) << "frame " << frame;
    }
}

}  // namespace
