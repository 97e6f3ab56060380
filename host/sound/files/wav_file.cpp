#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "sound/files/wav_file.h"

namespace {

unsigned int littleEndian(const unsigned char *bytes, int count)
{
    unsigned int value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// The extensible format tag's subformats are the plain tags followed by
// these 14 bytes, as they lie in the file.
constexpr unsigned char subformatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr unsigned int extensibleTag = 0xFFFE;
constexpr unsigned int floatTag = 3;  // WAVE_FORMAT_IEEE_FLOAT

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

struct Chunk {
    long long offset = 0;  // of its contents
    unsigned int size = 0;
};

// Finds the chunk id among the top-level chunks, walking them up to the
// file's real end: writers leave the RIFF size 0 on a recording cut short,
// and 0xFFFFFFFF past 4 GiB.
bool findChunk(HANDLE file, long long fileSize, const char *id, Chunk &chunk)
{
    for (long long at = 12; at + 8 <= fileSize;) {
        unsigned char header[8];
        if (readAt(file, at, header, sizeof header) != sizeof header) return false;
        chunk.offset = at + 8;
        chunk.size = littleEndian(header + 4, 4);
        if (std::memcmp(header, id, 4) == 0) return true;
        at = chunk.offset + chunk.size + (chunk.size & 1);
    }
    return false;
}

// Reads the format chunk. Returns failed with target.error set when it is
// broken, notHandled with target.error saying why (without the name) when
// it is a format this reader leaves to the system's decoders.
WavDecode readFormat(HANDLE file, long long fileSize, const SoundEntry &entry, DecodeTarget &target, PcmFormat &pcm)
{
    Chunk format;
    if (!findChunk(file, fileSize, "fmt ", format)) {
        fail(target, entry, " has no format chunk");
        return WavDecode::failed;
    }
    unsigned char header[40] = {};
    const long long wanted = format.size < sizeof header ? format.size : static_cast<long long>(sizeof header);
    if (format.size < 16 || readAt(file, format.offset, header, static_cast<DWORD>(wanted)) != wanted) {
        fail(target, entry, " has a format chunk that is too short");
        return WavDecode::failed;
    }
    unsigned int tag = littleEndian(header, 2);
    if (tag == extensibleTag && wanted >= 40 && std::memcmp(header + 26, subformatTail, 14) == 0)
        tag = littleEndian(header + 24, 2);
    pcm.integerPcm = tag == WAVE_FORMAT_PCM;
    pcm.floatingPoint = tag == floatTag;
    pcm.channels = static_cast<int>(littleEndian(header + 2, 2));
    pcm.sampleRate = littleEndian(header + 4, 4);
    pcm.blockAlign = static_cast<int>(littleEndian(header + 12, 2));
    pcm.bitsPerSample = static_cast<int>(littleEndian(header + 14, 2));
    if (const char *problem = pcmFormatProblem(pcm)) {
        target.error = problem;
        return WavDecode::notHandled;
    }
    return WavDecode::done;
}

// Reads the data chunk a piece at a time into the stream, as far as the
// file holds it. Returns false with target.error set on a failure.
bool readSamples(HANDLE file, long long fileSize, const SoundEntry &entry, DecodeTarget &target, const PcmFormat &pcm)
{
    Chunk data;
    if (!findChunk(file, fileSize, "data", data)) return fail(target, entry, " has no data chunk");
    // A file cut short plays what it has; a placeholder size (0, or
    // 0xFFFFFFFF) stands for the rest of the file.
    const long long present = fileSize > data.offset ? fileSize - data.offset : 0;
    const bool placeholder = data.size == 0 || data.size == 0xFFFFFFFFu;
    const long long declared = placeholder ? present : data.size;
    const long long wanted = present < declared ? present : declared;
    const long long frames = wanted / pcm.blockAlign;
    if (frames == 0) return fail(target, entry, " holds no samples");
    if (present < declared)
        target.note = quotedName(entry) + " ends early: " + std::to_string(frames * pcm.blockAlign) + " of the " +
                      std::to_string(declared) + " bytes of sound it declares are there";
    if (!announceFormat(target, entry, pcm)) return false;

    unsigned char piece[1 << 16];
    const long long pieceFrames = static_cast<long long>(sizeof piece) / pcm.blockAlign;
    for (long long done = 0; done < frames;) {
        const long long count = frames - done < pieceFrames ? frames - done : pieceFrames;
        const DWORD bytes = static_cast<DWORD>(count * pcm.blockAlign);
        const long long got = done == 0 ? readAt(file, data.offset, piece, bytes) : readNext(file, piece, bytes);
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
    unsigned char riff[12];
    if (!file.opened() || !GetFileSizeEx(file.get(), &size) || readAt(file.get(), 0, riff, sizeof riff) != 12 ||
        std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return WavDecode::notWav;
    PcmFormat pcm;
    const WavDecode format = readFormat(file.get(), size.QuadPart, entry, target, pcm);
    if (format != WavDecode::done) return format;
    return readSamples(file.get(), size.QuadPart, entry, target, pcm) ? WavDecode::done : WavDecode::failed;
}
