// The face loader on real files: what it keeps, the bitmap it makes, what it
// draws on the screen when a file cannot be opened or read, and what it
// leaves behind.
#include "resources/background_bitmap.h"


#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "frame_pictures.h"
#include "wine_support.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Pixels = std::vector<std::uint32_t>;  // 0x00RRGGBB, top row first

// The header fields of a test file, as written.
struct BmpFields {
    std::uint16_t bfType = 0x4D42;
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

void put16(Bytes &out, std::uint32_t value)
{
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void put32(Bytes &out, std::uint32_t value)
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

// Pixel data in file order: rows padded with 0xEE, bottom row first unless
// the height is negative. value(x, y) is an index, or 0x00RRGGBB at 24 bits;
// y counts from the top of the picture.
Bytes pixelRows(int width, int height, int bitCount, const std::function<std::uint32_t(int, int)> &value)
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

Bytes tableBytes(const std::vector<std::uint32_t> &colours)
{
    Bytes out;
    for (const std::uint32_t colour : colours) put32(out, colour & 0xFFFFFF);
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

// A file laid out the usual way: headers, a full table, the pixels, bfSize
// at the end.
struct TestFile {
    BmpFields fields;
    Bytes table;
    Bytes gap;
    Bytes pixels;
    Bytes bytes() const
    {
        Bytes out = headerBytes(fields);
        out.insert(out.end(), table.begin(), table.end());
        out.insert(out.end(), gap.begin(), gap.end());
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
};

TestFile usualFile(int width, int height, int bitCount, const std::function<std::uint32_t(int, int)> &value)
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

std::uint32_t gradient24(int x, int y)
{
    return static_cast<std::uint32_t>((x * y) & 0xFF) << 16 | static_cast<std::uint32_t>(y * 3) << 8 |
           static_cast<std::uint32_t>((x * 7 + y) & 0xFF);
}

// The picture a DIB of this size and depth makes of these pixel bytes, read
// the published way. Indices past the colours in use come out black.
Pixels decodeDib(int width, int height, int bitCount, const std::vector<std::uint32_t> &colours,
                  const Bytes &block)
{
    const int rows = height < 0 ? -height : height;
    const int stride = rowBytes(width, bitCount);
    Pixels picture(static_cast<std::size_t>(width) * rows);
    for (int y = 0; y < rows; ++y) {
        const int row = height < 0 ? y : rows - 1 - y;
        const unsigned char *line = block.data() + static_cast<std::size_t>(row) * stride;
        for (int x = 0; x < width; ++x) {
            std::uint32_t colour;
            if (bitCount == 24) {
                colour = line[3 * x] | line[3 * x + 1] << 8 | line[3 * x + 2] << 16;
            } else {
                const int perByte = 8 / bitCount;
                const int shift = 8 - bitCount * (x % perByte + 1);
                const unsigned index = (line[x / perByte] >> shift) & ((1u << bitCount) - 1);
                colour = index < colours.size() ? colours[index] : 0;
            }
            picture[static_cast<std::size_t>(y) * width + x] = colour;
        }
    }
    return picture;
}

// Reports the first differing pixel, not thousands.
::testing::AssertionResult samePicture(const Pixels &got, const Pixels &expected, int width)
{
    if (got.size() != expected.size())
        return ::testing::AssertionFailure() << "got " << got.size() << " pixels, expected " << expected.size();
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i] != expected[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "pixel (%d, %d) is %06x, expected %06x", static_cast<int>(i % width),
                          static_cast<int>(i / width), got[i], expected[i]);
            return ::testing::AssertionFailure() << text;
        }
    return ::testing::AssertionSuccess();
}

void writeFile(const std::string &path, const Bytes &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size()) << path;
}

void expectHeader(const BmpFields &f)
{
    const BITMAPINFOHEADER &h = backgroundHeader;
    EXPECT_EQ(h.biSize, f.biSize);
    EXPECT_EQ(h.biWidth, f.biWidth);
    EXPECT_EQ(h.biHeight, f.biHeight);
    EXPECT_EQ(h.biPlanes, f.biPlanes);
    EXPECT_EQ(h.biBitCount, f.biBitCount);
    EXPECT_EQ(h.biCompression, f.biCompression);
    EXPECT_EQ(h.biSizeImage, f.biSizeImage);
    EXPECT_EQ(h.biXPelsPerMeter, f.biXPelsPerMeter);
    EXPECT_EQ(h.biYPelsPerMeter, f.biYPelsPerMeter);
    EXPECT_EQ(h.biClrUsed, f.biClrUsed);
    EXPECT_EQ(h.biClrImportant, f.biClrImportant);
}

// What quit does with the face.
void dropBackgroundBitmap()
{
    if (backgroundBitmap) DeleteObject(backgroundBitmap);
    backgroundBitmap = nullptr;
}

class BackgroundBitmap : public ::testing::Test {
protected:
    static void SetUpTestSuite() { folder = scratchFolder("background_bitmap"); }
    void TearDown() override { dropBackgroundBitmap(); }

