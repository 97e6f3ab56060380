// Live input: the vis gets the newest recorded frames in order however the
// buffers fall across the ring's end, and a device is picked by its name.
#include "sound/live/live_input.h"

#include "numbered_frames.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(InputRing, GivesTheNewestFramesInOrderAcrossItsEnd)
{
    InputRing ring;
    makeInputRing(ring, 1000, 2, 2);
    long long written = 0;
    // 10 ms buffers, a short one, and one larger than the whole ring.
    for (long long piece : {441, 441, 441, 100, 2500, 7}) {
        const std::vector<unsigned char> bytes = numberedFrames(written, piece);
        appendToRing(ring, bytes.data(), piece);
        written += piece;
        ASSERT_EQ(ring.framesWritten, written);
        signed char waveform[2][576];
        fillWaveform(ring.block, ring.framesWritten, waveform);
        for (int i = 0; i < 576; ++i) {
            const long long frame = written - 576 + i;
            const int left = frame < 0 ? 0 : leftOf(frame);
            ASSERT_EQ(waveform[0][i], left) << "after " << written << " frames, index " << i;
            ASSERT_EQ(waveform[1][i], -left) << "after " << written << " frames, index " << i;
        }
    }
}

// A stand-in for the recording device: buffer i, the how-manieth handed
// over being n, holds frames numbered from n x 10, ten of them, once the
// test marks it done.
struct FakeDevice {
    long long handedAt[inputBufferCount];
    bool done[inputBufferCount] = {};
    int refuseNext = 0;  // hand-overs to refuse
    long long handOvers = 0;
    std::vector<unsigned char> bytes[inputBufferCount];

    FakeDevice()
    {
        for (int i = 0; i < inputBufferCount; ++i) handedAt[i] = i;
    }
    void finish(int buffer)
    {
        bytes[buffer] = numberedFrames(handedAt[buffer] * 10, 10);
        done[buffer] = true;
    }
    static long long recorded(void *context, int buffer)
    {
        auto &device = *static_cast<FakeDevice *>(context);
        return device.done[buffer] ? 10 : -1;
    }
    static const unsigned char *data(void *context, int buffer)
    {
        return static_cast<FakeDevice *>(context)->bytes[buffer].data();
    }
    static bool handOver(void *context, int buffer)
    {
        auto &device = *static_cast<FakeDevice *>(context);
        if (device.refuseNext > 0) {
            --device.refuseNext;
            return false;
        }
        device.done[buffer] = false;
        device.handedAt[buffer] = inputBufferCount + device.handOvers++;
        return true;
    }
    InputDevice seam() { return InputDevice{this, recorded, data, handOver}; }
};

// The newest frames in the ring after a collection: left top bytes.
std::vector<int> newestLeft(const InputRing &ring, int count)
{
    signed char waveform[2][576];
    fillWaveform(ring.block, ring.framesWritten, waveform);
    return std::vector<int>(waveform[0] + 576 - count, waveform[0] + 576);
}

std::vector<int> numbered(long long from, long long to)
{
    std::vector<int> values;
    for (long long f = from; f < to; ++f) values.push_back(leftOf(f));
    return values;
}

// A ring, the buffers and the device, as the host sets them up.
struct InputBuffersTest : ::testing::Test {
    InputRing ring;
    InputBuffers buffers;
    FakeDevice device;
    InputDevice seam = device.seam();
    InputBuffersTest()
    {
        makeInputRing(ring, 1000, 2, 2);
        makeInputBuffers(buffers);
    }
};

TEST_F(InputBuffersTest, ABufferBackOutOfOrderDoesNotHoldUpTheOthers)
{
    // Buffer 1 comes back before buffer 0: it is taken at once.
    device.finish(1);
    EXPECT_EQ(collectBuffers(buffers, ring, seam), 1);
    EXPECT_EQ(ring.framesWritten, 10);
    EXPECT_EQ(newestLeft(ring, 10), numbered(10, 20));
    // Then 0, with 2 and 3: the three in the order they were handed over.
    device.finish(3);
    device.finish(0);
    device.finish(2);
    EXPECT_EQ(collectBuffers(buffers, ring, seam), 3);
    EXPECT_EQ(newestLeft(ring, 30), [] {
        std::vector<int> order = numbered(0, 10);
        for (int f : numbered(20, 40)) order.push_back(f);
        return order;
    }());
    EXPECT_EQ(device.handOvers, 4) << "each handed back";
    // A buffer that never comes back holds up none: 5 to 15 keep coming.
    for (int round = 0; round < 3; ++round) {
        for (int i = 5; i < inputBufferCount; ++i) device.finish(i);
        EXPECT_EQ(collectBuffers(buffers, ring, seam), inputBufferCount - 5) << "round " << round;
    }
    EXPECT_EQ(buffers.refusals, 0);
}

TEST_F(InputBuffersTest, ABufferTheDeviceRefusesIsOfferedAgain)
{
    device.finish(0);
    device.refuseNext = 1;
    EXPECT_EQ(collectBuffers(buffers, ring, seam), 1);
    EXPECT_EQ(buffers.refusals, 1) << "counted, so that the host can say so";
    EXPECT_EQ(buffers.handedAt[0], -1) << "not with the device";
    device.finish(1);
    EXPECT_EQ(collectBuffers(buffers, ring, seam), 1);
    EXPECT_EQ(device.handOvers, 2) << "buffer 1, and buffer 0 offered again";
    EXPECT_GE(buffers.handedAt[0], 0);
    EXPECT_EQ(ring.framesWritten, 20);
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
