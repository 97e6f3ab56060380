// Both modules driven through a freshly loaded copy of the DLL, as the
// player drives them: init, render frame after frame, quit. The face is a
// BMP file at the loader's fixed path; the needle levels start at 0 because
// every test loads its own copy.
#include "expected_frames.h"
#include "frame_pictures.h"
#include "platform_calls.h"
#include "wine_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// One module of a fresh library copy, started under a stand-in host window.
class RunningModule {
public:
    RunningModule(const std::string &name, int index)
    {
        plugin_ = loadPluginCopy(name);
        module_ = plugin_.module(index);
        if (!module_) return;
        // Away from the vis window's place (50, 50), so nothing covers it.
        host_ = createHostWindow(900, 600, 275, 116);
        module_->parentWindow = host_;
        module_->dllInstance = plugin_.library;
        module_->channelCount = 2;
        start();
    }
    ~RunningModule()
    {
        stop();
        if (host_) DestroyWindow(host_);
        unloadPlugin(plugin_);
    }
    // quit and init again, in the same loaded library.
    void restart()
    {
        stop();
        start();
    }
    RunningModule(const RunningModule &) = delete;
    RunningModule &operator=(const RunningModule &) = delete;

    bool started() const { return module_ && initResult_ == 0 && window_; }
    VisModule *module() const { return module_; }
    HMODULE library() const { return plugin_.library; }
    HWND window() const { return window_; }
    int render() { return module_->render(module_); }
    void fillRow(int channel, int sample)
    {
        std::memset(module_->waveform[channel], static_cast<unsigned char>(sample), 576);
    }
    // A repaint between frames, as when the window is uncovered.
    void repaint()
    {
        InvalidateRect(window_, nullptr, FALSE);
        UpdateWindow(window_);
    }
    Picture read(int width, int height) const { return readWindow(window_, width, height); }

private:
    void start()
    {
        initResult_ = module_->init(module_);
        window_ = FindWindowA("VelmoraVis", nullptr);
    }
    void stop()
    {
        if (module_ && initResult_ == 0) module_->quit(module_);
        initResult_ = -1;
        pumpMessagesFor(0);  // the window's destruction posted WM_QUIT
    }

    LoadedPlugin plugin_;
    VisModule *module_ = nullptr;
    HWND host_ = nullptr;
    HWND window_ = nullptr;
    int initResult_ = -1;
};

// Both meter copies match; column 137 is the repaint's, not render's.
::testing::AssertionResult showsMeters(const Picture &window, Point left, Point right)
{
    const Picture expected = expectedMeters(left, right);
    ::testing::AssertionResult leftCopy = samePixels(window, expected, leftMeterColumns);
    if (!leftCopy) return leftCopy;
    return samePixels(window, expected, rightMeterColumns);
}

TEST(VuThroughTheDll, SilenceOnAFreshLibraryThenARepaint)
{
    PlacedFace face(testFaceFile(137, 75));
    ASSERT_TRUE(face.placed());
    RunningModule vu("render_vu_silence", 0);
    ASSERT_TRUE(vu.started());

    EXPECT_EQ(vu.render(), 0);
    EXPECT_TRUE(showsMeters(vu.read(275, 75), {16, 45}, {154, 45}));

    // The repaint shows the back buffer itself: black lines on white,
    // the divider in column 137 included.
    vu.repaint();
    const Picture repainted = vu.read(275, 75);
    EXPECT_TRUE(samePixels(repainted, vuMask({16, 45}, {154, 45}), whole(repainted)));
}

TEST(VuThroughTheDll, FullScaleReachesTheUpperStopOnFrame11AndTheNextRunStartsThere)
{
    PlacedFace face(testFaceFile(137, 75));
    RunningModule vu("render_vu_full_scale", 0);
    ASSERT_TRUE(vu.started());
    vu.fillRow(0, -128);
    vu.fillRow(1, -128);

    EXPECT_EQ(vu.render(), 0);
    EXPECT_TRUE(showsMeters(vu.read(275, 75), {56, 11}, {194, 11})) << "frame 1";
    for (int frame = 2; frame <= 11; ++frame) {
        pumpMessagesFor(0);  // the host's loop runs between frames
        ASSERT_EQ(vu.render(), 0) << "frame " << frame;
    }
    EXPECT_TRUE(showsMeters(vu.read(275, 75), {120, 46}, {258, 46})) << "frame 11";

    // A fresh start would show frame 1 again; the levels survive quit and init.
    vu.restart();
    ASSERT_TRUE(vu.started());
    EXPECT_EQ(vu.render(), 0);
    EXPECT_TRUE(showsMeters(vu.read(275, 75), {120, 46}, {258, 46})) << "first frame of the second run";
}

