#include "resources/bitmap_file_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ostream>

namespace {

TEST(BitmapFileLayout, DecodesTheFileHeaderLittleEndian)
{
    const unsigned char bytes[fileHeaderSize] = {'B', 'M', 0xEA, 0x78, 0x00, 0x00, 0x01, 0x00,
                                                 0x02, 0x80, 0x36, 0x00, 0x00, 0x00};
    const BmpFileHeader header = decodeFileHeader(bytes);
    EXPECT_EQ(header.bfType, 0x4D42);
    EXPECT_EQ(header.bfSize, 30954u);
    EXPECT_EQ(header.bfReserved1, 1);
    EXPECT_EQ(header.bfReserved2, 0x8002);
    EXPECT_EQ(header.bfOffBits, 54u);
}

TEST(BitmapFileLayout, DecodesEveryInfoHeaderFieldWithItsSign)
{
    const unsigned char bytes[infoHeaderSize] = {
        0x28, 0x00, 0x00, 0x00,  // biSize 40
        0x89, 0x00, 0x00, 0x00,  // biWidth 137
        0xB5, 0xFF, 0xFF, 0xFF,  // biHeight -75: top-down
        0x01, 0x00,              // biPlanes
        0x18, 0x00,              // biBitCount 24
        0x04, 0x03, 0x02, 0x01,  // biCompression
        0xB4, 0x78, 0x00, 0x00,  // biSizeImage 30900
        0x13, 0x0B, 0x00, 0x00,  // biXPelsPerMeter 2835
        0xFF, 0xFF, 0xFF, 0xFF,  // biYPelsPerMeter -1
        0x01, 0x02, 0x03, 0x04,  // biClrUsed
        0x00, 0x00, 0x00, 0x80,  // biClrImportant
    };
    const BmpInfoHeader header = decodeInfoHeader(bytes);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 137);
    EXPECT_EQ(header.biHeight, -75);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, 0x01020304u);
    EXPECT_EQ(header.biSizeImage, 30900u);
    EXPECT_EQ(header.biXPelsPerMeter, 2835);
    EXPECT_EQ(header.biYPelsPerMeter, -1);
    EXPECT_EQ(header.biClrUsed, 0x04030201u);
    EXPECT_EQ(header.biClrImportant, 0x80000000u);
}

// One file's header fields and the layout expected for them. Row sizes in the
// comments: 137 pixels are 412 bytes a row at 24 bits, 140 at 8, 72 at 4 and
// 20 at 1.
struct LayoutRow {
    const char *name;
    std::uint32_t bfSize, bfOffBits;
    std::uint32_t biSize;
    std::int32_t biWidth, biHeight;
    std::uint16_t biBitCount;
    std::uint32_t biCompression, biSizeImage, biClrUsed;
    bool makeBitmap;
    std::uint32_t colourTableSize, formatBlockSize, pixelReadSize, pixelBlockSize;
};

std::ostream &operator<<(std::ostream &out, const LayoutRow &row)
{
    return out << row.name;
}

constexpr std::uint32_t cap = 256u << 20;

