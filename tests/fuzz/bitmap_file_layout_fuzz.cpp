// Feeds arbitrary bytes to the loader's reading of a BMP file as if they
// were the file. Where the layout allows a bitmap, the load and the bitmap
// creation are played on blocks of exactly the planned sizes, touching every
// byte the platform reads, so that AddressSanitizer sees any access past them.
#include "resources/bitmap_file_layout.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Blocks larger than this are checked by arithmetic only, to keep the
// fuzzer fast; the arithmetic is the same for every size.
constexpr std::uint64_t largestPlayedBlock = 1u << 16;

void require(bool condition)
{
    if (!condition) std::abort();
}

// What the platform takes, by the published rules, independently of the
// layout: the colour table starts biSize bytes into the format block and
// holds biClrUsed entries, or 2^biBitCount when that is 0; uncompressed
// pixels are whole rows padded to 4 bytes; run-length pixels are biSizeImage
// bytes.
std::uint64_t formatBytesTaken(const BmpInfoHeader &info)
{
    std::uint64_t colours = info.biClrUsed;
    if (colours == 0 && info.biBitCount <= 8) colours = std::uint64_t{1} << info.biBitCount;
    return info.biSize + 4 * colours;
}

std::uint64_t pixelBytesTaken(const BmpInfoHeader &info)
{
    if (info.biCompression != 0) return info.biSizeImage;
    const std::int64_t width = info.biWidth < 0 ? -std::int64_t{info.biWidth} : info.biWidth;
    const std::int64_t height = info.biHeight < 0 ? -std::int64_t{info.biHeight} : info.biHeight;
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * info.biBitCount + 31) / 32 * 4;
    return rowBytes * static_cast<std::uint64_t>(height);
}

// The reads of one load: from the current position, as much as is left.
struct FileReader {
    const std::uint8_t *data;
    std::size_t left;
    void read(unsigned char *into, std::uint32_t count)
    {
        const std::size_t taken = count < left ? count : left;
        if (taken) std::memcpy(into, data, taken);
        data += taken;
        left -= taken;
    }
};

volatile unsigned sink;

void touch(const std::vector<unsigned char> &block, std::uint64_t from, std::uint64_t count)
{
    unsigned sum = 0;
    for (std::uint64_t i = 0; i < count; ++i) sum += block.data()[from + i];
    sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The loader makes nothing from headers it could not read whole.
    if (size < fileHeaderSize + infoHeaderSize) return 0;
    FileReader file = {data, size};
    unsigned char fileBytes[fileHeaderSize];
    unsigned char infoBytes[infoHeaderSize];
    file.read(fileBytes, fileHeaderSize);
    file.read(infoBytes, infoHeaderSize);
    const BmpFileHeader fileHeader = decodeFileHeader(fileBytes);
    const BmpInfoHeader info = decodeInfoHeader(infoBytes);

    const BitmapLayout layout = planBitmapLayout(fileHeader, info);
    if (!layout.makeBitmap) {
        require(layout.colourTableSize == 0 && layout.formatBlockSize == 0 && layout.pixelReadSize == 0 &&
                layout.pixelBlockSize == 0);
        return 0;
    }
    require(layout.formatBlockSize == infoHeaderSize + layout.colourTableSize);
    require(layout.pixelReadSize == fileHeader.bfSize - fileHeader.bfOffBits);
    require(layout.pixelReadSize <= layout.pixelBlockSize && layout.pixelBlockSize <= maxPixelBlockSize);
    require(formatBytesTaken(info) <= layout.formatBlockSize);
    require(pixelBytesTaken(info) <= layout.pixelBlockSize);
    if (layout.pixelBlockSize > largestPlayedBlock) return 0;

    std::vector<unsigned char> format(layout.formatBlockSize);
    std::memcpy(format.data(), infoBytes, infoHeaderSize);
    file.read(format.data() + infoHeaderSize, layout.colourTableSize);
    std::vector<unsigned char> pixels(layout.pixelBlockSize);
    file.read(pixels.data(), layout.pixelReadSize);

    const std::uint64_t tableBytes = formatBytesTaken(info) - info.biSize;
    touch(format, info.biSize, tableBytes);
    touch(pixels, 0, pixelBytesTaken(info));
    return 0;
}
