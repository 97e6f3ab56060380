// What the decoders and the stream they fill say to each other: the
// decoders the stream's thread runs, and what they call back.
#pragma once

#include <string>

#include "sound/sound_stream.h"

// The decoders, run on a stream's decoder thread. Each announces the
// format with streamFormat, hands its frames to streamFrames until the end
// or streamFrames returns false (the stream is stopping), and returns
// whether it came to the end without a failure, with stream.error (or, for
// a file cut short, stream.note) set otherwise. decodeWavFile's notHandled:
// a WAV file of a kind it leaves to the system's decoders, stream.error
// saying why without the file's name.
enum class WavDecode { done, failed, notWav, notHandled };
WavDecode decodeWavFile(SoundStream &stream);
bool decodeWithSystem(SoundStream &stream);
bool decodeDemo(SoundStream &stream);

// Makes the ring for the given format. Returns false with stream.error set
// when the memory is not there.
bool streamFormat(SoundStream &stream, int sampleRate, int channels, int bitsPerSample);
bool streamFrames(SoundStream &stream, const unsigned char *frames, long long count);

// 'name': what messages say of a file.
std::string quotedName(const SoundStream &stream);
