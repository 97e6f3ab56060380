// The pause of render in silence: it comes only once the picture and the
// plug-in's smoothing can no longer change, and sound ends it at once.
#include "run/silence_pause.h"

#include "render/vu_level.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Waveform {
    signed char rows[waveformRows][waveformLength];
    explicit Waveform(signed char value, int row = -1, int at = -1)
    {
        std::memset(rows, 0, sizeof rows);
        if (row < 0)
            std::memset(rows, value, sizeof rows);
        else
            rows[row][at] = value;
    }
};

TEST(SilencePause, RendersUntilTheSilenceHasSettledThenWaitsForSound)
{
    // Each frame: 's' silence, 'l' sound; what is expected: 'r' rendered,
    // '.' left out.
    struct Case {
        const char *name;
        std::string frames;
        std::string expected;
    };
    const std::string settle(silentFramesBeforePause, 's');
    const std::string rendered(silentFramesBeforePause, 'r');
    const Case cases[] = {
        {"sound is always rendered", "llll", "rrrr"},
        {"silence as long as the settling is rendered", settle, rendered},
        {"then nothing until sound", settle + "sss" + "l", rendered + "..." + "r"},
        {"sound starts the count again", settle.substr(1) + "l" + settle + "s", rendered + rendered + "."},
        {"after the pause, silence is counted anew", settle + "sl" + settle + "ss", rendered + ".r" + rendered + ".."},
    };
    const Waveform silence(0), sound(-1, 1, 575), quiet(1, 0, 0);
    for (const Case &c : cases) {
        SilencePause pause;
        makeSilencePause(pause);
        std::string got;
        for (char frame : c.frames) got += renderFrame(pause, (frame == 's' ? silence : sound).rows) ? 'r' : '.';
        EXPECT_EQ(got, c.expected) << c.name;
    }
    EXPECT_TRUE(waveformSilent(silence.rows));
    EXPECT_FALSE(waveformSilent(sound.rows)) << "the last sample of the right row";
    EXPECT_FALSE(waveformSilent(quiet.rows)) << "the first sample of the left row";
}

// The meters' smoothing from its highest level, after a long full-scale
// passage, and from its lowest, after a pause as long as the settling:
// another silent frame leaves it where it is, so that pausing changes none
// of the frames after the silence.
TEST(SilencePause, TheMetersSmoothingHasSettledWhenThePauseComes)
{
    const Waveform full(-128), silence(0);
    for (const double start : {127.0, -127.0, 0.0}) {
        double level = start;
        for (int i = 0; i < 200 && start == 127.0; ++i) level = updateNeedle(0, level, full.rows[0]).level;
        for (int i = 0; i < silentFramesBeforePause; ++i) level = updateNeedle(0, level, silence.rows[0]).level;
        EXPECT_EQ(updateNeedle(0, level, silence.rows[0]).level, level) << "from " << start;
    }
}

}  // namespace
