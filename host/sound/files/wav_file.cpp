#include <windows.h>

#include "sound/files/wav_file.h"
#include "sound/files/wav_layout.h"

namespace {

bool fail(DecodeTarget &target, const SoundEntry &entry, const std::string &what)
{
    target.error = quotedName(entry) + what;
    return false;
}

// The file, closed when it goes out of scope.
class FileOwner {
public:
    explicit FileOwner(const std::wstring &path)
        : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr))
    {
    }
    ~FileOwner()
    {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    FileOwner(const FileOwner &) = delete;
    FileOwner &operator=(const FileOwner &) = delete;
    HANDLE get() const { return file_; }
    bool opened() const { return file_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE file_;
};

// Reads up to count bytes on from where the last read ended; how many
// came, or -1 on a failure.
long long readNext(HANDLE file, void *bytes, DWORD count)
{
    DWORD got = 0;
    return ReadFile(file, bytes, count, &got, nullptr) ? got : -1;
}

long long readAt(HANDLE file, long long offset, void *bytes, DWORD count)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ? readNext(file, bytes, count) : -1;
}

long long readFileAt(void *context, long long offset, void *bytes, int count)
{
    return readAt(static_cast<HANDLE>(context), offset, bytes, static_cast<DWORD>(count));
}

// Reads the sound a piece at a time into the stream, as far as the file
// holds it. Returns false with target.error set on a failure.
bool readSamples(HANDLE file, const SoundEntry &entry, DecodeTarget &target, const WavLayout &layout)
{
    const PcmFormat &pcm = layout.pcm;
    if (layout.frames == 0) return fail(target, entry, " holds no samples");
    if (layout.cutShort)
        target.note = quotedName(entry) + " ends early: " + std::to_string(layout.frames * pcm.blockAlign) +
                      " of the " + std::to_string(layout.declaredBytes) + " bytes of sound it declares are there";
    if (!announceFormat(target, entry, pcm)) return false;

    unsigned char piece[1 << 16];
    const long long pieceFrames = static_cast<long long>(sizeof piece) / pcm.blockAlign;
    for (long long done = 0; done < layout.frames;) {
        const long long count = layout.frames - done < pieceFrames ? layout.frames - done : pieceFrames;
        const DWORD bytes = static_cast<DWORD>(count * pcm.blockAlign);
        const long long got = done == 0 ? readAt(file, layout.dataOffset, piece, bytes) : readNext(file, piece, bytes);
        if (got < 0) return fail(target, entry, ": its samples cannot be read past " + std::to_string(done) + " frames");
        const long long gotFrames = got / pcm.blockAlign;
        if (!giveFrames(target, piece, gotFrames, pcm))
            return target.error.empty() || fail(target, entry, ": " + target.error);
        done += gotFrames;
        if (got < bytes) break;  // the file shrank while it played
    }
    return true;
}

}  // namespace

WavDecode decodeWavFile(const SoundEntry &entry, DecodeTarget &target)
{
    const DWORD attributes = GetFileAttributesW(entry.path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        target.error = "cannot find the sound file " + quotedName(entry);
        return WavDecode::failed;
    }
    // What cannot be opened here may still open for the system's decoders,
    // which then say what is wrong.
    FileOwner file(entry.path);
    LARGE_INTEGER size = {};
    if (!file.opened() || !GetFileSizeEx(file.get(), &size)) return WavDecode::notWav;
    const ByteSource source = {file.get(), size.QuadPart, readFileAt};
    WavLayout layout;
    switch (readWavLayout(source, layout)) {
    case WavLayoutStatus::notWav:
        return WavDecode::notWav;
    case WavLayoutStatus::noFormatChunk:
        fail(target, entry, " has no format chunk");
        return WavDecode::failed;
    case WavLayoutStatus::formatTooShort:
        fail(target, entry, " has a format chunk that is too short");
        return WavDecode::failed;
    case WavLayoutStatus::formatNotHandled:
        target.error = layout.formatProblem;
        return WavDecode::notHandled;
    case WavLayoutStatus::noDataChunk:
        fail(target, entry, " has no data chunk");
        return WavDecode::failed;
    case WavLayoutStatus::found:
        break;
    }
    return readSamples(file.get(), entry, target, layout) ? WavDecode::done : WavDecode::failed;
}
