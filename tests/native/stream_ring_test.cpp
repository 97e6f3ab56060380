// The decoded ring between a file's decoder and the vis: the vis sees what
// a whole decoded file would show it, never a frame written over, and what
// the decoder had not yet decoded is silence it counts.
#include "sound/stream/stream_ring.h"

#include "numbered_frames.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Ring {
    std::vector<unsigned char> bytes;
    StreamRing ring;
    explicit Ring(long long chunkFrames) : bytes(static_cast<size_t>(streamRingBytes(chunkFrames, 2, 2)))
    {
        makeStreamRing(ring, bytes.data(), chunkFrames, 2, 2);
    }
    long long capacity() const { return streamChunks * ring.chunkFrames; }
    // As far as the decoder may write while the vis keeps keepFrom on.
    void fill(long long upTo)
    {
        const long long from = ring.written;
        const std::vector<unsigned char> frames = numberedFrames(from, upTo - from);
        putFrames(ring, frames.data(), upTo - from, writableEndNow(ring));
    }
};

TEST(StreamRing, SizesFollowTheRate)
{
    // An eighth of a second, never under 1024 frames; a second behind, never under two vis frames.
    EXPECT_EQ(streamChunkFrames(44100), 5512);
    EXPECT_EQ(streamChunkFrames(8000), 1024);
    EXPECT_EQ(streamChunkFrames(1), 1024);
    EXPECT_EQ(keepBehindFrames(44100), 44100);
    EXPECT_EQ(keepBehindFrames(1000), 1152);
    EXPECT_EQ(streamRingBytes(5512, 2, 2), 48LL * 5512 * 4) << "six seconds of CD sound, about 1 MB";
}

// Whatever the vis keeps, the decoder writes whole chunks up to it and
// over none of the frames from it on.
TEST(StreamRing, DecoderWritesUpToWhatTheVisKeepsAndNoFurther)
{
    for (long long keepFrom : {-1152LL, 0LL, 1LL, 1023LL, 1024LL, 5000LL, 100000LL}) {
        Ring r(1024);
        r.ring.keepFrom = keepFrom < 0 ? 0 : keepFrom;
        // Frames from 0 up to keepFrom went by long ago; the decoder kept up.
        for (long long at = 0; at < keepFrom; at += 512) {
            r.ring.keepFrom = at;
            r.fill(at + 512 < keepFrom ? at + 512 : keepFrom);
        }
        r.ring.keepFrom = keepFrom;
        r.fill(keepFrom + 10 * r.capacity());
        const long long end = r.ring.written;
        EXPECT_EQ(end % 1024, 0) << keepFrom << ": whole chunks";
        EXPECT_GT(end, keepFrom + r.capacity() - 1024 - 1) << keepFrom << ": the ring is used but for a chunk";
        EXPECT_LE(end, (keepFrom < 0 ? 0 : keepFrom) + r.capacity()) << keepFrom;
        // Everything from keepFrom on reads back as written.
        const long long from = keepFrom < 0 ? 0 : keepFrom;
        signed char waveform[2][576];
        const StreamRead read = readStream(r.ring, from + 576, waveform);
        EXPECT_EQ(read.missing, 0) << keepFrom;
        for (int i = 0; i < 576; ++i) ASSERT_EQ(waveform[0][i], leftOf(from + i)) << keepFrom << " at " << i;
    }
}

TEST(StreamRing, FramesNotDecodedOrWrittenOverAreSilenceAndCounted)
{
    Ring r(1024);
    r.fill(3000);
    const struct {
        long long frameEnd;
        int firstFrameShown, lastFrameShown;  // -1 when none
        int missing;
    } rows[] = {
        {100, 0, 99, 0},          // before the start: silence, not missing
        {3000, 2424, 2999, 0},    // all decoded
        {3100, 2524, 2999, 100},  // the newest 100 not decoded yet
        {10000, -1, -1, 576},
    };
    for (const auto &row : rows) {
        signed char waveform[2][576];
        const StreamRead read = readStream(r.ring, row.frameEnd, waveform);
        EXPECT_EQ(read.channels, 2);
        EXPECT_EQ(read.missing, row.missing) << row.frameEnd;
        for (int i = 0; i < 576; ++i) {
            const long long frame = row.frameEnd - 576 + i;
            const bool shown = row.firstFrameShown >= 0 && frame >= row.firstFrameShown && frame <= row.lastFrameShown;
            ASSERT_EQ(waveform[0][i], shown ? leftOf(frame) : 0) << row.frameEnd << " at " << i;
            ASSERT_EQ(waveform[1][i], shown ? -leftOf(frame) : 0) << row.frameEnd << " at " << i;
        }
    }
    // Once the vis moves on, the decoder writes over the oldest chunks: a
    // late look at them finds them missing, not the newer frames in their place.
    r.ring.keepFrom = 20000;
    r.fill(60000);
    signed char waveform[2][576];
    EXPECT_EQ(readStream(r.ring, 1000, waveform).missing, 576);
    EXPECT_EQ(waveform[0][0], 0);
}