TEST(VuThroughTheDll, OneChannelStillMovesBothNeedles)
{
    PlacedFace face(testFaceFile(137, 75));
    RunningModule vu("render_vu_one_channel", 0);
    ASSERT_TRUE(vu.started());
    vu.module()->channelCount = 1;
    vu.fillRow(0, 10);
    vu.fillRow(1, 1);
    EXPECT_EQ(vu.render(), 0);
    EXPECT_TRUE(showsMeters(vu.read(275, 75), {41, 16}, {167, 25}));
}

TEST(VuThroughTheDll, NarrowFaceFileCopiesThroughTheRightMeterMask)
{
    PlacedFace face(testFaceFile(100, 75));
    RunningModule vu("render_vu_narrow", 0);
    ASSERT_TRUE(vu.started());
    EXPECT_EQ(vu.render(), 0);
    const Picture window = vu.read(275, 75);
    const Picture expected =
        expectedVuWindow(275, 75, {16, 45}, {154, 45}, {{0, 0, 100, 75, true}, {101, 138, 100, 75, false}});
    EXPECT_TRUE(samePixels(window, expected, {0, 0, 100, 75}));
    EXPECT_TRUE(samePixels(window, expected, {101, 0, 201, 75}));
}

TEST(VuThroughTheDll, TopDownFaceFileShowsUpright)
{
    PlacedFace face(testFaceFile(137, -75));
    RunningModule vu("render_vu_top_down", 0);
    ASSERT_TRUE(vu.started());
    EXPECT_EQ(vu.render(), 0);
    EXPECT_TRUE(showsMeters(vu.read(275, 75), {16, 45}, {154, 45}));
}

TEST(VuThroughTheDll, MissingFaceFileDoesNotEndTheVisualization)
{
    DeleteFileA(facePath);
    RunningModule vu("render_vu_no_face", 0);
    ASSERT_TRUE(vu.started());
    vu.fillRow(0, 10);
    vu.fillRow(1, 1);
    EXPECT_EQ(vu.render(), 0);
    vu.repaint();
    Picture repainted = vu.read(275, 75);
    EXPECT_TRUE(samePixels(repainted, vuMask({41, 16}, {167, 25}), whole(repainted))) << "frame 1";

    // One silent frame sends both needles to the lower stop from anywhere.
    vu.fillRow(0, 0);
    vu.fillRow(1, 0);
    for (int frame = 2; frame <= 3; ++frame) EXPECT_EQ(vu.render(), 0) << "frame " << frame;
    vu.repaint();
    repainted = vu.read(275, 75);
    EXPECT_TRUE(samePixels(repainted, vuMask({16, 45}, {154, 45}), whole(repainted))) << "frame 3";
}

TEST(VuThroughTheDll, FramesBorrowAndReturnDeviceContextsAndAllocateNothing)
{
    PlacedFace face(testFaceFile(137, 75));
    RunningModule vu("render_vu_calls", 0);
    ASSERT_TRUE(vu.started());
    PlatformCallCounter counter(vu.library());
    const int before = liveGdiObjects();
    for (int frame = 0; frame < 50; ++frame) {
        vu.fillRow(0, frame * 5 - 128);
        vu.fillRow(1, 127 - frame * 3);
        counter.start();
        ASSERT_EQ(vu.render(), 0);
        EXPECT_TRUE(vuFrameCalls(counter.stop())) << "frame " << frame;
    }
    EXPECT_EQ(liveGdiObjects(), before) << "50 frames leave no GDI object behind";
}

TEST(VuThroughTheDll, ClosedWindowFailsTheFirstCopyAndEndsTheVisualization)
{
    PlacedFace face(testFaceFile(137, 75));
    RunningModule vu("render_vu_closed", 0);
    ASSERT_TRUE(vu.started());
    PlatformCallCounter counter(vu.library());
    DestroyWindow(vu.window());
    pumpMessagesFor(0);

    counter.start();
    EXPECT_EQ(vu.render(), 1);
    const PlatformCalls calls = counter.stop();
    EXPECT_EQ(calls.maskBlt, 1) << "the right meter is not drawn";
    EXPECT_EQ(calls.getDC, calls.releaseDC);
    EXPECT_EQ(calls.createCompatibleDC, calls.deleteDC);
    EXPECT_EQ(calls.selectBitmap, 2);
}

