// The PCM formats the host reads (a WAV file's, or what the system's
// decoders give) and what its ring keeps of them. Platform-free.
#pragma once

// Whether a format of PCM frames (a WAV file's, or what the system's
// decoders give) is one the host takes: integer PCM of 8, 16, 24 or 32 bits
// or 32-bit floating point, any number of channels, a rate from 1 Hz to
// 1 MHz, and a block size that matches. Returns null when it is, else what
// is wrong, for the user.
struct PcmFormat {
    bool integerPcm;  // format tag PCM, or the extensible tag with the PCM subformat
    int channels;
    long long sampleRate;
    int bitsPerSample;
    int blockAlign;
    bool floatingPoint = false;  // IEEE float tag, or the extensible tag with that subformat
};
const char *pcmFormatProblem(const PcmFormat &format);

// What the ring, the vis and the sound device get of a format the host
// takes: the front pair of its channels (the first two in every layout, the
// meters' left and right; mixing the others in would need each layout's
// weights and could clip), as 8-, 16- or 24-bit integers (32-bit integers
// and floats as 16-bit: every sound device takes those).
struct RingFormat {
    int channels;        // 1 or 2
    int bytesPerSample;  // 1, 2 or 3
};
RingFormat ringFormatOf(const PcmFormat &format);

// Makes frameCount frames of format into ringFormatOf(format) in place:
// floats rounded, clipped at full scale, NaN as silence; integers cut to
// their top bytes. Returns the bytes they now take.
long long toRingFormat(unsigned char *bytes, long long frameCount, const PcmFormat &format);