constexpr LayoutRow layoutRows[] = {
    // The usual files: bfOffBits right behind a full table, bfSize the image's end.
    {"face24", 30954, 54, 40, 137, 75, 24, 0, 30900, 0, true, 0, 40, 30900, 30900},
    {"face24TopDown", 30954, 54, 40, 137, -75, 24, 0, 0, 0, true, 0, 40, 30900, 30900},
    {"face8", 11578, 1078, 40, 137, 75, 8, 0, 10500, 0, true, 1024, 1064, 10500, 10500},
    {"face8AllColoursNamed", 11578, 1078, 40, 137, 75, 8, 0, 10500, 256, true, 1024, 1064, 10500, 10500},
    {"face4", 5518, 118, 40, 137, 75, 4, 0, 5400, 0, true, 64, 104, 5400, 5400},
    {"face1", 1562, 62, 40, 137, 75, 1, 0, 1500, 2, true, 8, 48, 1500, 1500},
    // A file cut short still gets the whole image's block, its rows padded
    // to four bytes (two would do at 24 bits, not at 8 or 1).
    {"shortFace8", 1178, 1078, 40, 137, 75, 8, 0, 0, 0, true, 1024, 1064, 100, 10500},
    {"shortFace1", 162, 62, 40, 137, 75, 1, 0, 0, 2, true, 8, 48, 100, 1500},
    // Read as laid down, not as the file means it.
    {"shortTable16Colours", 10618, 118, 40, 137, 75, 8, 0, 10500, 16, true, 1024, 1064, 10500, 10500},
    {"gapBeforePixels", 30966, 66, 40, 137, 75, 24, 0, 30900, 0, true, 0, 40, 30900, 30900},
    // The pixel block holds the whole image even when bfSize claims less.
    {"fewerPixelBytesThanImage", 154, 54, 40, 137, 75, 24, 0, 0, 0, true, 0, 40, 100, 30900},
    {"noPixelBytes", 54, 54, 40, 137, 75, 24, 0, 0, 0, true, 0, 40, 0, 30900},
    {"morePixelBytesThanImage", 40054, 54, 40, 137, 75, 24, 0, 0, 0, true, 0, 40, 40000, 40000},
    {"pixelReadAtTheCap", 54 + cap, 54, 40, 137, 75, 24, 0, 0, 0, true, 0, 40, cap, cap},
    {"imageJustUnderTheCap", 54, 54, 40, 10000, -8000, 24, 0, 0, 0, true, 0, 40, 0, 240000000},
    // Run-length data is taken up to biSizeImage bytes.
    {"runLength8", 1578, 1078, 40, 137, 75, 8, 1, 2000, 0, true, 1024, 1064, 500, 2000},
    {"runLength4", 2118, 118, 40, 137, 75, 4, 2, 900, 0, true, 64, 104, 2000, 2000},
    // Refused: bfSize below bfOffBits, or a pixel block beyond the cap.
    {"bfSizeBelowBfOffBits", 53, 54, 40, 137, 75, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"bfSizeHuge", 0xFFFFFFFF, 54, 40, 137, 75, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"pixelReadBeyondTheCap", 55 + cap, 54, 40, 137, 75, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"imageBeyondTheCap", 54, 54, 40, 100000, 1000, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"widestTallestImage", 54, 54, 40, INT_MAX, INT_MAX, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"mostNegativeHeight", 54, 54, 40, 1, INT_MIN, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"runLengthSizeImageBeyondTheCap", 1578, 1078, 40, 137, 75, 8, 1, cap + 1, 0, false, 0, 0, 0, 0},
    // Refused: depths without a table rule of their own.
    {"depth16", 20604, 54, 40, 137, 75, 16, 0, 0, 0, false, 0, 0, 0, 0},
    {"depth32", 41154, 54, 40, 137, 75, 32, 0, 0, 0, false, 0, 0, 0, 0},
    {"depth0", 54, 54, 40, 137, 75, 0, 0, 0, 0, false, 0, 0, 0, 0},
    {"depth2", 54, 54, 40, 137, 75, 2, 0, 0, 0, false, 0, 0, 0, 0},
    {"depth200", 54, 54, 40, 137, 75, 200, 0, 0, 0, false, 0, 0, 0, 0},
    {"depth65535", 54, 54, 40, 137, 75, 0xFFFF, 0, 0, 0, false, 0, 0, 0, 0},
    // Refused: a header the platform would read beyond the 40 bytes read.
    {"coreHeader", 30954, 54, 12, 137, 75, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"version4Header", 30954, 54, 108, 137, 75, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"version5Header", 30954, 54, 124, 137, 75, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"zeroHeaderSize", 30954, 54, 0, 137, 75, 24, 0, 0, 0, false, 0, 0, 0, 0},
    // Refused: more colours announced than the table holds.
    {"colours257At8Bits", 11578, 1078, 40, 137, 75, 8, 0, 0, 257, false, 0, 0, 0, 0},
    {"colours3At1Bit", 1562, 62, 40, 137, 75, 1, 0, 0, 3, false, 0, 0, 0, 0},
    {"colours1At24Bits", 30958, 58, 40, 137, 75, 24, 0, 0, 1, false, 0, 0, 0, 0},
    {"coloursHuge", 11578, 1078, 40, 137, 75, 8, 0, 0, 0xFFFFFFFF, false, 0, 0, 0, 0},
    // Refused: compressions that do not fit the depth, or that need masks.
    {"bitFieldsAt24Bits", 30954, 54, 40, 137, 75, 24, 3, 0, 0, false, 0, 0, 0, 0},
    {"runLength8At4Bits", 2118, 118, 40, 137, 75, 4, 1, 900, 0, false, 0, 0, 0, 0},
    {"runLength4At8Bits", 1578, 1078, 40, 137, 75, 8, 2, 2000, 0, false, 0, 0, 0, 0},
    {"runLength8At24Bits", 30954, 54, 40, 137, 75, 24, 1, 30900, 0, false, 0, 0, 0, 0},
    {"jpeg", 30954, 54, 40, 137, 75, 24, 4, 30900, 0, false, 0, 0, 0, 0},
    {"png", 30954, 54, 40, 137, 75, 24, 5, 30900, 0, false, 0, 0, 0, 0},
    // Refused: no pixels at all.
    {"zeroWidth", 54, 54, 40, 0, 75, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"negativeWidth", 30954, 54, 40, -137, 75, 24, 0, 0, 0, false, 0, 0, 0, 0},
    {"zeroHeight", 54, 54, 40, 137, 0, 24, 0, 0, 0, false, 0, 0, 0, 0},
};