TEST(StreamRing, FileEndIsSilenceNotAShortfall)
{
    Ring r(1024);
    r.fill(1000);
    endStream(r.ring);
    signed char waveform[2][576];
    const StreamRead read = readStream(r.ring, 1200, waveform);
    EXPECT_EQ(read.missing, 0);
    EXPECT_EQ(waveform[0][575 - 200], leftOf(999));
    EXPECT_EQ(waveform[0][576 - 200], 0);
    EXPECT_TRUE(streamHasFrames(r.ring, 1000000)) << "nothing more will come";
}

TEST(StreamRing, MonoFillsBothRows)
{
    std::vector<unsigned char> bytes(static_cast<size_t>(streamRingBytes(1024, 1, 1)));
    StreamRing ring;
    makeStreamRing(ring, bytes.data(), 1024, 1, 1);
    std::vector<unsigned char> frames;
    for (int f = 0; f < 600; ++f) frames.push_back(static_cast<unsigned char>(128 + leftOf(f)));
    putFrames(ring, frames.data(), 600, writableEnd(ring, 0));
    signed char waveform[2][576];
    EXPECT_EQ(readStream(ring, 600, waveform).channels, 1);
    for (int i = 0; i < 576; ++i) {
        ASSERT_EQ(waveform[0][i], leftOf(24 + i));
        ASSERT_EQ(waveform[1][i], leftOf(24 + i));
    }
}

TEST(StreamRing, SaysWhenAFrameIsWorthWaitingFor)
{
    Ring r(1024);
    r.fill(2000);
    EXPECT_TRUE(streamHasFrames(r.ring, 2000));
    EXPECT_FALSE(streamHasFrames(r.ring, 2001));
    // Beyond what may be written while the vis keeps frame 0: never coming.
    EXPECT_FALSE(streamHasFrames(r.ring, r.capacity()));
    EXPECT_TRUE(streamHasFrames(r.ring, r.capacity() + 1));
}

// The decoder and the vis on threads of their own, as in the host: every
// sample the vis is shown is the one the file holds there.
TEST(StreamRing, ReaderNeverSeesAFrameWrittenOver)
{
    Ring r(1024);
    constexpr long long fileFrames = 2000000;
    std::atomic<bool> done{false};
    std::thread decoder([&] {
        std::vector<unsigned char> piece;
        // With the orderings the host's decoder and vis use.
        while (r.ring.written.load(std::memory_order_relaxed) < fileFrames) {
            const long long from = r.ring.written.load(std::memory_order_relaxed);
            const long long count = 1 + (from * 7919) % 1500;  // pieces of uneven sizes
            piece = numberedFrames(from, count);
            putFrames(r.ring, piece.data(), count, writableEndNow(r.ring));
        }
        endStream(r.ring);
        done = true;
    });
    long long position = 0, wrong = 0, reads = 0;
    while (!done || position < fileFrames) {
        keepFramesFrom(r.ring, position - 1152);
        signed char waveform[2][576];
        readStream(r.ring, position + 200, waveform);
        for (int i = 0; i < 576; ++i) {
            const long long frame = position + 200 - 576 + i;
            wrong += waveform[0][i] != 0 && (frame < 0 || waveform[0][i] != leftOf(frame));
        }
        ++reads;
        position += 1 + reads % 700;
    }
    decoder.join();
    EXPECT_EQ(wrong, 0) << "in " << reads << " reads";
}

}  // namespace
