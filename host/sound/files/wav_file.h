// PCM WAV files (integer or float samples, any number of channels), their
// RIFF chunks walked with plain file reads (the multimedia file functions
// take a name only through the system's code page), read a piece at a time
// as they play.
#pragma once

#include "sound/files/decode_target.h"

// notWav: not a RIFF WAVE file at all. notHandled: a WAV file of a kind
// left to the system's decoders, target.error saying why without the
// file's name. failed: target.error says why, naming it; done: it came to
// its end (target.note may say it was cut short).
enum class WavDecode { done, failed, notWav, notHandled };
WavDecode decodeWavFile(const SoundEntry &entry, DecodeTarget &target);
