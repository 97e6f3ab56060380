// Feeds arbitrary bytes to the pipe's framing in reads of arbitrary sizes,
// each its own block so that AddressSanitizer sees any access past it, and
// checks the ring against the stream read whole: the frames between marks,
// in order, none made of bytes across a mark, and the vis woken by what it
// would see.
#include "sound/live/pipe_framing.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

// Small enough that one read goes round it several times.
constexpr long long ringFrames = 1021;

struct Read {
    long long framesBefore, framesAfter;
    bool sounding;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    InputRing ring;
    makeInputRing(ring, ringFrames, pipeChannels, pipeBytesPerSample);
    PipeFraming framing;
    makePipeFraming(framing);

    // The input: reads, each two bytes of its size (up to pipeReadBytes)
    // and then its bytes, the last one cut at the input's end.
    std::vector<unsigned char> stream;
    std::vector<Read> reads;
    long long marks = 0;
    for (std::size_t at = 0; at + 2 <= size;) {
        const int wanted = (data[at] | data[at + 1] << 8) % (pipeReadBytes + 1);
        at += 2;
        const int count = size - at < static_cast<std::size_t>(wanted) ? static_cast<int>(size - at) : wanted;
        std::unique_ptr<unsigned char[]> piece(new unsigned char[static_cast<std::size_t>(count)]);
        if (count > 0) std::memcpy(piece.get(), data + at, static_cast<std::size_t>(count));
        stream.insert(stream.end(), data + at, data + at + count);
        at += static_cast<std::size_t>(count);

        const long long before = ring.framesWritten;
        const int heldBefore = framing.heldCount;
        const PipeTake take = takePipeBytes(framing, piece.get(), count, ring);
        require(take.frames >= 0 && take.frames <= (heldBefore + count) / pipeFrameBytes);
        require(ring.framesWritten == before + take.frames);
        require(framing.heldCount >= 0 && framing.heldCount <= static_cast<int>(sizeof framing.held));
        require(take.marks >= 0 && take.marks <= (heldBefore + count) / pipeStreamMarkLength);
        marks += take.marks;
        reads.push_back({before, ring.framesWritten, take.sounding});
    }

    // The stream read whole: the whole frames of each recording, the last
    // one's up to what may still be the start of a mark or of a frame.
    std::vector<unsigned char> frames;
    long long expectedMarks = 0;
    std::size_t from = 0;
    for (;;) {
        std::size_t mark = from;
        while (mark + pipeStreamMarkLength <= stream.size() &&
               std::memcmp(&stream[mark], pipeStreamMark, pipeStreamMarkLength) != 0)
            ++mark;
        if (mark + pipeStreamMarkLength > stream.size()) break;
        frames.insert(frames.end(), stream.begin() + static_cast<long>(from),
                      stream.begin() + static_cast<long>(from + (mark - from) / pipeFrameBytes * pipeFrameBytes));
        ++expectedMarks;
        from = mark + pipeStreamMarkLength;
    }
    const long long lastWhole = static_cast<long long>(stream.size() - from) / pipeFrameBytes;
    const long long earlier = static_cast<long long>(frames.size()) / pipeFrameBytes;
    require(marks == expectedMarks);
    require(ring.framesWritten >= earlier && ring.framesWritten <= earlier + lastWhole);
    require(ring.framesWritten + (pipeStreamMarkLength - 1) / pipeFrameBytes + 1 >= earlier + lastWhole);
    require(static_cast<long long>(stream.size() - from) - (ring.framesWritten - earlier) * pipeFrameBytes ==
            framing.heldCount);
    frames.insert(frames.end(), stream.begin() + static_cast<long>(from),
                  stream.begin() + static_cast<long>(from) + (ring.framesWritten - earlier) * pipeFrameBytes);

    // The ring holds the newest of those frames, each where it belongs.
    const long long kept = ring.framesWritten < ringFrames ? ring.framesWritten : ringFrames;
    for (long long f = ring.framesWritten - kept; f < ring.framesWritten; ++f)
        require(std::memcmp(&ring.bytes[static_cast<std::size_t>(f % ringFrames * pipeFrameBytes)],
                            &frames[static_cast<std::size_t>(f * pipeFrameBytes)], pipeFrameBytes) == 0);
    for (const Read &read : reads) {
        bool sounding = false;
        for (long long byte = read.framesBefore * pipeFrameBytes; byte < read.framesAfter * pipeFrameBytes;
             byte += pipeBytesPerSample)
            sounding = sounding || frames[static_cast<std::size_t>(byte + pipeBytesPerSample - 1)] != 0;
        require(read.sounding == sounding);
    }
    return 0;
}
