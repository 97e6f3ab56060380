#include "sound/live/pipe_framing.h"

#include <cstring>

namespace {

// A frame is silence to the vis when the most significant byte of each of
// its samples is 0: that byte is all of the sample the vis gets.
bool framesSound(const unsigned char *frames, long long count)
{
    for (long long i = 0; i < count * pipeFrameBytes; i += pipeBytesPerSample)
        if (frames[i + pipeBytesPerSample - 1] != 0) return true;
    return false;
}

// The length of the longest end of bytes that is the start of a mark.
int markStartAtEnd(const unsigned char *bytes, int count)
{
    for (int length = count < pipeStreamMarkLength - 1 ? count : pipeStreamMarkLength - 1; length > 0; --length)
        if (std::memcmp(bytes + count - length, pipeStreamMark, static_cast<size_t>(length)) == 0) return length;
    return 0;
}

const unsigned char *findMark(const unsigned char *bytes, int count)
{
    for (int at = 0; at + pipeStreamMarkLength <= count; ++at)
        if (bytes[at] == static_cast<unsigned char>(pipeStreamMark[0]) &&
            std::memcmp(bytes + at, pipeStreamMark, pipeStreamMarkLength) == 0)
            return bytes + at;
    return nullptr;
}

void appendFrames(const unsigned char *frames, long long count, InputRing &ring, PipeTake &take)
{
    if (count <= 0) return;
    appendToRing(ring, frames, count);
    take.frames += count;
    take.sounding = take.sounding || framesSound(frames, count);
}

}  // namespace

void makePipeFraming(PipeFraming &framing)
{
    framing.heldCount = 0;
}

PipeTake takePipeBytes(PipeFraming &framing, const unsigned char *bytes, int count, InputRing &ring)
{
    PipeTake take = {0, false, 0};
    // What was held back goes first; a buffer of its own keeps the caller's
    // bytes as they are.
    static_assert(pipeReadBytes % pipeFrameBytes == 0, "a full read ends on a frame");
    unsigned char joined[sizeof framing.held + pipeReadBytes];
    if (count < 0) count = 0;
    if (count > pipeReadBytes) count = pipeReadBytes;
    std::memcpy(joined, framing.held, static_cast<size_t>(framing.heldCount));
    std::memcpy(joined + framing.heldCount, bytes, static_cast<size_t>(count));
    const unsigned char *at = joined;
    const unsigned char *end = joined + framing.heldCount + count;
    for (const unsigned char *mark; (mark = findMark(at, static_cast<int>(end - at))) != nullptr;) {
        // A recording that ended part way through a frame: that part is lost.
        appendFrames(at, (mark - at) / pipeFrameBytes, ring, take);
        ++take.marks;
        at = mark + pipeStreamMarkLength;
    }
    const int left = static_cast<int>(end - at);
    const int maybeMark = markStartAtEnd(at, left);
    const long long frames = (left - maybeMark) / pipeFrameBytes;
    appendFrames(at, frames, ring, take);
    at += frames * pipeFrameBytes;
    framing.heldCount = static_cast<int>(end - at);
    std::memmove(framing.held, at, static_cast<size_t>(framing.heldCount));
    return take;
}
