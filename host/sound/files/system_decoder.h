// Sound files other than WAV (MP3, FLAC, Ogg Vorbis, ...) through the
// system's media decoders, Media Foundation's source reader, decoded a
// sample at a time as they play.
#pragma once

#include "sound/files/decode_target.h"

// Whether it came to the end without a failure; target.error says why
// not, naming the file.
bool decodeWithSystem(const SoundEntry &entry, DecodeTarget &target);
