#include "sound/live/live_input.h"

#include <cctype>
#include <cstring>

void makeInputRing(InputRing &ring, long long frames, int channels, int bytesPerSample)
{
    ring.bytes.assign(static_cast<size_t>(frames * channels * bytesPerSample), 0);
    ring.block = PcmBlock{ring.bytes.data(), frames, channels, bytesPerSample};
    ring.framesWritten = 0;
}

void appendToRing(InputRing &ring, const unsigned char *frames, long long count)
{
    const long long capacity = ring.block.frameCount;
    const long long frameBytes = ring.block.channels * ring.block.bytesPerSample;
    // More than the ring holds: only the newest fit.
    if (count > capacity) {
        frames += (count - capacity) * frameBytes;
        ring.framesWritten += count - capacity;
        count = capacity;
    }
    while (count > 0) {
        const long long at = ring.framesWritten % capacity;
        const long long run = count < capacity - at ? count : capacity - at;
        std::memcpy(&ring.bytes[static_cast<size_t>(at * frameBytes)], frames, static_cast<size_t>(run * frameBytes));
        frames += run * frameBytes;
        ring.framesWritten += run;
        count -= run;
    }
}

void makeInputBuffers(InputBuffers &buffers)
{
    for (int i = 0; i < inputBufferCount; ++i) buffers.handedAt[i] = i;
    buffers.handedOut = inputBufferCount;
    buffers.refusals = 0;
}

int collectBuffers(InputBuffers &buffers, InputRing &ring, const InputDevice &device)
{
    int done[inputBufferCount];
    long long frames[inputBufferCount];
    int count = 0;
    for (int i = 0; i < inputBufferCount; ++i) {
        if (buffers.handedAt[i] < 0) continue;
        frames[i] = device.recordedFrames(device.context, i);
        if (frames[i] < 0) continue;
        // In the order handed over: a few at most, so a plain insertion.
        int at = count++;
        for (; at > 0 && buffers.handedAt[done[at - 1]] > buffers.handedAt[i]; --at) done[at] = done[at - 1];
        done[at] = i;
    }
    for (int n = 0; n < count; ++n) {
        appendToRing(ring, device.bufferBytes(device.context, done[n]), frames[done[n]]);
        buffers.handedAt[done[n]] = -1;
    }
    for (int i = 0; i < inputBufferCount; ++i) {
        if (buffers.handedAt[i] >= 0) continue;
        if (device.handOver(device.context, i))
            buffers.handedAt[i] = buffers.handedOut++;
        else
            ++buffers.refusals;
    }
    return count;
}

namespace {

std::string lowered(const std::string &text)
{
    std::string result = text;
    for (char &c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

}  // namespace

int pickInputDevice(const std::vector<std::string> &names, const std::string &wanted, std::string &error)
{
    const std::string key = lowered(wanted.substr(0, deviceNameLimit));
    std::vector<int> containing;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string name = lowered(names[i]);
        if (name == key) return static_cast<int>(i);
        if (name.find(key) != std::string::npos) containing.push_back(static_cast<int>(i));
    }
    if (containing.size() == 1) return containing.front();
    if (containing.empty()) {
        error = "no recording device has '" + wanted + "' in its name (--list-inputs lists them)";
    } else {
        error = "'" + wanted + "' is in the names of several recording devices:";
        for (size_t i = 0; i < containing.size(); ++i)
            error += std::string(i ? "," : "") + " '" + names[static_cast<size_t>(containing[i])] + "'";
        error += "; give more of the name";
    }
    return -1;
}