    // Writes the file, loads it, and checks the load's result is the stored
    // bitmap.
    HBITMAP load(const std::string &name, const Bytes &bytes)
    {
        const std::string path = folder + name;
        writeFile(path, bytes);
        HBITMAP made = loadBackgroundBitmap(path.c_str());
        EXPECT_EQ(made, backgroundBitmap);
        return made;
    }

    // Loads a file that gives a bitmap, and checks its size, header and
    // pixels against the picture expected.
    void expectLoaded(const std::string &name, const TestFile &file, const Pixels &expected)
    {
        HBITMAP made = load(name, file.bytes());
        ASSERT_NE(made, nullptr);
        expectHeader(file.fields);
        const int width = file.fields.biWidth;
        const int height = file.fields.biHeight < 0 ? -file.fields.biHeight : file.fields.biHeight;
        BITMAP shape = {};
        ASSERT_EQ(GetObjectA(made, sizeof shape, &shape), static_cast<int>(sizeof shape));
        EXPECT_EQ(shape.bmWidth, width);
        EXPECT_EQ(shape.bmHeight, height);
        EXPECT_TRUE(samePicture(readBitmap(made, width, height).pixels, expected, width));
    }

    static std::string folder;
};
std::string BackgroundBitmap::folder;

TEST_F(BackgroundBitmap, Face24BitsLaidOutTheUsualWay)
{
    const TestFile file = usualFile(137, 75, 24, gradient24);
    ASSERT_EQ(file.fields.bfSize, 30954u);
    ASSERT_EQ(file.pixels.size(), 30900u);
    Pixels expected;
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 137; ++x) expected.push_back(gradient24(x, y));
    expectLoaded("face24.bmp", file, expected);
    EXPECT_EQ(backgroundHeader.biWidth, 137);
    EXPECT_EQ(backgroundHeader.biHeight, 75);
}

TEST_F(BackgroundBitmap, CommittedFaceLoadsAt137By75With24Bits)
{
    const std::string path = exeFolder() + "vl-vu.bmp";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    Bytes bytes(GetFileSize(file, nullptr));
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    ASSERT_EQ(got, 30954u);

    HBITMAP made = loadBackgroundBitmap(path.c_str());
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(backgroundHeader.biSize, 40u);
    EXPECT_EQ(backgroundHeader.biWidth, 137);
    EXPECT_EQ(backgroundHeader.biHeight, 75);
    EXPECT_EQ(backgroundHeader.biBitCount, 24);
    EXPECT_TRUE(samePicture(readBitmap(made, 137, 75).pixels, decodeDib(137, 75, 24, {}, Bytes(bytes.begin() + 54, bytes.end())), 137));
}

struct DepthRow {
    const char *name;
    int bitCount;
    std::function<std::uint32_t(int, int)> value;
};

void PrintTo(const DepthRow &row, std::ostream *out)
{
    *out << row.name;
}

class IndexedDepths : public BackgroundBitmap, public ::testing::WithParamInterface<DepthRow> {};

