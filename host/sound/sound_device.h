// What the decoder side of a stream asks of its sound device (the rest,
// the play position, is in sound_stream.h).
#pragma once

#include "sound/sound_stream.h"

// Hands the device every chunk filled since the last call; once it refuses
// one it gets no more. Called with the device's lock held.
void giveChunksToDevice(SoundStream &stream);

// Whether the decoder may fill chunk: no device, or it is done with the
// chunk that slot held before.
bool slotFreeOfDevice(SoundStream &stream, long long chunk);

// Stops and closes the device, once the decoder has ended.
void closeDevice(SoundStream &stream);
