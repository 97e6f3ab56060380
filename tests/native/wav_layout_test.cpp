// Where the WAV reader finds a file's format and sound: chunks walked to
// the file's real end past odd sizes' pad bytes, placeholder sizes as the
// rest of the file, a file cut short read as far as it goes.
#include "sound/files/wav_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string le(unsigned int value, int count)
{
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += static_cast<char>(value >> 8 * i & 0xFF);
    return bytes;
}

std::string chunk(const char *id, unsigned int size, const std::string &body)
{
    return id + le(size, 4) + body;
}

std::string wave(const std::string &chunks, unsigned int riffSize = 1000)
{
    return "RIFF" + le(riffSize, 4) + "WAVE" + chunks;
}

// Format fields: tag, channels, rate, bytes a second, block, bits.
std::string format(unsigned int tag, int channels, int bits)
{
    const int block = channels * bits / 8;
    return le(tag, 2) + le(channels, 2) + le(44100, 4) + le(44100 * block, 4) + le(block, 2) + le(bits, 2);
}

const std::string pcm16Stereo = chunk("fmt ", 16, format(1, 2, 16));

std::string extensible(unsigned int subformat, int channels, int bits)
{
    const std::string tail("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    const std::string more = le(22, 2) + le(bits, 2) + le(3, 4) + le(subformat, 2) + tail;
    return chunk("fmt ", 40, format(0xFFFE, channels, bits) + more);
}

long long readString(void *context, long long offset, void *bytes, int count)
{
    const std::string &file = *static_cast<const std::string *>(context);
    const long long size = static_cast<long long>(file.size());
    const long long taken = offset >= size ? 0 : size - offset < count ? size - offset : count;
    std::memcpy(bytes, file.data() + offset, static_cast<size_t>(taken));
    return taken;
}

TEST(WavLayout, FindsTheFormatAndTheSound)
{
    const std::string pad(1, '\0');
    const std::string oddList = chunk("LIST", 3, "abc") + pad;
    const struct {
        const char *what;
        std::string file;
        WavLayoutStatus status;
        long long dataOffset, declared, present, frames;
        bool placeholder, cutShort;
    } rows[] = {
        {"not RIFF", "RIFX" + le(100, 4) + "WAVE" + pcm16Stereo, WavLayoutStatus::notWav, 0, 0, 0, 0, false, false},
        {"shorter than its header", "RIFF" + le(0, 4) + "WAV", WavLayoutStatus::notWav, 0, 0, 0, 0, false, false},
        {"no format", wave(chunk("data", 4, "abcd")), WavLayoutStatus::noFormatChunk, 0, 0, 0, 0, false, false},
        {"format under 16 bytes", wave(chunk("fmt ", 14, format(1, 2, 16).substr(0, 14))),
         WavLayoutStatus::formatTooShort, 0, 0, 0, 0, false, false},
        {"format cut short", wave(chunk("fmt ", 16, format(1, 2, 16).substr(0, 10))), WavLayoutStatus::formatTooShort,
         0, 0, 0, 0, false, false},
        {"compressed", wave(chunk("fmt ", 16, format(2, 2, 16))), WavLayoutStatus::formatNotHandled, 0, 0, 0, 0, false,
         false},
        {"extensible, unknown subformat", wave(extensible(2, 2, 16)), WavLayoutStatus::formatNotHandled, 0, 0, 0, 0,
         false, false},
        {"no data", wave(pcm16Stereo + oddList), WavLayoutStatus::noDataChunk, 0, 0, 0, 0, false, false},
        // 12 + 24 of format; 8 + 3 + 1 of list; 8 of data header.
        {"odd chunk padded", wave(pcm16Stereo + oddList + chunk("data", 8, "12345678")), WavLayoutStatus::found, 56,
         8, 8, 2, false, false},
        {"extensible PCM", wave(extensible(1, 6, 24) + chunk("data", 36, std::string(36, 'x'))),
         WavLayoutStatus::found, 12 + 48 + 8, 36, 36, 2, false, false},
        {"extensible float", wave(extensible(3, 4, 32) + chunk("data", 32, std::string(32, 'x'))),
         WavLayoutStatus::found, 68, 32, 32, 2, false, false},
        {"sizes left 0", wave(pcm16Stereo + chunk("data", 0, "1234567890"), 0), WavLayoutStatus::found, 44, 10, 10, 2,
         true, false},
        {"sizes left all ones", wave(pcm16Stereo + chunk("data", 0xFFFFFFFF, "12345678"), 0xFFFFFFFF),
         WavLayoutStatus::found, 44, 8, 8, 2, true, false},
        {"cut short", wave(pcm16Stereo + chunk("data", 100, "1234567890")), WavLayoutStatus::found, 44, 100, 10, 2,
         false, true},
        {"more after the sound", wave(pcm16Stereo + chunk("data", 5, "12345") + pad + chunk("LIST", 2, "ab")),
         WavLayoutStatus::found, 44, 5, 16, 1, false, false},
    };
    for (const auto &row : rows) {
        const ByteSource source = {const_cast<std::string *>(&row.file), static_cast<long long>(row.file.size()),
                                   readString};
        WavLayout layout;
        ASSERT_EQ(readWavLayout(source, layout), row.status) << row.what;
        if (row.status != WavLayoutStatus::found) continue;
        EXPECT_EQ(layout.dataOffset, row.dataOffset) << row.what;
        EXPECT_EQ(layout.declaredBytes, row.declared) << row.what;
        EXPECT_EQ(layout.presentBytes, row.present) << row.what;
        EXPECT_EQ(layout.frames, row.frames) << row.what;
        EXPECT_EQ(layout.placeholderSize, row.placeholder) << row.what;
        EXPECT_EQ(layout.cutShort, row.cutShort) << row.what;
    }
}

}  // namespace
