// Sound files of any kind: WAV files through the WAV reader, which needs
// no decoder, and everything else (MP3, FLAC, Ogg Vorbis, ...) through the
// system's media decoders, Media Foundation's source reader. The whole file
// is decoded before the run starts, so a frame never waits for a decoder.
#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cstdio>

#include "owners/com_release.h"
#include "sound/sound_output.h"

namespace {

// About 100 minutes of CD-quality stereo; the rest of a longer file is left out.
constexpr size_t largestDecoded = size_t{1} << 30;
constexpr DWORD audioStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

std::string hresultText(HRESULT result)
{
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08lx", static_cast<unsigned long>(result));
    return text;
}

// Asks for 16-bit PCM at the file's own rate: mono stays mono, more than two
// channels are mixed down to stereo.
HRESULT askForPcm(IMFSourceReader *reader)
{
    IMFMediaType *native = nullptr, *wanted = nullptr;
    HRESULT result = reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (SUCCEEDED(result)) result = reader->SetStreamSelection(audioStream, TRUE);
    if (SUCCEEDED(result)) result = reader->GetNativeMediaType(audioStream, 0, &native);
    if (SUCCEEDED(result)) result = MFCreateMediaType(&wanted);
    if (SUCCEEDED(result)) result = wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    if (SUCCEEDED(result)) result = wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
    if (SUCCEEDED(result)) result = wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
    if (SUCCEEDED(result) && MFGetAttributeUINT32(native, MF_MT_AUDIO_NUM_CHANNELS, 2) > 2)
        result = wanted->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, 2);
    if (SUCCEEDED(result)) result = reader->SetCurrentMediaType(audioStream, nullptr, wanted);
    release(wanted);
    release(native);
    return result;
}

bool readFormat(IMFSourceReader *reader, const std::string &path, PcmFormat &pcm, std::string &error)
{
    IMFMediaType *type = nullptr;
    const HRESULT result = reader->GetCurrentMediaType(audioStream, &type);
    if (FAILED(result)) {
        error = "'" + path + "' gives no PCM sound (" + hresultText(result) + ")";
        return false;
    }
    pcm.integerPcm = true;
    pcm.channels = static_cast<int>(MFGetAttributeUINT32(type, MF_MT_AUDIO_NUM_CHANNELS, 0));
    pcm.sampleRate = MFGetAttributeUINT32(type, MF_MT_AUDIO_SAMPLES_PER_SECOND, 0);
    pcm.bitsPerSample = static_cast<int>(MFGetAttributeUINT32(type, MF_MT_AUDIO_BITS_PER_SAMPLE, 0));
    pcm.blockAlign = static_cast<int>(MFGetAttributeUINT32(type, MF_MT_AUDIO_BLOCK_ALIGNMENT, 0));
    release(type);
    if (const char *problem = pcmFormatProblem(pcm)) {
        error = "'" + path + "' decodes to sound this host does not take: " + problem;
        return false;
    }
    return true;
}

// Appends every sample the reader gives to bytes, as long as they keep the
// format pcm. Returns why it stopped early, or an empty text when it read
// to the end.
std::string readSamples(IMFSourceReader *reader, const PcmFormat &pcm, std::vector<unsigned char> &bytes)
{
    for (;;) {
        DWORD flags = 0;
        IMFSample *sample = nullptr;
        const HRESULT result = reader->ReadSample(audioStream, 0, nullptr, &flags, nullptr, &sample);
        if (FAILED(result)) return "the decoder stopped with " + hresultText(result);
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) {
            PcmFormat now;
            std::string ignored;
            if (!readFormat(reader, std::string(), now, ignored) || now.channels != pcm.channels ||
                now.sampleRate != pcm.sampleRate || now.blockAlign != pcm.blockAlign) {
                release(sample);
                return "its sound changes format part way";
            }
        }
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM) {
            release(sample);
            return std::string();
        }
        if (!sample) continue;
        IMFMediaBuffer *buffer = nullptr;
        BYTE *data = nullptr;
        DWORD length = 0;
        std::string stopped;
        if (SUCCEEDED(sample->ConvertToContiguousBuffer(&buffer)) &&
            SUCCEEDED(buffer->Lock(&data, nullptr, &length))) {
            if (bytes.size() + length > largestDecoded)
                stopped = "it is longer than the 1 GiB of sound this host holds";
            else
                bytes.insert(bytes.end(), data, data + length);
            buffer->Unlock();
        }
        release(buffer);
        release(sample);
        if (!stopped.empty()) return stopped;
    }
}

bool decodeWith(IMFSourceReader *reader, const std::string &path, SoundSource &source, std::string &error)
{
    const HRESULT result = askForPcm(reader);
    if (FAILED(result)) {
        error = "'" + path + "' has no sound the system can decode (" + hresultText(result) + ")";
        return false;
    }
    PcmFormat pcm;
    if (!readFormat(reader, path, pcm, error)) return false;
    source.bytes.clear();
    const std::string stopped = readSamples(reader, pcm, source.bytes);
    const long long frames = static_cast<long long>(source.bytes.size()) / pcm.blockAlign;
    if (frames == 0) {
        error = "'" + path + "' holds no sound the system can decode" + (stopped.empty() ? "" : ": " + stopped);
        return false;
    }
    // A file cut off part way plays what came before the cut.
    if (!stopped.empty())
        std::printf("vishost: '%s' ends early: %s; playing the %.2f s before that\n", path.c_str(), stopped.c_str(),
                    static_cast<double>(frames) / static_cast<double>(pcm.sampleRate));
    source.bytes.resize(static_cast<size_t>(frames * pcm.blockAlign));
    source.block = PcmBlock{source.bytes.data(), frames, pcm.channels, pcm.bitsPerSample / 8, false};
    source.sampleRate = static_cast<int>(pcm.sampleRate);
    source.bitsPerSample = pcm.bitsPerSample;
    return true;
}

bool decodeFile(const std::string &path, SoundSource &source, std::string &error)
{
    wchar_t widePath[MAX_PATH * 2], fullPath[MAX_PATH * 2];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH * 2) ||
        !GetFullPathNameW(widePath, MAX_PATH * 2, fullPath, nullptr)) {
        error = "cannot use the path '" + path + "'";
        return false;
    }
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    HRESULT result = MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET);
    if (FAILED(result)) {
        if (com) CoUninitialize();
        error = "cannot decode '" + path + "': the system's media decoders do not start (" + hresultText(result) + ")";
        return false;
    }
    IMFSourceReader *reader = nullptr;
    result = MFCreateSourceReaderFromURL(fullPath, nullptr, &reader);
    bool decoded = false;
    if (FAILED(result))
        error = "'" + path + "' is not a sound file the system can decode (" + hresultText(result) +
                "; under Wine, MP3, FLAC and Ogg need GStreamer's base and good plug-ins)";
    else
        decoded = decodeWith(reader, path, source, error);
    // The reader goes before the decoders shut down: the other way round the
    // process may crash as it exits.
    release(reader);
    MFShutdown();
    if (com) CoUninitialize();
    return decoded;
}

}  // namespace

bool loadSoundFile(const std::string &path, SoundSource &source, std::string &error)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "cannot find the sound file '" + path + "'";
        return false;
    }
    switch (loadWavFile(path, source, error)) {
    case WavFileRead::loaded:
        return true;
    case WavFileRead::refused:
        return false;
    case WavFileRead::notWav:
        break;
    }
    return decodeFile(path, source, error);
}
