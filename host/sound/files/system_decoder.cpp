#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cstdio>

#include "owners/com_owner.h"
#include "sound/files/system_decoder.h"

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

// Hands every sample the reader gives to the target, as long as they keep
// the format pcm. Returns false with target.error set when the decoder
// failed, not naming the file.
bool readSamples(IMFSourceReader *reader, DecodeTarget &target, const PcmFormat &pcm)
{
    for (;;) {
        DWORD flags = 0;
        ComOwner<IMFSample> sample;
        const HRESULT result = reader->ReadSample(audioStream, 0, nullptr, &flags, nullptr, sample.put());
        if (FAILED(result)) {
            target.error = "the decoder stopped with " + hresultText(result);
            return false;
        }
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) {
            PcmFormat now;
            std::string ignored;
            if (!readFormat(reader, now, ignored) || now.channels != pcm.channels ||
                now.sampleRate != pcm.sampleRate || now.blockAlign != pcm.blockAlign) {
                target.error = "its sound changes format part way";
                return false;
            }
        }
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM) return true;
        if (!sample) continue;
        ComOwner<IMFMediaBuffer> buffer;
        BYTE *data = nullptr;
        DWORD length = 0;
        if (FAILED(sample->ConvertToContiguousBuffer(buffer.put())) || FAILED(buffer->Lock(&data, nullptr, &length))) {
            target.error = "the decoder gave a sample that cannot be read";
            return false;
        }
        const long long frames = length / static_cast<DWORD>(pcm.blockAlign);
        const bool going = giveFrames(target, data, frames, pcm);
        buffer->Unlock();
        if (!going) return target.error.empty();
    }
}

bool decodeWith(IMFSourceReader *reader, const SoundEntry &entry, DecodeTarget &target)
{
    const HRESULT result = askForPcm(reader);
    if (FAILED(result)) {
        target.error = quotedName(entry) + " has no sound the system can decode (" + hresultText(result) + ")";
        return false;
    }
    PcmFormat pcm;
    std::string problem;
    if (!readFormat(reader, pcm, problem)) {
        target.error = quotedName(entry) + problem;
        return false;
    }
    if (!announceFormat(target, entry, pcm)) return false;
    if (!readSamples(reader, target, pcm)) {
        const bool none = target.framesGiven == 0;
        target.error = quotedName(entry) + (none ? " holds no sound the system can decode: " : ": ") + target.error;
        return false;
    }
    if (target.framesGiven == 0) {
        target.error = quotedName(entry) + " holds no sound the system can decode";
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

bool decodeWithSystem(const SoundEntry &entry, DecodeTarget &target)
{
    // Asked again with the size it says it needs when the first buffer is short.
    std::wstring fullPath(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(entry.path.c_str(), MAX_PATH, &fullPath[0], nullptr);
    if (length >= MAX_PATH) {
        fullPath.assign(length, L'\0');
        length = GetFullPathNameW(entry.path.c_str(), length, &fullPath[0], nullptr);
    }
    if (length == 0 || length >= fullPath.size()) {
        target.error = "cannot use the path " + quotedName(entry);
        return false;
    }
    fullPath.resize(length);
    MediaFoundation decoders;
    if (FAILED(decoders.result())) {
        target.error = "cannot decode " + quotedName(entry) + ": the system's media decoders do not start (" +
                       hresultText(decoders.result()) + ")";
        return false;
    }
    // The reader goes before the decoders shut down: the other way round the
    // process may crash as it exits.
    ComOwner<IMFSourceReader> reader;
    const HRESULT result = MFCreateSourceReaderFromURL(fullPath.c_str(), nullptr, reader.put());
    if (FAILED(result)) {
        target.error = quotedName(entry) + " is not a sound file the system can decode (" + hresultText(result) +
                       "; under Wine, MP3, FLAC and Ogg need GStreamer's base and good plug-ins)";
        return false;
    }
    return decodeWith(reader.get(), entry, target);
}