TEST_P(IndexedDepths, FullTableGivesTheTablesColours)
{
    const DepthRow &row = GetParam();
    const TestFile file = usualFile(137, 75, row.bitCount, row.value);
    const std::vector<std::uint32_t> colours = testColours(1 << row.bitCount);
    Pixels expected;
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 137; ++x) expected.push_back(colours[row.value(x, y)]);
    expectLoaded(std::string(row.name) + ".bmp", file, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, IndexedDepths,
    ::testing::Values(DepthRow{"depth8", 8, [](int x, int y) { return static_cast<std::uint32_t>((x * 3 + y * 5) & 0xFF); }},
                      DepthRow{"depth4", 4, [](int x, int y) { return static_cast<std::uint32_t>((x + y) & 0xF); }},
                      DepthRow{"depth1", 1, [](int x, int y) { return static_cast<std::uint32_t>((x / 3 + y / 2) & 1); }}),
    [](const ::testing::TestParamInfo<DepthRow> &row) { return row.param.name; });

TEST_F(BackgroundBitmap, FileNotStartingWithBMIsLoadedAllTheSame)
{
    TestFile file = usualFile(137, 75, 24, gradient24);
    file.fields.bfType = 0x5A4D;
    expectLoaded("not-bm.bmp", file, decodeDib(137, 75, 24, {}, file.pixels));
}

TEST_F(BackgroundBitmap, TopDownFileKeepsItsNegativeHeight)
{
    const TestFile file = usualFile(137, -75, 24, gradient24);
    Pixels expected;
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 137; ++x) expected.push_back(gradient24(x, y));
    expectLoaded("top-down.bmp", file, expected);
    EXPECT_EQ(backgroundHeader.biHeight, -75);
}

// The pixel block as the loader reads it: bfSize - bfOffBits bytes from
// offset, padded with zeros to at least the image's size.
Bytes blockAt(const Bytes &bytes, std::size_t offset, std::size_t count, std::size_t imageSize)
{
    Bytes block(count > imageSize ? count : imageSize, 0);
    for (std::size_t i = 0; i < count && offset + i < bytes.size(); ++i) block[i] = bytes[offset + i];
    return block;
}

TEST_F(BackgroundBitmap, ShortColourTableShiftsThePixelRead)
{
    // 16 colours named and stored: 960 bytes short of the table the loader
    // takes, so the pixel read starts 960 bytes late and ends in zeros.
    auto value = [](int x, int y) { return static_cast<std::uint32_t>((x + 2 * y) % 16); };
    TestFile file = usualFile(137, 75, 8, value);
    const std::vector<std::uint32_t> colours = testColours(16);
    file.table = tableBytes(colours);
    file.fields.biClrUsed = 16;
    file.fields.bfOffBits = 54 + 64;
    file.fields.bfSize = file.fields.bfOffBits + 10500;
    const Bytes bytes = file.bytes();
    const Bytes block = blockAt(bytes, 54 + 1024, 10500, 10500);
    const Pixels expected = decodeDib(137, 75, 8, colours, block);
    EXPECT_NE(expected, decodeDib(137, 75, 8, colours, file.pixels)) << "the shift must show";
    expectLoaded("short-table.bmp", file, expected);
}

TEST_F(BackgroundBitmap, GapBeforePixelsIsReadAsPixels)
{
    TestFile file = usualFile(137, 75, 24, gradient24);
    file.gap = Bytes{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0};
    file.fields.bfOffBits += 13;
    file.fields.bfSize += 13;
    const Bytes bytes = file.bytes();
    expectLoaded("gap.bmp", file, decodeDib(137, 75, 24, {}, blockAt(bytes, 54, 30900, 30900)));
}

