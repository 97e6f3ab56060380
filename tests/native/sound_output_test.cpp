// The sound device's side of playing, with a device the test stands in
// for: chunks go to it in order as they fill, a slot is written over only
// once it is done with it, a device that stops taking sound or stops
// playing it is let go and the clock carries on from where it had got to,
// and its 32-bit count becomes the play position past its wrap.
#include "sound/device/sound_output.h"

#include "numbered_frames.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct FakeDevice {
    std::vector<long long> firstFrames;  // of each chunk given, read from its top byte
    std::vector<long long> sizes;        // in bytes
    int refuseFrom = 1 << 30;            // the chunk it refuses, and all after
    bool done[streamChunks] = {};
    DeviceCount count = {false, 0};
    bool says = true;  // its count

    static FakeDevice &of(void *context) { return *static_cast<FakeDevice *>(context); }
    OutputDevice seam()
    {
        return OutputDevice{
            this,
            [](void *context, int slot, const unsigned char *bytes, long long size) {
                FakeDevice &device = of(context);
                if (static_cast<int>(device.sizes.size()) >= device.refuseFrom) return false;
                device.firstFrames.push_back(bytes[1]);  // 16-bit stereo: the left top byte, leftOf(frame)
                device.sizes.push_back(size);
                device.done[slot] = false;
                return true;
            },
            [](void *context, int slot) { return of(context).done[slot]; },
            [](void *context, DeviceCount &now) {
                now = of(context).count;
                return of(context).says;
            },
        };
    }
};

struct Ring {
    std::vector<unsigned char> bytes;
    StreamRing ring;
    Ring() : bytes(static_cast<size_t>(streamRingBytes(1024, 2, 2))) { makeStreamRing(ring, bytes.data(), 1024, 2, 2); }
    void fill(long long upTo)
    {
        const long long from = ring.written;
        const std::vector<unsigned char> frames = numberedFrames(from, upTo - from);
        putFrames(ring, frames.data(), upTo - from, writableEndNow(ring));
    }
};

TEST(SoundOutput, ChunksGoInOrderAsTheyFillAndTheLastOneShort)
{
    Ring r;
    FakeDevice device;
    OutputState output;
    r.fill(2500);
    EXPECT_TRUE(giveChunks(output, r.ring, device.seam()));
    EXPECT_EQ(device.sizes, (std::vector<long long>{4096, 4096})) << "whole chunks only while the file goes on";
    endStream(r.ring);
    EXPECT_TRUE(giveChunks(output, r.ring, device.seam()));
    EXPECT_EQ(device.sizes, (std::vector<long long>{4096, 4096, (2500 - 2048) * 4}));
    EXPECT_EQ(device.firstFrames, (std::vector<long long>{leftOf(0), leftOf(1024), leftOf(2048)}));
}

TEST(SoundOutput, SlotIsWrittenOverOnlyOnceTheDeviceIsDoneWithIt)
{
    Ring r;
    FakeDevice device;
    OutputState output;
    r.fill(streamChunks * 1024);
    giveChunks(output, r.ring, device.seam());
    ASSERT_EQ(output.chunksGiven, streamChunks);
    EXPECT_TRUE(slotFree(output, device.seam(), streamChunks - 1)) << "its slot never went to the device";
    EXPECT_FALSE(slotFree(output, device.seam(), streamChunks)) << "slot 0 still plays";
    device.done[0] = true;
    EXPECT_TRUE(slotFree(output, device.seam(), streamChunks));
    EXPECT_FALSE(slotFree(output, device.seam(), streamChunks + 1));
}

TEST(SoundOutput, DeviceThatStopsTakingSoundIsLetGo)
{
    Ring r;
    FakeDevice device;
    device.refuseFrom = 2;
    OutputState output;
    r.fill(3 * 1024);
    EXPECT_FALSE(giveChunks(output, r.ring, device.seam())) << "said once";
    EXPECT_TRUE(output.lost);
    r.fill(5 * 1024);
    EXPECT_TRUE(giveChunks(output, r.ring, device.seam()));
    EXPECT_EQ(device.sizes.size(), 2u) << "nothing more goes to it";
    EXPECT_TRUE(slotFree(output, device.seam(), streamChunks)) << "the decoder no longer waits for it";
}

// A second of the clock, as the host takes it, at a test's rate.
constexpr long long stillFrames = 1000;

