// The face's BMP file as the loader reads it: the two headers decoded from
// their bytes, and from them what to read and allocate, and whether a bitmap
// may be made at all. Platform-free.
#pragma once

#include <cstdint>

constexpr std::uint32_t fileHeaderSize = 14;
constexpr std::uint32_t infoHeaderSize = 40;

// Far more than any face needs (137 x 75 at 24 bits is 30,900 bytes) or any
// screen-sized picture (7680 x 4320 at 24 bits is about 100 MB), and little
// enough for a 32-bit process to find in one piece. A file that claims more
// is nonsense, and is refused before the allocator is asked.
constexpr std::uint32_t maxPixelBlockSize = 256u << 20;

// The published field layout, little-endian, without padding.
struct BmpFileHeader {
    std::uint16_t bfType;
    std::uint32_t bfSize;
    std::uint16_t bfReserved1;
    std::uint16_t bfReserved2;
    std::uint32_t bfOffBits;
};

struct BmpInfoHeader {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};

BmpFileHeader decodeFileHeader(const unsigned char (&bytes)[fileHeaderSize]);
BmpInfoHeader decodeInfoHeader(const unsigned char (&bytes)[infoHeaderSize]);

// What one load reads and allocates after the two headers. When makeBitmap is
// false the load reads nothing more and makes no bitmap; the sizes are then 0.
struct BitmapLayout {
    bool makeBitmap;
    std::uint32_t colourTableSize;  // read right behind the info header
    std::uint32_t formatBlockSize;  // the info header and the colour table
    std::uint32_t pixelReadSize;    // bfSize - bfOffBits, read right behind the table
    // At least pixelReadSize, and at least every byte the bitmap creation
    // takes from the pixel block, so that a file claiming too few pixel bytes
    // gives zero pixels instead of a read past the block.
    std::uint32_t pixelBlockSize;
};

// A bitmap is made only from what the loader reads whole and the platform
// reads within the blocks: a 40-byte info header; 1, 4 or 8 bits per pixel
// uncompressed with a colour table of 2^biBitCount entries (run-length
// encoded at 4 and 8), or 24 bits uncompressed with none; no more colours
// announced than that table holds; a positive width and a nonzero height;
// bfSize not below bfOffBits; and a pixel block of at most maxPixelBlockSize.
BitmapLayout planBitmapLayout(const BmpFileHeader &file, const BmpInfoHeader &info);
