// PCM WAV files through the platform's multimedia file (RIFF) functions.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "sound/sound_output.h"

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
// Large enough for hours of CD-quality stereo; a bigger size is a damaged file.
constexpr DWORD largestDataChunk = 1u << 30;

bool readChunks(HMMIO file, MMCKINFO &riff, const std::string &path, SoundSource &source, std::string &error)
{
    MMCKINFO format = {};
    format.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file, &format, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        error = "'" + path + "' has no format chunk";
        return false;
    }
    unsigned char header[40] = {};
    const LONG wanted = format.cksize < sizeof header ? static_cast<LONG>(format.cksize) : LONG{sizeof header};
    if (format.cksize < 16 || mmioRead(file, reinterpret_cast<HPSTR>(header), wanted) != wanted) {
        error = "'" + path + "' has a format chunk that is too short";
        return false;
    }
    unsigned int tag = littleEndian(header, 2);
    if (tag == extensibleTag && wanted >= 40 && std::memcmp(header + 26, subformatTail, 14) == 0)
        tag = littleEndian(header + 24, 2);
    PcmFormat pcm;
    pcm.integerPcm = tag == WAVE_FORMAT_PCM;
    pcm.floatingPoint = tag == floatTag;
    pcm.channels = static_cast<int>(littleEndian(header + 2, 2));
    pcm.sampleRate = littleEndian(header + 4, 4);
    pcm.blockAlign = static_cast<int>(littleEndian(header + 12, 2));
    pcm.bitsPerSample = static_cast<int>(littleEndian(header + 14, 2));
    if (const char *problem = pcmFormatProblem(pcm)) {
        error = "'" + path + "': " + problem;
        return false;
    }
    mmioAscend(file, &format, 0);

    MMCKINFO data = {};
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        error = "'" + path + "' has no data chunk";
        return false;
    }
    if (data.cksize > largestDataChunk) {
        error = "'" + path + "' declares a data chunk of more than 1 GiB";
        return false;
    }
    // A file cut short plays what it has; the declared size alone would
    // also have the host set aside memory for bytes that are not there.
    const LONG end = mmioSeek(file, 0, SEEK_END);
    const LONG present = end < 0 || mmioSeek(file, static_cast<LONG>(data.dwDataOffset), SEEK_SET) < 0
                             ? 0
                             : end - static_cast<LONG>(data.dwDataOffset);
    const LONG wantedBytes = present < static_cast<LONG>(data.cksize) ? present : static_cast<LONG>(data.cksize);
    const long long frames = wantedBytes > 0 ? wantedBytes / pcm.blockAlign : 0;
    const LONG size = static_cast<LONG>(frames * pcm.blockAlign);
    if (frames == 0) {
        error = "'" + path + "' holds no samples";
        return false;
    }
    source.bytes.assign(static_cast<size_t>(size), 0);
    if (mmioRead(file, reinterpret_cast<HPSTR>(source.bytes.data()), size) != size) {
        error = "cannot read the samples of '" + path + "'";
        return false;
    }
    if (present < static_cast<LONG>(data.cksize))
        std::printf("vishost: '%s' ends early: %ld of the %lu bytes of sound it declares are there\n", path.c_str(),
                    static_cast<long>(size), static_cast<unsigned long>(data.cksize));
    int bitsPerSample = pcm.bitsPerSample;
    if (pcm.floatingPoint) {
        // Played and shown as 16-bit integers: every sound device takes those.
        source.bytes.resize(static_cast<size_t>(floatSamplesToPcm16(source.bytes.data(), frames * pcm.channels)));
        bitsPerSample = 16;
    }
    source.block = PcmBlock{source.bytes.data(), frames, pcm.channels, bitsPerSample / 8, false};
    source.sampleRate = static_cast<int>(pcm.sampleRate);
    source.bitsPerSample = bitsPerSample;
    return true;
}

WavFileRead readFile(HMMIO file, const std::string &path, SoundSource &source, std::string &error)
{
    MMCKINFO riff = {};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return WavFileRead::notWav;
    if (!readChunks(file, riff, path, source, error)) return WavFileRead::refused;
    return WavFileRead::loaded;
}

}  // namespace

WavFileRead loadWavFile(const std::string &path, SoundSource &source, std::string &error)
{
    HMMIO file = mmioOpenA(const_cast<char *>(path.c_str()), nullptr, MMIO_READ | MMIO_ALLOCBUF | MMIO_DENYWRITE);
    if (!file) {
        error = "cannot open '" + path + "'";
        return WavFileRead::refused;
    }
    const WavFileRead read = readFile(file, path, source, error);
    mmioClose(file, 0);
    return read;
}
