#include "sound/files/decode_target.h"

std::string quotedName(const SoundEntry &entry)
{
    return "'" + entry.name + "'";
}

bool announceFormat(DecodeTarget &target, const SoundEntry &entry, const PcmFormat &pcm)
{
    const RingFormat ring = ringFormatOf(pcm);
    std::string why;
    if (target.format(target.context, static_cast<int>(pcm.sampleRate), ring.channels, ring.bytesPerSample * 8, why))
        return true;
    target.error = quotedName(entry) + ": " + why;
    return false;
}

bool giveFrames(DecodeTarget &target, unsigned char *bytes, long long frames, const PcmFormat &pcm)
{
    toRingFormat(bytes, frames, pcm);
    std::string why;
    const bool going = target.frames(target.context, bytes, frames, why);
    if (going)
        target.framesGiven += frames;
    else
        target.error = why;
    return going;
}