// The VU frames of a sweep that moves both needles over their whole travel,
// written to vu-sweep-frames.bin beside the test program. The 32-bit and the
// 64-bit build must write the same bytes (frames_same_on_both_widths): the
// widths differ in the maths library and in floating-point code, and an end
// point a hair from a whole pixel is where that would show.
TEST(VuThroughTheDll, SweepOverTheWholeTravelIsWrittenForTheOtherWidth)
{
    PlacedFace face(testFaceFile(137, 75));
    RunningModule vu("render_vu_sweep", 0);
    ASSERT_TRUE(vu.started());
    const std::string path = exeFolder() + "vu-sweep-frames.bin";
    FILE *frames = std::fopen(path.c_str(), "wb");
    ASSERT_NE(frames, nullptr);

    // Rises of two speeds to the upper stop, silence, and again: the sum of
    // a row's samples 1 to 575 takes most values from 0 to 73,600 on the way.
    constexpr int frameCount = 640;
    for (int frame = 0; frame < frameCount; ++frame) {
        for (int channel = 0; channel < 2; ++channel) {
            const int step = frame % 320, period = channel ? 150 : 300;
            const int sum = step >= period ? 0 : static_cast<int>(73600.0 * step * step / (period * period)) + step;
            signed char *row = vu.module()->waveform[channel];
            row[0] = 127;  // never counted
            for (int i = 1; i < 576; ++i) {
                const int magnitude = sum / 575 + (i <= sum % 575 ? 1 : 0);
                row[i] = static_cast<signed char>(i % 2 ? -magnitude : (magnitude > 127 ? -128 : magnitude));
            }
        }
        ASSERT_EQ(vu.render(), 0) << "frame " << frame;
        const Picture window = vu.read(275, 75);
        ASSERT_EQ(std::fwrite(window.pixels.data(), 4, window.pixels.size(), frames), window.pixels.size());
    }
    std::fclose(frames);
}

TEST(ScopeThroughTheDll, SilenceThenOneChannelThenARepaint)
{
    RunningModule scope("render_scope", 1);
    ASSERT_TRUE(scope.started());

    EXPECT_EQ(scope.render(), 0);
    Picture expected = scopeOutline();
    for (int x = 0; x < 576; ++x) expected.at(x, 128) = expected.at(x, 384) = black;
    Picture window = scope.read(576, 512);
    EXPECT_TRUE(samePixels(window, expected, whole(window))) << "silence on two channels";

    scope.module()->channelCount = 1;
    fillTriangle(scope.module()->waveform[0], 200);
    for (int i = 0; i < 576; ++i) scope.module()->waveform[1][i] = static_cast<signed char>(i % 2 ? 127 : -128);
    EXPECT_EQ(scope.render(), 0);
    expected = scopeFrame(scope.module()->waveform[0], nullptr);
    window = scope.read(576, 512);
    EXPECT_TRUE(samePixels(window, expected, whole(window))) << "one channel";

    scope.repaint();
    window = scope.read(576, 512);
    EXPECT_TRUE(samePixels(window, expected, whole(window))) << "repainted";
}

TEST(ScopeThroughTheDll, FrameBorrowsOnlyTheWindowsDeviceContextAndAllocatesNothing)
{
    RunningModule scope("render_scope_calls", 1);
    ASSERT_TRUE(scope.started());
    PlatformCallCounter counter(scope.library());
    for (int frame = 0; frame < 20; ++frame) {
        for (int i = 0; i < 576; ++i) scope.module()->waveform[frame % 2][i] = static_cast<signed char>(i + frame);
        counter.start();
        ASSERT_EQ(scope.render(), 0);
        const PlatformCalls calls = counter.stop();
        EXPECT_EQ(calls.getDC, 1);
        EXPECT_EQ(calls.releaseDC, 1);
        EXPECT_EQ(calls.bitBlt, 1);
        EXPECT_EQ(calls.selectBitmap + calls.selectOther, 0);
        EXPECT_EQ(calls.createPenOrBrush, 0);
        EXPECT_EQ(calls.heapAllocations, 0);
    }
}

}  // namespace