TEST_F(BackgroundBitmap, PixelBytesMissingFromTheFileAreZero)
{
    // A file cut short in its pixels, and a file whose bfSize claims only
    // 100 pixel bytes: either way the rest of the image is black.
    const TestFile file = usualFile(137, 75, 24, gradient24);
    Bytes cut = file.bytes();
    cut.resize(54 + 15000);
    HBITMAP made = load("cut.bmp", cut);
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(samePicture(readBitmap(made, 137, 75).pixels, decodeDib(137, 75, 24, {}, blockAt(cut, 54, 30900, 30900)), 137));
    dropBackgroundBitmap();

    TestFile claimsLess = file;
    claimsLess.fields.bfSize = 54 + 100;
    const Bytes bytes = claimsLess.bytes();
    expectLoaded("claims-less.bmp", claimsLess, decodeDib(137, 75, 24, {}, blockAt(bytes, 54, 100, 30900)));
}

TEST_F(BackgroundBitmap, LoaderReplacesButNeverDeletesThePreviousBitmap)
{
    const TestFile file = usualFile(137, 75, 24, gradient24);
    HBITMAP first = load("first.bmp", file.bytes());
    ASSERT_NE(first, nullptr);
    HBITMAP second = load("second.bmp", file.bytes());
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP)) << "the first is still alive";
    EXPECT_TRUE(DeleteObject(first));
}

// Files that give no bitmap. Each is loaded after a good face, so that the
// stored bitmap must be replaced by null, the good one left alive, and the
// header either the new one or still the good face's.
struct BrokenRow {
    const char *name;
    std::function<Bytes()> bytes;
    bool headerRead;  // the info header was read whole
    BmpFields fields;  // the header then kept
};

void PrintTo(const BrokenRow &row, std::ostream *out)
{
    *out << row.name;
}

class BrokenFiles : public BackgroundBitmap, public ::testing::WithParamInterface<BrokenRow> {};

TestFile good24()
{
    return usualFile(137, 75, 24, gradient24);
}

Bytes good24Cut(std::size_t size)
{
    Bytes bytes = good24().bytes();
    bytes.resize(size);
    return bytes;
}

BmpFields withField(std::function<void(BmpFields &)> change)
{
    BmpFields fields = good24().fields;
    fields.biWidth = 31;
    fields.biHeight = 7;
    change(fields);
    return fields;
}

Bytes fileOf(const BmpFields &fields)
{
    Bytes bytes = headerBytes(fields);
    bytes.resize(bytes.size() + 2048, 0x5A);
    return bytes;
}

BrokenRow brokenRow(const char *name, std::function<void(BmpFields &)> change)
{
    const BmpFields fields = withField(change);
    return BrokenRow{name, [fields] { return fileOf(fields); }, true, fields};
}

TEST_P(BrokenFiles, GiveNoBitmapAndKeepTheHeaderRightly)
{
    const BrokenRow &row = GetParam();
    const TestFile good = good24();
    HBITMAP previous = load("good.bmp", good.bytes());
    ASSERT_NE(previous, nullptr);

    EXPECT_EQ(load(std::string(row.name) + ".bmp", row.bytes()), nullptr);
    EXPECT_EQ(backgroundBitmap, nullptr);
    expectHeader(row.headerRead ? row.fields : good.fields);
    EXPECT_EQ(GetObjectType(previous), static_cast<DWORD>(OBJ_BITMAP));
    DeleteObject(previous);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenFiles,
    ::testing::Values(
        BrokenRow{"empty", [] { return Bytes(); }, false, {}},
        BrokenRow{"fileHeaderCut", [] { return good24Cut(10); }, false, {}},
        BrokenRow{"infoHeaderCut", [] { return good24Cut(30); }, false, {}},
        BrokenRow{"infoHeaderOneShort", [] { return good24Cut(53); }, false, {}},
        brokenRow("depth16", [](BmpFields &f) { f.biBitCount = 16; }),
        brokenRow("depth32", [](BmpFields &f) { f.biBitCount = 32; }),
        brokenRow("depth0", [](BmpFields &f) { f.biBitCount = 0; }),
        brokenRow("depth200", [](BmpFields &f) { f.biBitCount = 200; }),
        brokenRow("bfSizeBelowBfOffBits", [](BmpFields &f) { f.bfSize = 20; }),
        brokenRow("bfSizeHuge", [](BmpFields &f) { f.bfSize = 0xFFFFFFFF; }),
        brokenRow("version5Header", [](BmpFields &f) { f.biSize = 124; }),
        brokenRow("moreColoursThanTable", [](BmpFields &f) {
            f.biBitCount = 1;
            f.biClrUsed = 256;
        }),
        brokenRow("bitFields", [](BmpFields &f) { f.biCompression = 3; }),
        brokenRow("zeroWidth", [](BmpFields &f) { f.biWidth = 0; }),
        brokenRow("imageBeyondAnyFace", [](BmpFields &f) {
            f.biWidth = 60000;
            f.biHeight = 60000;
        })),
    [](const ::testing::TestParamInfo<BrokenRow> &row) { return row.param.name; });

