// Sound in which every sample names the frame it came from: frame f's top
// byte is f % 100 + 1 on the left and its negative on the right, so that a
// test reads back which frames the vis was given.
#pragma once

#include <cstddef>
#include <vector>

inline int leftOf(long long frame)
{
    return static_cast<int>(frame % 100) + 1;
}

// count frames from frame from on, little-endian samples of bytesPerSample
// bytes (8-bit ones unsigned), the bytes below the top one filler.
inline std::vector<unsigned char> numberedFrames(long long from, long long count, int channels = 2,
                                                 int bytesPerSample = 2)
{
    std::vector<unsigned char> bytes;
    for (long long f = from; f < from + count; ++f)
        for (int c = 0; c < channels; ++c) {
            const int value = c == 0 ? leftOf(f) : -leftOf(f);
            bytes.insert(bytes.end(), static_cast<std::size_t>(bytesPerSample - 1), 0xA5);
            bytes.push_back(static_cast<unsigned char>(bytesPerSample == 1 ? value + 128 : value));
        }
    return bytes;
}
