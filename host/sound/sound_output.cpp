#include <windows.h>
#include <mmsystem.h>

#include "sound/demo_program.h"
#include "sound/sound_output.h"

namespace {

// One playback per program.
HWAVEOUT waveDevice = nullptr;
WAVEHDR waveHeader = {};
int deviceBlockAlign = 1;
LARGE_INTEGER clockStart = {};
LARGE_INTEGER clockFrequency = {};
int playbackRate = 1;
bool steadyClock = false;
long long steadyMilliseconds = 0;

bool openDevice(const SoundSource &source)
{
    if (waveOutGetNumDevs() == 0) return false;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(source.block.channels);
    format.nSamplesPerSec = static_cast<DWORD>(source.sampleRate);
    format.wBitsPerSample = static_cast<WORD>(source.bitsPerSample);
    format.nBlockAlign = static_cast<WORD>(source.block.channels * source.block.bytesPerSample);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    if (waveOutOpen(&waveDevice, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        waveDevice = nullptr;
        return false;
    }
    waveHeader = {};
    waveHeader.lpData = reinterpret_cast<LPSTR>(const_cast<unsigned char *>(source.block.bytes));
    waveHeader.dwBufferLength = static_cast<DWORD>(source.block.frameCount * format.nBlockAlign);
    if (source.block.loops) {
        waveHeader.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
        waveHeader.dwLoops = 0x7FFFFFFF;
    }
    if (waveOutPrepareHeader(waveDevice, &waveHeader, sizeof waveHeader) != MMSYSERR_NOERROR ||
        waveOutWrite(waveDevice, &waveHeader, sizeof waveHeader) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(waveDevice, &waveHeader, sizeof waveHeader);
        waveOutClose(waveDevice);
        waveDevice = nullptr;
        return false;
    }
    deviceBlockAlign = format.nBlockAlign;
    return true;
}

}  // namespace

void makeDemoSource(SoundSource &source)
{
    source.bytes.assign(static_cast<size_t>(demoFrameCount * demoChannels * demoBytesPerSample), 0);
    writeDemoProgram(source.bytes.data());
    source.block = PcmBlock{source.bytes.data(), demoFrameCount, demoChannels, demoBytesPerSample, true};
    source.sampleRate = demoSampleRate;
    source.bitsPerSample = demoBytesPerSample * 8;
}

std::string startPlayback(const SoundSource &source, bool mute)
{
    playbackRate = source.sampleRate;
    QueryPerformanceFrequency(&clockFrequency);
    QueryPerformanceCounter(&clockStart);
    if (mute) return std::string();
    if (openDevice(source)) return std::string();
    return waveOutGetNumDevs() == 0 ? "no sound device: the clock paces the sound"
                                    : "the sound device does not play this format: the clock paces the sound";
}

void useSteadyClock()
{
    steadyClock = true;
    steadyMilliseconds = 0;
}

void advanceSteadyClock(int milliseconds)
{
    steadyMilliseconds += milliseconds;
}

long long playPosition()
{
    if (steadyClock) return framesInTicks(steadyMilliseconds, 1000, playbackRate);
    if (waveDevice) {
        MMTIME time = {};
        time.wType = TIME_SAMPLES;
        if (waveOutGetPosition(waveDevice, &time, sizeof time) == MMSYSERR_NOERROR) {
            if (time.wType == TIME_SAMPLES) return time.u.sample;
            if (time.wType == TIME_BYTES) return time.u.cb / deviceBlockAlign;
        }
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return framesInTicks(now.QuadPart - clockStart.QuadPart, clockFrequency.QuadPart, playbackRate);
}

void stopPlayback()
{
    if (!waveDevice) return;
    waveOutReset(waveDevice);
    waveOutUnprepareHeader(waveDevice, &waveHeader, sizeof waveHeader);
    waveOutClose(waveDevice);
    waveDevice = nullptr;
}