// The failure reports, compared with the same texts drawn here on the
// screen. The screen is blacked out first, so that
// anything drawn beyond a text's own length shows.
constexpr RECT reportArea = {60, 80, 720, 360};
constexpr int margin = 24;

struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    std::uint32_t *pixels = nullptr;
    int width = 0, height = 0;

    Canvas(int w, int h) : width(w), height(h)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap = createTopDownSection(w, h, &pixels);
        previous = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, w, h, BLACKNESS);
    }
    ~Canvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Pixels picture() const
    {
        GdiFlush();
        Pixels out(pixels, pixels + static_cast<std::size_t>(width) * height);
        for (std::uint32_t &pixel : out) pixel &= 0xFFFFFF;
        return out;
    }
};

void blackOutReportArea()
{
    HDC screen = GetDC(nullptr);
    PatBlt(screen, reportArea.left, reportArea.top, reportArea.right - reportArea.left,
           reportArea.bottom - reportArea.top, BLACKNESS);
    ReleaseDC(nullptr, screen);
}

Pixels grabScreen(int x, int y, int width, int height)
{
    Canvas canvas(width, height);
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc, 0, 0, width, height, screen, x, y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return canvas.picture();
}

// The text as a fresh screen DC draws it, with its default font and colours,
// at a place of the screen away from the reports, blacked out first; grabbed
// with margin black columns after it.
Pixels drawnText(const std::string &text, SIZE &size)
{
    constexpr int x = 900, y = 600;
    HDC screen = GetDC(nullptr);
    GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &size);
    PatBlt(screen, x, y, size.cx + margin, size.cy, BLACKNESS);
    TextOutA(screen, x, y, text.c_str(), static_cast<int>(text.size()));
    ReleaseDC(nullptr, screen);
    return grabScreen(x, y, size.cx + margin, size.cy);
}

::testing::AssertionResult shownAt(int x, int y, const std::string &text)
{
    SIZE size = {};
    const Pixels expected = drawnText(text, size);
    const Pixels got = grabScreen(x, y, size.cx + margin, size.cy);
    ::testing::AssertionResult same = samePicture(got, expected, size.cx + margin);
    if (!same) same << " for \"" << text << "\" at (" << x << ", " << y << ")";
    return same;
}

::testing::AssertionResult reportAreaBlack()
{
    const int width = reportArea.right - reportArea.left;
    return samePicture(grabScreen(reportArea.left, reportArea.top, width, reportArea.bottom - reportArea.top),
                       Pixels(static_cast<std::size_t>(width) * (reportArea.bottom - reportArea.top), 0), width);
}

struct MissingRow {
    const char *name;
    const char *relativePath;
    int openError;
};

void PrintTo(const MissingRow &row, std::ostream *out)
{
    *out << row.name;
}

class MissingFiles : public BackgroundBitmap, public ::testing::WithParamInterface<MissingRow> {};

