// Live input: the vis gets the newest recorded frames in order however the
// buffers fall across the ring's end, and a device is picked by its name.
#include "sound/live_input.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(InputRing, GivesTheNewestFramesInOrderAcrossItsEnd)
{
    InputRing ring;
    makeInputRing(ring, 1000, 2, 2);
    long long written = 0;
    // 10 ms buffers, a short one, and one larger than the whole ring. The top
    // byte of each frame on the left is frame % 100 + 1, on the right its negative.
    for (long long piece : {441, 441, 441, 100, 2500, 7}) {
        std::vector<unsigned char> bytes;
        for (long long f = written; f < written + piece; ++f)
            for (int top : {static_cast<int>(f % 100) + 1, -static_cast<int>(f % 100) - 1})
                bytes.insert(bytes.end(), {0x3C, static_cast<unsigned char>(top)});
        appendToRing(ring, bytes.data(), piece);
        written += piece;
        ASSERT_EQ(ring.framesWritten, written);
        signed char waveform[2][576];
        fillWaveform(ring.block, ring.framesWritten, waveform);
        for (int i = 0; i < 576; ++i) {
            const long long frame = written - 576 + i;
            const int left = frame < 0 ? 0 : static_cast<int>(frame % 100) + 1;
            ASSERT_EQ(waveform[0][i], left) << "after " << written << " frames, index " << i;
            ASSERT_EQ(waveform[1][i], -left) << "after " << written << " frames, index " << i;
        }
    }
}

TEST(InputDevice, IsPickedByItsNameOrAnUnambiguousPart)
{
    const std::vector<std::string> names = {"PulseAudio", "Monitor of Null Output", "Monitor of Built-in Audio Analo",
                                            "Mic", "Headset Microphone"};
    const struct {
        const char *wanted;
        int index;             // -1: refused
        const char *mentions;  // in the refusal
    } rows[] = {
        {"pulseaudio", 0, ""},
        {"MONITOR OF NULL OUTPUT", 1, ""},
        {"Monitor of Built-in Audio Analog Stereo", 2, ""},  // beyond the 31 characters the platform gives
        {"mic", 3, ""},                                       // the exact name wins over those containing it
        {"phone", 4, ""},
        {"Monitor", -1, "several recording devices: 'Monitor of Null Output', 'Monitor of Built-in Audio Analo'"},
        {"speakers", -1, "no recording device has 'speakers' in its name"},
    };
    for (const auto &row : rows) {
        std::string error;
        EXPECT_EQ(pickInputDevice(names, row.wanted, error), row.index) << row.wanted;
        EXPECT_NE(error.find(row.mentions), std::string::npos) << row.wanted << ": " << error;
    }
}

}  // namespace
