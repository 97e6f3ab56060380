#include "sound/files/wav_layout.h"

#include <cstring>

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
constexpr unsigned int pcmTag = 1;
constexpr unsigned int floatTag = 3;
constexpr unsigned int extensibleTag = 0xFFFE;

bool readWhole(const ByteSource &source, long long offset, void *bytes, int count)
{
    return source.readAt(source.context, offset, bytes, count) == count;
}

struct Chunk {
    long long offset = 0;  // of its contents
    unsigned int size = 0;
};

// Finds the chunk id among the top-level chunks, walking them up to the
// file's real end: writers leave the RIFF size 0 on a recording cut short,
// and 0xFFFFFFFF past 4 GiB.
bool findChunk(const ByteSource &source, const char *id, Chunk &chunk)
{
    for (long long at = 12; at + 8 <= source.size;) {
        unsigned char header[8];
        if (!readWhole(source, at, header, sizeof header)) return false;
        chunk.offset = at + 8;
        chunk.size = littleEndian(header + 4, 4);
        if (std::memcmp(header, id, 4) == 0) return true;
        at = chunk.offset + chunk.size + (chunk.size & 1);
    }
    return false;
}

WavLayoutStatus readFormat(const ByteSource &source, WavLayout &layout)
{
    Chunk format;
    if (!findChunk(source, "fmt ", format)) return WavLayoutStatus::noFormatChunk;
    unsigned char header[40] = {};
    const int wanted = format.size < sizeof header ? static_cast<int>(format.size) : static_cast<int>(sizeof header);
    if (format.size < 16 || !readWhole(source, format.offset, header, wanted)) return WavLayoutStatus::formatTooShort;
    unsigned int tag = littleEndian(header, 2);
    if (tag == extensibleTag && wanted >= 40 && std::memcmp(header + 26, subformatTail, 14) == 0)
        tag = littleEndian(header + 24, 2);
    PcmFormat &pcm = layout.pcm;
    pcm.integerPcm = tag == pcmTag;
    pcm.floatingPoint = tag == floatTag;
    pcm.channels = static_cast<int>(littleEndian(header + 2, 2));
    pcm.sampleRate = littleEndian(header + 4, 4);
    pcm.blockAlign = static_cast<int>(littleEndian(header + 12, 2));
    pcm.bitsPerSample = static_cast<int>(littleEndian(header + 14, 2));
    layout.formatProblem = pcmFormatProblem(pcm);
    return layout.formatProblem ? WavLayoutStatus::formatNotHandled : WavLayoutStatus::found;
}

}  // namespace

WavLayoutStatus readWavLayout(const ByteSource &source, WavLayout &layout)
{
    layout = WavLayout{};
    unsigned char riff[12];
    if (!readWhole(source, 0, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return WavLayoutStatus::notWav;
    const WavLayoutStatus format = readFormat(source, layout);
    if (format != WavLayoutStatus::found) return format;

    Chunk data;
    if (!findChunk(source, "data", data)) return WavLayoutStatus::noDataChunk;
    // A file cut short plays what it has; a placeholder size stands for
    // the rest of the file.
    layout.dataOffset = data.offset;
    layout.presentBytes = source.size > data.offset ? source.size - data.offset : 0;
    layout.placeholderSize = data.size == 0 || data.size == 0xFFFFFFFFu;
    layout.declaredBytes = layout.placeholderSize ? layout.presentBytes : data.size;
    layout.cutShort = layout.presentBytes < layout.declaredBytes;
    const long long wanted = layout.cutShort ? layout.presentBytes : layout.declaredBytes;
    layout.frames = wanted / layout.pcm.blockAlign;
    return WavLayoutStatus::found;
}
