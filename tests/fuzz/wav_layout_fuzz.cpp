// Feeds arbitrary bytes to the WAV reader's walk as if they were the file,
// through reads that fail the run on any offset or count outside it, and
// checks what it found against the bytes themselves: the sound it would
// read lies within the file and within what the data chunk declares.
#include "sound/files/wav_layout.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

struct Memory {
    const std::uint8_t *data;
    long long size;
};

long long readMemory(void *context, long long offset, void *bytes, int count)
{
    const Memory &file = *static_cast<const Memory *>(context);
    require(offset >= 0 && offset <= file.size && count > 0);
    const long long taken = file.size - offset < count ? file.size - offset : count;
    if (taken > 0) std::memcpy(bytes, file.data + offset, static_cast<std::size_t>(taken));
    return taken;
}

unsigned int littleEndian32(const std::uint8_t *bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<unsigned int>(bytes[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Memory file = {data, static_cast<long long>(size)};
    const ByteSource source = {&file, file.size, readMemory};
    WavLayout layout;
    const WavLayoutStatus status = readWavLayout(source, layout);
    const bool riffWave = size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0;
    require(riffWave == (status != WavLayoutStatus::notWav));
    if (status == WavLayoutStatus::formatNotHandled) require(layout.formatProblem != nullptr);
    if (status != WavLayoutStatus::found) return 0;

    const PcmFormat &pcm = layout.pcm;
    require(pcmFormatProblem(pcm) == nullptr && pcm.blockAlign > 0);
    // The data chunk's header lies whole in the file, its sound after it.
    require(layout.dataOffset >= 20 && layout.dataOffset <= file.size);
    require(std::memcmp(data + layout.dataOffset - 8, "data", 4) == 0);
    const unsigned int size32 = littleEndian32(data + layout.dataOffset - 4);
    require(layout.placeholderSize == (size32 == 0 || size32 == 0xFFFFFFFFu));
    require(layout.declaredBytes == (layout.placeholderSize ? layout.presentBytes : size32));
    require(layout.presentBytes == file.size - layout.dataOffset);
    require(layout.cutShort == (layout.presentBytes < layout.declaredBytes));
    // What is read lies in the file and in what the chunk declares, and is
    // all the whole frames of that.
    const long long bytes = layout.frames * pcm.blockAlign;
    require(layout.frames >= 0 && bytes <= layout.presentBytes && bytes <= layout.declaredBytes);
    const long long readable = layout.cutShort ? layout.presentBytes : layout.declaredBytes;
    require(readable - bytes < pcm.blockAlign);
    require(layout.dataOffset + bytes <= file.size);
    return 0;
}
