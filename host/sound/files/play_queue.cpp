#include "sound/files/play_queue.h"

#include <new>

#include "sound/files/playlist.h"
#include "text/wide_text.h"

namespace {

// Far beyond any playlist; a bigger file is not one.
constexpr long long largestPlaylist = 16LL << 20;

bool readPlaylist(const std::string &path, std::string &text)
{
    HANDLE file =
        CreateFileW(wideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool read = GetFileSizeEx(file, &size) && size.QuadPart <= largestPlaylist;
    if (read) {
        text.assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        read = text.empty() || (ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr) &&
                                got == text.size());
    }
    CloseHandle(file);
    return read;
}

// Ends a stream's decoder and device. One whose decoder does not end is
// let go with its memory, which that thread may still use. Returns whether
// the decoder ended, so that what it wrote may be read.
bool closeStream(PlayQueue &queue, std::unique_ptr<SoundStream> &stream)
{
    if (!stream) return false;
    std::string error;
    if (!stopStream(*stream, error)) {
        queue.errors.push_back(error);
        stream.release();
        return false;
    }
    return true;
}

// Closes the playing entry: what came of it goes to the user, read once its
// decoder has ended and no longer writes it.
void closePlayingEntry(PlayQueue &queue)
{
    if (!closeStream(queue, queue.playing)) return;
    const SoundStream &left = *queue.playing;
    if (left.state.load() == StreamState::failed) {
        queue.errors.push_back(left.error);
    } else {
        if (!left.note.empty()) queue.notes.push_back(left.note);
        ++queue.goodEntries;
    }
    queue.playing.reset();
}

// Starts the next entry's decoder; null when no entries are left. One
// whose decoder cannot start is named and skipped.
std::unique_ptr<SoundStream> startNext(PlayQueue &queue)
{
    while (queue.nextEntry < queue.entries.size()) {
        std::unique_ptr<SoundStream> stream(new (std::nothrow) SoundStream);
        const SoundEntry &entry = queue.entries[queue.nextEntry++];
        std::string error;
        if (!stream) {
            queue.errors.push_back("no memory to play '" + entry.name + "'");
            continue;
        }
        if (startStream(*stream, entry, error)) return stream;
        queue.errors.push_back(error);
        closeStream(queue, stream);
    }
    return nullptr;
}

// Makes the first entry from candidate on that is ready to play the
// playing one. Returns false when none is.
bool playFirstReady(PlayQueue &queue, std::unique_ptr<SoundStream> candidate)
{
    for (;;) {
        if (!candidate) candidate = startNext(queue);
        if (!candidate) return false;
        std::string error;
        if (waitUntilReady(*candidate, error)) {
            queue.playing = std::move(candidate);
            return true;
        }
        queue.errors.push_back(error);
        closeStream(queue, candidate);
        candidate.reset();
    }
}

}  // namespace

void makePlayQueue(PlayQueue &queue, const std::vector<std::string> &files)
{
    if (files.empty()) queue.entries.push_back(SoundEntry{std::wstring(), "the built-in program"});
    for (const std::string &file : files) {
        if (!isPlaylistPath(file)) {
            queue.entries.push_back(SoundEntry{wideText(file), file});
            continue;
        }
        std::string text;
        if (!readPlaylist(file, text)) {
            queue.errors.push_back("cannot read the playlist '" + file + "'");
            continue;
        }
        // Decoded before it is joined to the folder, which is UTF-8 already.
        const std::vector<PlaylistEntry> listed = playlistEntries(playlistTextAsUtf8(text), folderOf(file));
        if (listed.empty()) queue.errors.push_back("the playlist '" + file + "' lists no files");
        for (const PlaylistEntry &entry : listed) {
            if (entry.local)
                queue.entries.push_back(SoundEntry{wideText(entry.path), entry.path});
            else
                queue.errors.push_back("'" + entry.path + "' in the playlist '" + file + "' is not a local file");
        }
    }
}

bool startFirstEntry(PlayQueue &queue)
{
    return playFirstReady(queue, nullptr);
}

void startPlaying(PlayQueue &queue)
{
    const std::string note = startPlayback(*queue.playing, queue.pacing);
    if (!note.empty()) queue.notes.push_back(note);
}

QueueStep stepQueue(PlayQueue &queue, long long position)
{
    if (deviceLossToSay(queue.playing->device))
        queue.notes.push_back("the sound device stopped playing " + quotedName(queue.playing->entry) +
                              " part way through: the clock paces the rest, unheard");
    if (!queue.upcoming && decoderFinished(*queue.playing)) queue.upcoming = startNext(queue);
    if (!playedToEnd(*queue.playing, position)) return QueueStep::same;
    closePlayingEntry(queue);
    if (!playFirstReady(queue, std::move(queue.upcoming))) return QueueStep::ended;
    startPlaying(queue);
    return QueueStep::moved;
}

void stopQueue(PlayQueue &queue)
{
    closePlayingEntry(queue);
    closeStream(queue, queue.upcoming);
    queue.upcoming.reset();
}
