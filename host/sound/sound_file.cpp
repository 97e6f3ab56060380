// Sound files other than WAV (MP3, FLAC, Ogg Vorbis, ...) through the
// system's media decoders, Media Foundation's source reader, decoded a
// sample at a time as they play.
#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cstdio>

#include "owners/com_owner.h"
#include "sound/decoders.h"

namespace {

constexpr DWORD audioStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

std::string hresultText(HRESULT result)
{
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08lx", static_cast<unsigned long>(result));
    return text;
}

// Asks for 16-bit PCM at the file's own rate and channels: the decoders
// do not make stereo of every layout, so the front pair is kept as it is
// read (toRingFormat).
HRESULT askForPcm(IMFSourceReader *reader)
{
    ComOwner<IMFMediaType> wanted;
    HRESULT result = reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (SUCCEEDED(result)) result = reader->SetStreamSelection(audioStream, TRUE);
    if (SUCCEEDED(result)) result = MFCreateMediaType(wanted.put());
    if (SUCCEEDED(result)) result = wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    if (SUCCEEDED(result)) result = wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
    if (SUCCEEDED(result)) result = wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
    if (SUCCEEDED(result)) result = reader->SetCurrentMediaType(audioStream, nullptr, wanted.get());
    return result;
}

// The format the reader gives; false when it gives none it can, with problem saying why.
bool readFormat(IMFSourceReader *reader, PcmFormat &pcm, std::string &problem)
{
    ComOwner<IMFMediaType> type;
    const HRESULT result = reader->GetCurrentMediaType(audioStream, type.put());
    if (FAILED(result)) {
        problem = " gives no PCM sound (" + hresultText(result) + ")";
        return false;
    }
    pcm.integerPcm = true;
    pcm.channels = static_cast<int>(MFGetAttributeUINT32(type.get(), MF_MT_AUDIO_NUM_CHANNELS, 0));
    pcm.sampleRate = MFGetAttributeUINT32(type.get(), MF_MT_AUDIO_SAMPLES_PER_SECOND, 0);
    pcm.bitsPerSample = static_cast<int>(MFGetAttributeUINT32(type.get(), MF_MT_AUDIO_BITS_PER_SAMPLE, 0));
    pcm.blockAlign = static_cast<int>(MFGetAttributeUINT32(type.get(), MF_MT_AUDIO_BLOCK_ALIGNMENT, 0));
    if (const char *text = pcmFormatProblem(pcm)) {
        problem = std::string(" decodes to sound this host does not take: ") + text;
        return false;
    }
    return true;
}

// Hands every sample the reader gives to the stream, as long as they keep
// the format pcm. Returns false with stream.error set when the decoder
// failed, not naming the file.
bool readSamples(IMFSourceReader *reader, SoundStream &stream, const PcmFormat &pcm)
{
    for (;;) {
        DWORD flags = 0;
        ComOwner<IMFSample> sample;
        const HRESULT result = reader->ReadSample(audioStream, 0, nullptr, &flags, nullptr, sample.put());
        if (FAILED(result)) {
            stream.error = "the decoder stopped with " + hresultText(result);
            return false;
        }
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) {
            PcmFormat now;
            std::string ignored;
            if (!readFormat(reader, now, ignored) || now.channels != pcm.channels ||
                now.sampleRate != pcm.sampleRate || now.blockAlign != pcm.blockAlign) {
                stream.error = "its sound changes format part way";
                return false;
            }
        }
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM) return true;
        if (!sample) continue;
        ComOwner<IMFMediaBuffer> buffer;
        BYTE *data = nullptr;
        DWORD length = 0;
        if (FAILED(sample->ConvertToContiguousBuffer(buffer.put())) || FAILED(buffer->Lock(&data, nullptr, &length))) {
            stream.error = "the decoder gave a sample that cannot be read";
            return false;
        }
        const long long frames = length / static_cast<DWORD>(pcm.blockAlign);
        toRingFormat(data, frames, pcm);
        const bool going = streamFrames(stream, data, frames);
        buffer->Unlock();
        if (!going) return stream.error.empty();
    }
}

bool decodeWith(IMFSourceReader *reader, SoundStream &stream)
{
    const HRESULT result = askForPcm(reader);
    if (FAILED(result)) {
        stream.error = quotedName(stream) + " has no sound the system can decode (" + hresultText(result) + ")";
        return false;
    }
    PcmFormat pcm;
    std::string problem;
    if (!readFormat(reader, pcm, problem)) {
        stream.error = quotedName(stream) + problem;
        return false;
    }
    const RingFormat ring = ringFormatOf(pcm);
    if (!streamFormat(stream, static_cast<int>(pcm.sampleRate), ring.channels, ring.bytesPerSample * 8)) {
        stream.error = quotedName(stream) + ": " + stream.error;
        return false;
    }
    if (!readSamples(reader, stream, pcm)) {
        const bool none = stream.ring.written.load() == 0;
        stream.error = quotedName(stream) + (none ? " holds no sound the system can decode: " : ": ") + stream.error;
        return false;
    }
    if (stream.ring.written.load() == 0) {
        stream.error = quotedName(stream) + " holds no sound the system can decode";
        return false;
    }
    return true;
}

// COM and the media decoders started on this thread, and shut down in reverse.
class MediaFoundation {
public:
    MediaFoundation()
        : com_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))),
          result_(MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET))
    {
    }
    ~MediaFoundation()
    {
        if (SUCCEEDED(result_)) MFShutdown();
        if (com_) CoUninitialize();
    }
    MediaFoundation(const MediaFoundation &) = delete;
    MediaFoundation &operator=(const MediaFoundation &) = delete;
    HRESULT result() const { return result_; }

private:
    bool com_;
    HRESULT result_;
};

}  // namespace

bool decodeWithSystem(SoundStream &stream)
{
    // Asked again with the size it says it needs when the first buffer is short.
    std::wstring fullPath(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(stream.entry.path.c_str(), MAX_PATH, &fullPath[0], nullptr);
    if (length >= MAX_PATH) {
        fullPath.assign(length, L'\0');
        length = GetFullPathNameW(stream.entry.path.c_str(), length, &fullPath[0], nullptr);
    }
    if (length == 0 || length >= fullPath.size()) {
        stream.error = "cannot use the path " + quotedName(stream);
        return false;
    }
    fullPath.resize(length);
    MediaFoundation decoders;
    if (FAILED(decoders.result())) {
        stream.error = "cannot decode " + quotedName(stream) + ": the system's media decoders do not start (" +
                       hresultText(decoders.result()) + ")";
        return false;
    }
    // The reader goes before the decoders shut down: the other way round the
    // process may crash as it exits.
    ComOwner<IMFSourceReader> reader;
    const HRESULT result = MFCreateSourceReaderFromURL(fullPath.c_str(), nullptr, reader.put());
    if (FAILED(result)) {
        stream.error = quotedName(stream) + " is not a sound file the system can decode (" + hresultText(result) +
                       "; under Wine, MP3, FLAC and Ogg need GStreamer's base and good plug-ins)";
        return false;
    }
    return decodeWith(reader.get(), stream);
}
