#include "resources/bitmap_file_layout.h"

namespace {

// The compression codes of the published format that the loader hands on.
constexpr std::uint32_t uncompressed = 0;
constexpr std::uint32_t runLength8 = 1;
constexpr std::uint32_t runLength4 = 2;

std::uint16_t word16(const unsigned char *bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t word32(const unsigned char *bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::int32_t signed32(const unsigned char *bytes)
{
    return static_cast<std::int32_t>(word32(bytes));
}

// The colour-table size in bytes for the depths the loader knows, or -1.
std::int64_t colourTableBytes(std::uint16_t bitCount)
{
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
        return std::int64_t{4} << bitCount;
    case 24:
        return 0;
    default:
        return -1;
    }
}

bool compressionFits(std::uint16_t bitCount, std::uint32_t compression)
{
    return compression == uncompressed || (compression == runLength8 && bitCount == 8) ||
           (compression == runLength4 && bitCount == 4);
}

}  // namespace

BmpFileHeader decodeFileHeader(const unsigned char (&bytes)[fileHeaderSize])
{
    BmpFileHeader header;
    header.bfType = word16(bytes + 0);
    header.bfSize = word32(bytes + 2);
    header.bfReserved1 = word16(bytes + 6);
    header.bfReserved2 = word16(bytes + 8);
    header.bfOffBits = word32(bytes + 10);
    return header;
}

BmpInfoHeader decodeInfoHeader(const unsigned char (&bytes)[infoHeaderSize])
{
    BmpInfoHeader header;
    header.biSize = word32(bytes + 0);
    header.biWidth = signed32(bytes + 4);
    header.biHeight = signed32(bytes + 8);
    header.biPlanes = word16(bytes + 12);
    header.biBitCount = word16(bytes + 14);
    header.biCompression = word32(bytes + 16);
    header.biSizeImage = word32(bytes + 20);
    header.biXPelsPerMeter = signed32(bytes + 24);
    header.biYPelsPerMeter = signed32(bytes + 28);
    header.biClrUsed = word32(bytes + 32);
    header.biClrImportant = word32(bytes + 36);
    return header;
}

BitmapLayout planBitmapLayout(const BmpFileHeader &file, const BmpInfoHeader &info)
{
    const BitmapLayout refused = {false, 0, 0, 0, 0};

    // The platform takes the colour table from biSize bytes on, and a longer
    // header's fields from memory the loader never filled.
    if (info.biSize != infoHeaderSize) return refused;
    const std::int64_t tableBytes = colourTableBytes(info.biBitCount);
    if (tableBytes < 0 || !compressionFits(info.biBitCount, info.biCompression)) return refused;
    if (info.biClrUsed > tableBytes / 4) return refused;
    if (info.biWidth <= 0 || info.biHeight == 0) return refused;
    // Unsigned subtraction would wrap to nearly 4 GB.
    if (file.bfSize < file.bfOffBits) return refused;

    const std::uint64_t pixelRead = file.bfSize - file.bfOffBits;
    // Uncompressed rows are padded to 4 bytes; run-length data is read up to
    // biSizeImage bytes. 64 bits hold any width times any depth here.
    std::uint64_t taken = info.biSizeImage;
    if (info.biCompression == uncompressed) {
        const std::uint64_t rowBytes =
            (static_cast<std::uint64_t>(info.biWidth) * info.biBitCount + 31) / 32 * 4;
        const std::int64_t height = info.biHeight;
        const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
        if (rowBytes > maxPixelBlockSize) return refused;
        taken = rowBytes * rows;
    }
    const std::uint64_t block = taken > pixelRead ? taken : pixelRead;
    if (block > maxPixelBlockSize) return refused;

    BitmapLayout layout;
    layout.makeBitmap = true;
    layout.colourTableSize = static_cast<std::uint32_t>(tableBytes);
    layout.formatBlockSize = infoHeaderSize + layout.colourTableSize;
    layout.pixelReadSize = static_cast<std::uint32_t>(pixelRead);
    layout.pixelBlockSize = static_cast<std::uint32_t>(block);
    return layout;
}