TEST_P(MissingFiles, ShowBothReportsAndKeepTheHeader)
{
    const MissingRow &row = GetParam();
    const TestFile good = good24();
    HBITMAP previous = load("good.bmp", good.bytes());
    ASSERT_NE(previous, nullptr);
    blackOutReportArea();
    ASSERT_TRUE(reportAreaBlack());

    const std::string path = folder + row.relativePath;
    EXPECT_EQ(loadBackgroundBitmap(path.c_str()), nullptr);
    EXPECT_EQ(backgroundBitmap, nullptr);
    expectHeader(good.fields);
    EXPECT_EQ(GetObjectType(previous), static_cast<DWORD>(OBJ_BITMAP));
    DeleteObject(previous);

    EXPECT_TRUE(shownAt(290, 100, "CREATEFILE FAILED!!"));
    EXPECT_TRUE(shownAt(290, 300, std::to_string(row.openError)));
    EXPECT_TRUE(shownAt(90, 100, "ReadFile FAILED!!"));
    EXPECT_TRUE(shownAt(90, 300, std::to_string(ERROR_INVALID_HANDLE)));
}

INSTANTIATE_TEST_SUITE_P(Paths, MissingFiles,
                         ::testing::Values(MissingRow{"fileMissing", "absent.bmp", ERROR_FILE_NOT_FOUND},
                                           MissingRow{"folderMissing", "absent\\face.bmp", ERROR_PATH_NOT_FOUND}),
                         [](const ::testing::TestParamInfo<MissingRow> &row) { return row.param.name; });

TEST_F(BackgroundBitmap, FilesThatOpenAndReadShowNoReport)
{
    blackOutReportArea();
    load("good.bmp", good24().bytes());
    load("empty.bmp", Bytes());
    load("depth16.bmp", fileOf(withField([](BmpFields &f) { f.biBitCount = 16; })));
    EXPECT_TRUE(reportAreaBlack());
}

// Bytes in use in the process heap, where global memory blocks live.
std::size_t heapBytesInUse()
{
    HANDLE heap = GetProcessHeap();
    std::size_t used = 0;
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
    HeapUnlock(heap);
    return used;
}

TEST_F(BackgroundBitmap, LoadsLeaveNothingBehind)
{
    // The counters must see what they are meant to see.
    const int before = liveGdiObjects();
    HBITMAP probe = CreateBitmap(4, 4, 1, 1, nullptr);
    ASSERT_EQ(liveGdiObjects(), before + 1) << "the GDI object count cannot be read here";
    DeleteObject(probe);
    const std::size_t heapBefore = heapBytesInUse();
    HGLOBAL block = GlobalAlloc(0x42, 30900);
    ASSERT_GE(heapBytesInUse(), heapBefore + 30900) << "global blocks are not in the process heap here";
    GlobalFree(block);

    const std::string good = folder + "leak-good.bmp";
    const std::string indexed = folder + "leak-8.bmp";
    const std::string broken = folder + "leak-broken.bmp";
    const std::string missing = folder + "leak-absent.bmp";
    writeFile(good, good24().bytes());
    writeFile(indexed, usualFile(137, 75, 8, [](int x, int y) { return static_cast<std::uint32_t>(x ^ y) & 0xFF; }).bytes());
    writeFile(broken, fileOf(withField([](BmpFields &f) { f.bfSize = 0xFFFFFFFF; })));
    auto cycle = [&] {
        for (const std::string &path : {good, indexed}) {
            loadBackgroundBitmap(path.c_str());
            dropBackgroundBitmap();
        }
        loadBackgroundBitmap(broken.c_str());
        loadBackgroundBitmap(missing.c_str());
    };
    cycle();  // caches warmed: the screen DC, the font
    const int objects = liveGdiObjects();
    const std::size_t heap = heapBytesInUse();
    for (int round = 0; round < 25; ++round) cycle();
    EXPECT_EQ(liveGdiObjects(), objects);
    EXPECT_LT(heapBytesInUse(), heap + 30900) << "less than one face's pixel block in 100 loads";

    // Closed after every load: each file opens for exclusive use again.
    for (const std::string &path : {good, indexed, broken}) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << path << " is still open, error " << GetLastError();
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
}

}  // namespace
