// The sound of a run: the built-in program, or the files of the command
// line, a playlist's entries in its place, played in turn. The next file
// starts decoding once the one playing is decoded, so that it is ready by
// the time that one has played.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sound/files/sound_stream.h"

struct PlayQueue {
    PlayQueue() = default;
    PlayQueue(const PlayQueue &) = delete;
    PlayQueue &operator=(const PlayQueue &) = delete;

    std::vector<SoundEntry> entries;
    size_t nextEntry = 0;
    std::unique_ptr<SoundStream> playing, upcoming;
    Pacing pacing = Pacing::device;
    int goodEntries = 0;  // left without a failure, or still playing
    // For the caller to print, oldest first: errors each on a line of
    // their own (the entries that cannot be played), notes for the user.
    std::vector<std::string> errors, notes;
};

// Lists the entries: each file, or a playlist's entries in its place; the
// built-in program when there are no files. A playlist that cannot be read
// is named in errors.
void makePlayQueue(PlayQueue &queue, const std::vector<std::string> &files);

// Starts the first entry that can be played and waits until it is ready;
// those before it are named in errors. Returns false when none can be.
bool startFirstEntry(PlayQueue &queue);

// Starts the playing entry's play position (and sound device).
void startPlaying(PlayQueue &queue);

// Between frames, at the playing entry's play position: starts the next
// entry's decoder once the playing one's has finished, and moves on to it,
// started playing, once the playing one has played. Entries that cannot be
// played are named in errors and skipped; a sound device lost part way
// through is named once in notes.
enum class QueueStep { same, moved, ended };
QueueStep stepQueue(PlayQueue &queue, long long position);

// Ends the decoders and the device; the playing entry's failure, if it
// failed, goes to errors.
void stopQueue(PlayQueue &queue);