class LayoutTable : public ::testing::TestWithParam<LayoutRow> {};

TEST_P(LayoutTable, SizesAndVerdict)
{
    const LayoutRow &row = GetParam();
    BmpFileHeader file = {};
    file.bfType = 0x4D42;
    file.bfSize = row.bfSize;
    file.bfOffBits = row.bfOffBits;
    BmpInfoHeader info = {};
    info.biSize = row.biSize;
    info.biWidth = row.biWidth;
    info.biHeight = row.biHeight;
    info.biPlanes = 1;
    info.biBitCount = row.biBitCount;
    info.biCompression = row.biCompression;
    info.biSizeImage = row.biSizeImage;
    info.biClrUsed = row.biClrUsed;

    const BitmapLayout layout = planBitmapLayout(file, info);
    EXPECT_EQ(layout.makeBitmap, row.makeBitmap);
    EXPECT_EQ(layout.colourTableSize, row.colourTableSize);
    EXPECT_EQ(layout.formatBlockSize, row.formatBlockSize);
    EXPECT_EQ(layout.pixelReadSize, row.pixelReadSize);
    EXPECT_EQ(layout.pixelBlockSize, row.pixelBlockSize);
}

INSTANTIATE_TEST_SUITE_P(Files, LayoutTable, ::testing::ValuesIn(layoutRows),
                         [](const ::testing::TestParamInfo<LayoutRow> &row) { return row.param.name; });

TEST(BitmapFileLayout, FilesNotStartingWithBMAreReadAllTheSame)
{
    BmpInfoHeader info = {};
    info.biSize = 40;
    info.biWidth = 137;
    info.biHeight = 75;
    info.biPlanes = 1;
    info.biBitCount = 24;
    for (const std::uint16_t type : {0x4D42, 0x0000, 0x4142, 0xFFFF}) {
        BmpFileHeader file = {};
        file.bfType = type;
        file.bfSize = 30954;
        file.bfOffBits = 54;
        const BitmapLayout layout = planBitmapLayout(file, info);
        EXPECT_TRUE(layout.makeBitmap) << type;
        EXPECT_EQ(layout.pixelReadSize, 30900u) << type;
    }
}

}  // namespace
