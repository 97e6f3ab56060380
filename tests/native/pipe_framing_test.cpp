// Sound from the launcher's pipe: whole frames reach the ring in order
// however the reads fall, a recording cut part way through a frame costs
// that frame only, and the vis is woken only by what it would see.
#include "sound/live/pipe_framing.h"

#include "numbered_frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<unsigned char> bytesOf(const std::string &text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

const std::vector<unsigned char> mark = bytesOf(pipeStreamMark);

// The left samples' frame numbers that reached the ring, oldest first.
std::vector<int> leftsInRing(const InputRing &ring)
{
    std::vector<int> lefts;
    const long long kept = ring.framesWritten < ring.block.frameCount ? ring.framesWritten : ring.block.frameCount;
    for (long long f = ring.framesWritten - kept; f < ring.framesWritten; ++f) {
        const unsigned char *frame = &ring.bytes[static_cast<size_t>(f % ring.block.frameCount * pipeFrameBytes)];
        lefts.push_back(static_cast<signed char>(frame[1]));
    }
    return lefts;
}

std::vector<int> lefts(long long from, long long count)
{
    std::vector<int> values;
    for (long long f = from; f < from + count; ++f) values.push_back(leftOf(f));
    return values;
}

struct Stream {
    const char *name;
    std::vector<unsigned char> bytes;
    std::vector<int> expected;  // left samples in the ring at the end
    int marks;
};

class PipeFramingAnyReads : public ::testing::TestWithParam<Stream> {};

// Every stream is read in pieces of every size from 1 to 23 bytes, and in
// one piece: the pieces must not matter.
TEST_P(PipeFramingAnyReads, GivesTheWholeFramesInOrder)
{
    const Stream &stream = GetParam();
    for (size_t piece = 1; piece <= 24; ++piece) {
        const size_t size = piece == 24 ? stream.bytes.size() : piece;
        InputRing ring;
        makeInputRing(ring, 4096, pipeChannels, pipeBytesPerSample);
        PipeFraming framing;
        makePipeFraming(framing);
        long long frames = 0;
        int marks = 0;
        for (size_t at = 0; at < stream.bytes.size(); at += size) {
            const size_t count = std::min(size, stream.bytes.size() - at);
            const PipeTake take = takePipeBytes(framing, &stream.bytes[at], static_cast<int>(count), ring);
            frames += take.frames;
            marks += take.marks;
        }
        EXPECT_EQ(leftsInRing(ring), stream.expected) << stream.name << ", read " << size << " bytes at a time";
        EXPECT_EQ(frames, static_cast<long long>(stream.expected.size())) << stream.name << ", pieces of " << size;
        EXPECT_EQ(marks, stream.marks) << stream.name << ", pieces of " << size;
    }
}

std::vector<unsigned char> cut(std::vector<unsigned char> bytes, size_t dropped)
{
    bytes.resize(bytes.size() - dropped);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, PipeFramingAnyReads,
    ::testing::Values(
        Stream{"plain frames", numberedFrames(0, 30), lefts(0, 30), 0},
        Stream{"a mark first", mark + numberedFrames(0, 30), lefts(0, 30), 1},
        Stream{"a new recording after a whole frame", numberedFrames(0, 10) + mark + numberedFrames(50, 10),
               lefts(0, 10) + lefts(50, 10), 1},
        // Three bytes of frame 10 came before its recorder stopped.
        Stream{"a recording cut part way through a frame", cut(numberedFrames(0, 11), 1) + mark + numberedFrames(50, 10),
               lefts(0, 10) + lefts(50, 10), 1},
        Stream{"marks in a row", numberedFrames(0, 5) + mark + mark + cut(numberedFrames(7, 1), 2) + mark +
                                     numberedFrames(60, 5),
               lefts(0, 5) + lefts(60, 5), 3},
        // Samples that begin like a mark are samples all the same.
        Stream{"the start of a mark, then frames", cut(mark, 4) + numberedFrames(0, 5),
               std::vector<int>{'L', '-', '-'} + lefts(0, 5), 0}),
    [](const ::testing::TestParamInfo<Stream> &param) { return std::to_string(param.index); });

TEST(PipeFraming, WakesTheVisOnlyForWhatItWouldSee)
{
    struct Case {
        const char *name;
        std::vector<unsigned char> bytes;
        bool sounding;
    };
    const std::vector<Case> cases = {
        {"digital silence", std::vector<unsigned char>(64, 0), false},
        // Below the top byte: the vis sees 0 of these samples.
        {"noise in the low bytes", std::vector<unsigned char>{0x7F, 0, 0xFF, 0, 0x01, 0, 0x80, 0}, false},
        {"one sample just below zero", std::vector<unsigned char>{0, 0, 0, 0, 0, 0, 0xFF, 0xFF}, true},
        {"the right channel alone", std::vector<unsigned char>{0, 0, 0, 0x01}, true},
    };
    for (const Case &c : cases) {
        InputRing ring;
        makeInputRing(ring, 64, pipeChannels, pipeBytesPerSample);
        PipeFraming framing;
        makePipeFraming(framing);
        const PipeTake take = takePipeBytes(framing, c.bytes.data(), static_cast<int>(c.bytes.size()), ring);
        EXPECT_EQ(take.sounding, c.sounding) << c.name;
        EXPECT_EQ(take.frames, static_cast<long long>(c.bytes.size()) / pipeFrameBytes) << c.name;
    }
}

}  // namespace
