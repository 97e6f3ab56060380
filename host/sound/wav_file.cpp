// PCM WAV files through the platform's multimedia file (RIFF) functions,
// read a piece at a time as they play.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "sound/sound_stream.h"

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

bool fail(SoundStream &stream, const std::string &what)
{
    stream.error = quotedName(stream) + what;
    return false;
}

// The RIFF file, closed when it goes out of scope.
class MmioFile {
public:
    explicit MmioFile(const std::wstring &path)
        : file_(mmioOpenW(const_cast<wchar_t *>(path.c_str()), nullptr, MMIO_READ | MMIO_ALLOCBUF | MMIO_DENYWRITE))
    {
    }
    ~MmioFile()
    {
        if (file_) mmioClose(file_, 0);
    }
    MmioFile(const MmioFile &) = delete;
    MmioFile &operator=(const MmioFile &) = delete;
    operator HMMIO() const { return file_; }

private:
    HMMIO file_;
};

long long fileSize(const std::wstring &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool readFormat(HMMIO file, MMCKINFO &riff, SoundStream &stream, PcmFormat &pcm)
{
    MMCKINFO format = {};
    format.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file, &format, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return fail(stream, " has no format chunk");
    unsigned char header[40] = {};
    const LONG wanted = format.cksize < sizeof header ? static_cast<LONG>(format.cksize) : LONG{sizeof header};
    if (format.cksize < 16 || mmioRead(file, reinterpret_cast<HPSTR>(header), wanted) != wanted)
        return fail(stream, " has a format chunk that is too short");
    unsigned int tag = littleEndian(header, 2);
    if (tag == extensibleTag && wanted >= 40 && std::memcmp(header + 26, subformatTail, 14) == 0)
        tag = littleEndian(header + 24, 2);
    pcm.integerPcm = tag == WAVE_FORMAT_PCM;
    pcm.floatingPoint = tag == floatTag;
    pcm.channels = static_cast<int>(littleEndian(header + 2, 2));
    pcm.sampleRate = littleEndian(header + 4, 4);
    pcm.blockAlign = static_cast<int>(littleEndian(header + 12, 2));
    pcm.bitsPerSample = static_cast<int>(littleEndian(header + 14, 2));
    if (const char *problem = pcmFormatProblem(pcm)) return fail(stream, std::string(": ") + problem);
    mmioAscend(file, &format, 0);
    return true;
}

// Reads the data chunk a piece at a time into the stream, as far as the
// file holds it. Returns false with stream.error set on a failure.
bool readSamples(HMMIO file, MMCKINFO &riff, SoundStream &stream, const PcmFormat &pcm)
{
    MMCKINFO data = {};
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return fail(stream, " has no data chunk");
    // A file cut short plays what it has.
    const long long size = fileSize(stream.entry.path);
    const long long present = size > data.dwDataOffset ? size - data.dwDataOffset : 0;
    const long long wanted = present < data.cksize ? present : data.cksize;
    const long long frames = wanted / pcm.blockAlign;
    if (frames == 0) return fail(stream, " holds no samples");
    if (present < data.cksize)
        stream.note = quotedName(stream) + " ends early: " + std::to_string(frames * pcm.blockAlign) + " of the " +
                      std::to_string(data.cksize) + " bytes of sound it declares are there";
    const int bitsOut = pcm.floatingPoint ? 16 : pcm.bitsPerSample;
    if (!streamFormat(stream, static_cast<int>(pcm.sampleRate), pcm.channels, bitsOut))
        return fail(stream, ": " + stream.error);

    unsigned char piece[1 << 16];
    const long long pieceFrames = static_cast<long long>(sizeof piece) / pcm.blockAlign;
    for (long long done = 0; done < frames;) {
        const long long count = frames - done < pieceFrames ? frames - done : pieceFrames;
        const LONG bytes = static_cast<LONG>(count * pcm.blockAlign);
        const LONG got = mmioRead(file, reinterpret_cast<HPSTR>(piece), bytes);
        if (got < 0) return fail(stream, ": its samples cannot be read past " + std::to_string(done) + " frames");
        const long long gotFrames = got / pcm.blockAlign;
        // Played and shown as 16-bit integers: every sound device takes those.
        if (pcm.floatingPoint) floatSamplesToPcm16(piece, gotFrames * pcm.channels);
        if (!streamFrames(stream, piece, gotFrames)) return stream.error.empty() || fail(stream, ": " + stream.error);
        done += gotFrames;
        if (got < bytes) break;  // the file shrank while it played
    }
    return true;
}

}  // namespace

WavDecode decodeWavFile(SoundStream &stream)
{
    const DWORD attributes = GetFileAttributesW(stream.entry.path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        stream.error = "cannot find the sound file " + quotedName(stream);
        return WavDecode::failed;
    }
    MmioFile file(stream.entry.path);
    if (!file) {
        stream.error = "cannot open " + quotedName(stream);
        return WavDecode::failed;
    }
    MMCKINFO riff = {};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return WavDecode::notWav;
    PcmFormat pcm;
    if (!readFormat(file, riff, stream, pcm) || !readSamples(file, riff, stream, pcm)) return WavDecode::failed;
    return WavDecode::done;
}
