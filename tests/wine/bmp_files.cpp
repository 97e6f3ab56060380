#include "bmp_files.h"

static void put16(Bytes &out, std::uint32_t value)
{
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

static void put32(Bytes &out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

Bytes headerBytes(const BmpFields &f)
{
    Bytes out;
    put16(out, f.bfType);
    put32(out, f.bfSize);
    put16(out, 0);
    put16(out, 0);
    put32(out, f.bfOffBits);
    put32(out, f.biSize);
    put32(out, static_cast<std::uint32_t>(f.biWidth));
    put32(out, static_cast<std::uint32_t>(f.biHeight));
    put16(out, f.biPlanes);
    put16(out, f.biBitCount);
    put32(out, f.biCompression);
    put32(out, f.biSizeImage);
    put32(out, static_cast<std::uint32_t>(f.biXPelsPerMeter));
    put32(out, static_cast<std::uint32_t>(f.biYPelsPerMeter));
    put32(out, f.biClrUsed);
    put32(out, f.biClrImportant);
    return out;
}

int rowBytes(int width, int bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

Bytes pixelRows(int width, int height, int bitCount, const PixelValue &value)
{
    const int rows = height < 0 ? -height : height;
    const int stride = rowBytes(width, bitCount);
    Bytes out(static_cast<std::size_t>(stride) * rows, 0xEE);
    for (int row = 0; row < rows; ++row) {
        const int y = height < 0 ? row : rows - 1 - row;
        unsigned char *line = out.data() + static_cast<std::size_t>(row) * stride;
        if (bitCount == 24) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t colour = value(x, y);
                line[3 * x] = colour & 0xFF;
                line[3 * x + 1] = (colour >> 8) & 0xFF;
                line[3 * x + 2] = (colour >> 16) & 0xFF;
            }
            continue;
        }
        const int perByte = 8 / bitCount;
        for (int i = 0; i < (width + perByte - 1) / perByte; ++i) line[i] = 0;
        for (int x = 0; x < width; ++x) {
            const int shift = 8 - bitCount * (x % perByte + 1);
            line[x / perByte] |= static_cast<unsigned char>(value(x, y) << shift);
        }
    }
    return out;
}

std::vector<std::uint32_t> testColours(int count)
{
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < count; ++i)
        colours.push_back(static_cast<std::uint32_t>((i * 37 + 11) % 256) << 16 |
                          static_cast<std::uint32_t>(255 - i) << 8 | static_cast<std::uint32_t>(i));
    return colours;
}

Bytes tableBytes(const std::vector<std::uint32_t> &colours)
{
    Bytes out;
    for (const std::uint32_t colour : colours) put32(out, colour & 0xFFFFFF);
    return out;
}

Bytes TestFile::bytes() const
{
    Bytes out = headerBytes(fields);
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), gap.begin(), gap.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

TestFile usualFile(int width, int height, int bitCount, const PixelValue &value)
{
    TestFile file;
    file.fields.biWidth = width;
    file.fields.biHeight = height;
    file.fields.biBitCount = static_cast<std::uint16_t>(bitCount);
    if (bitCount != 24) file.table = tableBytes(testColours(1 << bitCount));
    file.pixels = pixelRows(width, height, bitCount, value);
    file.fields.biSizeImage = static_cast<std::uint32_t>(file.pixels.size());
    file.fields.bfOffBits = static_cast<std::uint32_t>(54 + file.table.size());
    file.fields.bfSize = file.fields.bfOffBits + file.fields.biSizeImage;
    return file;
}