// Under Wine a device whose sound server goes away takes chunks still and
// answers its position, but its count stops and no chunk comes back done.
// Each row fills the ring, and so hands the device chunks, and reads the
// position at a time on the clock with the device's count then; once the
// device is lost, the position is the frames it had played plus the clock
// since it was found lost.
TEST(SoundOutput, DeviceLostPartWayThroughHandsThePositionToTheClock)
{
    struct Step {
        long long filled;  // frames decoded by then
        long long clock;
        long long count;  // -1: it cannot say
        long long position;
    };
    const struct {
        const char *name;
        int refuseFrom;
        std::vector<Step> steps;
        bool lost;
    } rows[] = {
        {"its count stops with sound in hand",
         1 << 30,
         {{4096, 0, 0, 0}, {4096, 500, 500, 500}, {4096, 1000, 1000, 1000}, {4096, 1999, 1000, 1000},
          {4096, 2000, 1000, 1000}, {4096, 2600, 1000, 1600}, {4096, 2700, 2700, 1700}, {4096, 5000, 1000, 4000}},
         true},
        {"it refuses a chunk",
         2,
         {{4096, 300, 250, 250}, {4096, 900, 900, 850}, {4096, 6000, -1, 5950}},
         true},
        {"it cannot say its count", 1 << 30, {{4096, 0, 0, 0}, {4096, 400, 400, 400}, {4096, 600, -1, 400},
                                              {4096, 1000, 900, 800}},
         true},
        {"its count stands still for less than a second, twice",
         1 << 30,
         {{4096, 0, 0, 0}, {4096, 500, 500, 500}, {4096, 1499, 500, 500}, {4096, 1600, 1600, 1600},
          {4096, 2599, 1600, 1600}, {4096, 2700, 2700, 2700}},
         false},
        // Having played all it was given, it waits: that is no loss, nor is
        // it the start of one when the decoder gives it more.
        {"it waits for the decoder, then stops counting",
         1 << 30,
         {{2048, 0, 0, 0}, {2048, 2100, 2048, 2048}, {2048, 5000, 2048, 2048}, {4096, 5900, 2048, 2048},
          {4096, 6000, 2048, 2048}, {4096, 6500, 2048, 2548}},
         true},
        {"it waits for the decoder, then plays on",
         1 << 30,
         {{2048, 0, 0, 0}, {2048, 2100, 2048, 2048}, {2048, 5000, 2048, 2048}, {4096, 5900, 2048, 2048},
          {4096, 5950, 2100, 2100}, {4096, 6100, 2250, 2250}},
         false},
    };
    for (const auto &row : rows) {
        Ring r;
        FakeDevice device;
        device.refuseFrom = row.refuseFrom;
        OutputState output;
        int said = 0;
        for (const Step &step : row.steps) {
            r.fill(step.filled);
            giveChunks(output, r.ring, device.seam());
            device.says = step.count >= 0;
            device.count = DeviceCount{false, static_cast<std::uint32_t>(step.count < 0 ? 0 : step.count)};
            EXPECT_EQ(framesPlayed(output, device.seam(), 4, step.clock, stillFrames), step.position)
                << row.name << ", at " << step.clock;
            said += lossToSay(output);
        }
        EXPECT_EQ(output.lost, row.lost) << row.name;
        EXPECT_EQ(said, row.lost ? 1 : 0) << row.name << ": said once";
        EXPECT_EQ(slotFree(output, device.seam(), streamChunks), row.lost)
            << row.name << ": the decoder waits for a device that plays, not for one lost";
    }
}

// 24-bit stereo at 96 kHz, 576000 bytes a second, wraps a 32-bit byte count
// after about two hours.
TEST(SoundOutput, PlayPositionGoesOnPastTheCountsWrap)
{
    const struct {
        const char *name;
        bool inBytes;
        std::vector<std::uint32_t> counts;
        std::vector<long long> frames;
    } rows[] = {
        {"frames", false, {0, 4000, 0xFFFFFF00u, 0x100u}, {0, 4000, 0xFFFFFF00LL, 0x100000100LL}},
        {"bytes", true, {0, 6000, 0xFFFFFFFAu, 6}, {0, 1000, 0xFFFFFFFALL / 6, 0x100000006LL / 6}},
        {"the count standing still", true, {600, 600}, {100, 100}},
    };
    for (const auto &row : rows) {
        FakeDevice device;
        OutputState output;
        for (size_t i = 0; i < row.counts.size(); ++i) {
            device.count = DeviceCount{row.inBytes, row.counts[i]};
            EXPECT_EQ(framesPlayed(output, device.seam(), 6, static_cast<long long>(i) * 100000, stillFrames),
                      row.frames[i])
                << row.name << ", count " << i;
        }
    }
}

// The end of a file: played once the device has played the last short chunk.
TEST(SoundOutput, FileHasPlayedWhenTheDeviceHasPlayedItsLastFrame)
{
    Ring r;
    FakeDevice device;
    OutputState output;
    r.fill(1500);
    endStream(r.ring);
    giveChunks(output, r.ring, device.seam());
    device.count = DeviceCount{true, 1499 * 4};
    EXPECT_FALSE(ringPlayedOut(r.ring, framesPlayed(output, device.seam(), 4, 1499, stillFrames)));
    device.count = DeviceCount{true, 1500 * 4};
    EXPECT_TRUE(ringPlayedOut(r.ring, framesPlayed(output, device.seam(), 4, 1500, stillFrames)));
}

}  // namespace
