// BMP files as the tests write them for the face loader: the two headers
// field by field, an optional colour table and gap, and the pixel rows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The header fields of a test file, as written.
struct BmpFields {
    std::uint16_t bfType = 0x4D42;  // "BM"
    std::uint32_t bfSize = 0;
    std::uint32_t bfOffBits = 0;
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 2835;
    std::int32_t biYPelsPerMeter = -2835;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

// The 14-byte file header and the 40-byte info header, little-endian.
Bytes headerBytes(const BmpFields &fields);

// Bytes of one pixel row, padded to a multiple of 4.
int rowBytes(int width, int bitCount);

// value(x, y) is a colour index, or 0x00RRGGBB at 24 bits; y counts from the
// top of the picture.
using PixelValue = std::function<std::uint32_t(int x, int y)>;

// Pixel data in file order: rows padded with 0xEE, bottom row first unless
// the height is negative.
Bytes pixelRows(int width, int height, int bitCount, const PixelValue &value);

// `count` colours, all different, as 0x00RRGGBB, and as a colour table.
std::vector<std::uint32_t> testColours(int count);
Bytes tableBytes(const std::vector<std::uint32_t> &colours);

struct TestFile {
    BmpFields fields;
    Bytes table;
    Bytes gap;  // between the table and the pixels
    Bytes pixels;
    Bytes bytes() const;
};

// A file laid out the usual way: the headers, a full colour table below 24
// bits, the pixels, bfSize at the end.
TestFile usualFile(int width, int height, int bitCount, const PixelValue &value);
