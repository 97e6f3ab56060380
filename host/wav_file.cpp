// PCM WAV files through the platform's multimedia file (RIFF) functions.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "sound_output.h"

namespace {

unsigned int littleEndian(const unsigned char *bytes, int count)
{
    unsigned int value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// The PCM subformat of the extensible format tag, as it lies in the file.
constexpr unsigned char pcmSubformat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr unsigned int extensibleTag = 0xFFFE;
// Large enough for hours of CD-quality stereo; a bigger size is a damaged file.
constexpr DWORD largestDataChunk = 1u << 30;

bool readFile(HMMIO file, const std::string &path, SoundSource &source, std::string &error)
{
    MMCKINFO riff = {};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
        error = "'" + path + "' is not a WAV file (no RIFF WAVE header)";
        return false;
    }
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
    const unsigned int tag = littleEndian(header, 2);
    PcmFormat pcm;
    pcm.integerPcm = tag == WAVE_FORMAT_PCM ||
                     (tag == extensibleTag && wanted >= 40 && std::memcmp(header + 24, pcmSubformat, 16) == 0);
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
    const long long frames = data.cksize / pcm.blockAlign;
    if (frames == 0) {
        error = "'" + path + "' holds no samples";
        return false;
    }
    const LONG size = static_cast<LONG>(frames * pcm.blockAlign);
    source.bytes.assign(static_cast<size_t>(size), 0);
    const LONG got = mmioRead(file, reinterpret_cast<HPSTR>(source.bytes.data()), size);
    if (got != size) {
        char text[128];
        std::snprintf(text, sizeof text, "' is cut short: its data chunk declares %ld bytes, %ld are there",
                      static_cast<long>(size), static_cast<long>(got < 0 ? 0 : got));
        error = "'" + path + text;
        return false;
    }
    source.block = PcmBlock{source.bytes.data(), frames, pcm.channels, pcm.bitsPerSample / 8, false};
    source.sampleRate = static_cast<int>(pcm.sampleRate);
    source.bitsPerSample = pcm.bitsPerSample;
    return true;
}

}  // namespace

bool loadWavFile(const std::string &path, SoundSource &source, std::string &error)
{
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = "cannot find the WAV file '" + path + "'";
        return false;
    }
    HMMIO file = mmioOpenA(const_cast<char *>(path.c_str()), nullptr, MMIO_READ | MMIO_ALLOCBUF | MMIO_DENYWRITE);
    if (!file) {
        error = "cannot open the WAV file '" + path + "'";
        return false;
    }
    const bool read = readFile(file, path, source, error);
    mmioClose(file, 0);
    return read;
}
