// The face loader on real files: what it keeps, the bitmap it makes, what it
// draws on the screen when a file cannot be opened or read, and what it
// leaves behind.
#include "resources/meter_face.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "bmp_files.h"
#include "frame_pictures.h"
#include "gdi/device_contexts.h"
#include "wine_support.h"

namespace {

std::uint32_t gradient24(int x, int y)
{
    return static_cast<std::uint32_t>((x * y) & 0xFF) << 16 | static_cast<std::uint32_t>(y * 3) << 8 |
           static_cast<std::uint32_t>((x * 7 + y) & 0xFF);
}

Picture pictureOf(int width, int height, const PixelValue &colour)
{
    Picture picture(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.at(x, y) = colour(x, y);
    return picture;
}

// The picture a DIB of this size and depth makes of these pixel bytes, read
// the published way. Indices past the colours in use come out black.
Picture decodeDib(int width, int height, int bitCount, const std::vector<std::uint32_t> &colours,
                  const Bytes &block)
{
    const int rows = height < 0 ? -height : height;
    const int stride = rowBytes(width, bitCount);
    Picture picture(width, rows, 0);
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
            picture.at(x, y) = colour;
        }
    }
    return picture;
}

// The face's header as kept, against the fields written.
::testing::AssertionResult keptHeader(const BmpFields &f)
{
    const BITMAPINFOHEADER &h = meterFace.header;
    const BITMAPINFOHEADER expected = {f.biSize,          f.biWidth,         f.biHeight,        f.biPlanes,
                                       f.biBitCount,      f.biCompression,   f.biSizeImage,     f.biXPelsPerMeter,
                                       f.biYPelsPerMeter, f.biClrUsed,       f.biClrImportant};
    if (std::memcmp(&h, &expected, sizeof h) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "kept " << h.biWidth << " x " << h.biHeight << " at " << h.biBitCount
                                         << " bits, size field " << h.biSize << ", compression " << h.biCompression
                                         << ", colours " << h.biClrUsed << "; written " << f.biWidth << " x "
                                         << f.biHeight << " at " << f.biBitCount << " bits, size field " << f.biSize
                                         << ", compression " << f.biCompression << ", colours " << f.biClrUsed;
}

class MeterFaceLoading : public ::testing::Test {
protected:
    static void SetUpTestSuite() { folder = scratchFolder("background_bitmap"); }
    void TearDown() override { releaseMeterFace(); }

    // Writes the file, loads it, and checks the load's result is the stored
    // bitmap.
    HBITMAP load(const std::string &name, const Bytes &bytes)
    {
        const std::string path = folder + name;
        EXPECT_TRUE(writeFile(path, bytes));
        HBITMAP made = loadBackgroundBitmap(path.c_str());
        EXPECT_EQ(made, meterFace.bitmap);
        return made;
    }

    // Loads a file that gives a bitmap, and checks its size, header and
    // pixels against the picture expected.
    void expectLoaded(const std::string &name, const TestFile &file, const Picture &expected)
    {
        HBITMAP made = load(name, file.bytes());
        ASSERT_NE(made, nullptr);
        EXPECT_TRUE(keptHeader(file.fields));
        const int width = file.fields.biWidth;
        const int height = file.fields.biHeight < 0 ? -file.fields.biHeight : file.fields.biHeight;
        BITMAP shape = {};
        ASSERT_EQ(GetObjectA(made, sizeof shape, &shape), static_cast<int>(sizeof shape));
        EXPECT_EQ(shape.bmWidth, width);
        EXPECT_EQ(shape.bmHeight, height);
        EXPECT_TRUE(samePixels(readBitmap(made, width, height), expected, whole(expected)));
    }

    static std::string folder;
};
std::string MeterFaceLoading::folder;

TEST_F(MeterFaceLoading, Face24BitsLaidOutTheUsualWay)
{
    const TestFile file = usualFile(137, 75, 24, gradient24);
    ASSERT_EQ(file.fields.bfSize, 30954u);
    ASSERT_EQ(file.pixels.size(), 30900u);
    expectLoaded("face24.bmp", file, pictureOf(137, 75, gradient24));
    EXPECT_EQ(meterFace.header.biWidth, 137);
    EXPECT_EQ(meterFace.header.biHeight, 75);
}

TEST_F(MeterFaceLoading, CommittedFaceLoadsAt137By75With24Bits)
{
    const std::string path = exeFolder() + "vl-vu.bmp";
    const std::string bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 30954u) << path;

    HBITMAP made = loadBackgroundBitmap(path.c_str());
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(meterFace.header.biSize, 40u);
    EXPECT_EQ(meterFace.header.biWidth, 137);
    EXPECT_EQ(meterFace.header.biHeight, 75);
    EXPECT_EQ(meterFace.header.biBitCount, 24);
    EXPECT_TRUE(samePixels(readBitmap(made, 137, 75), decodeDib(137, 75, 24, {}, Bytes(bytes.begin() + 54, bytes.end())),
                           {0, 0, 137, 75}));
}

struct DepthRow {
    const char *name;
    int bitCount;
    PixelValue value;
};

void PrintTo(const DepthRow &row, std::ostream *out)
{
    *out << row.name;
}

class IndexedDepths : public MeterFaceLoading, public ::testing::WithParamInterface<DepthRow> {};

TEST_P(IndexedDepths, FullTableGivesTheTablesColours)
{
    const DepthRow &row = GetParam();
    const TestFile file = usualFile(137, 75, row.bitCount, row.value);
    const std::vector<std::uint32_t> colours = testColours(1 << row.bitCount);
    expectLoaded(std::string(row.name) + ".bmp", file, pictureOf(137, 75, [&](int x, int y) { return colours[row.value(x, y)]; }));
}

INSTANTIATE_TEST_SUITE_P(
    Depths, IndexedDepths,
    ::testing::Values(DepthRow{"depth8", 8, [](int x, int y) { return static_cast<std::uint32_t>((x * 3 + y * 5) & 0xFF); }},
                      DepthRow{"depth4", 4, [](int x, int y) { return static_cast<std::uint32_t>((x + y) & 0xF); }},
                      DepthRow{"depth1", 1, [](int x, int y) { return static_cast<std::uint32_t>((x / 3 + y / 2) & 1); }}),
    [](const ::testing::TestParamInfo<DepthRow> &row) { return row.param.name; });

TEST_F(MeterFaceLoading, FileNotStartingWithBMIsLoadedAllTheSame)
{
    TestFile file = usualFile(137, 75, 24, gradient24);
    file.fields.bfType = 0x5A4D;
    expectLoaded("not-bm.bmp", file, decodeDib(137, 75, 24, {}, file.pixels));
}

TEST_F(MeterFaceLoading, TopDownFileKeepsItsNegativeHeight)
{
    const TestFile file = usualFile(137, -75, 24, gradient24);
    expectLoaded("top-down.bmp", file, pictureOf(137, 75, gradient24));
    EXPECT_EQ(meterFace.header.biHeight, -75);
}

// The pixel block as the loader reads it: bfSize - bfOffBits bytes from
// offset, padded with zeros to at least the image's size.
Bytes blockAt(const Bytes &bytes, std::size_t offset, std::size_t count, std::size_t imageSize)
{
    Bytes block(count > imageSize ? count : imageSize, 0);
    for (std::size_t i = 0; i < count && offset + i < bytes.size(); ++i) block[i] = bytes[offset + i];
    return block;
}

TEST_F(MeterFaceLoading, ShortColourTableShiftsThePixelRead)
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
    const Picture expected = decodeDib(137, 75, 8, colours, block);
    EXPECT_NE(expected.pixels, decodeDib(137, 75, 8, colours, file.pixels).pixels) << "the shift must show";
    expectLoaded("short-table.bmp", file, expected);
}

TEST_F(MeterFaceLoading, GapBeforePixelsIsReadAsPixels)
{
    TestFile file = usualFile(137, 75, 24, gradient24);
    file.gap = Bytes{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0};
    file.fields.bfOffBits += 13;
    file.fields.bfSize += 13;
    const Bytes bytes = file.bytes();
    expectLoaded("gap.bmp", file, decodeDib(137, 75, 24, {}, blockAt(bytes, 54, 30900, 30900)));
}

TEST_F(MeterFaceLoading, PixelBytesMissingFromTheFileAreZero)
{
    // A file cut short in its pixels, and a file whose bfSize claims only
    // 100 pixel bytes: either way the rest of the image is black.
    const TestFile file = usualFile(137, 75, 24, gradient24);
    Bytes cut = file.bytes();
    cut.resize(54 + 15000);
    HBITMAP made = load("cut.bmp", cut);
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(samePixels(readBitmap(made, 137, 75), decodeDib(137, 75, 24, {}, blockAt(cut, 54, 30900, 30900)),
                           {0, 0, 137, 75}));

    TestFile claimsLess = file;
    claimsLess.fields.bfSize = 54 + 100;
    const Bytes bytes = claimsLess.bytes();
    expectLoaded("claims-less.bmp", claimsLess, decodeDib(137, 75, 24, {}, blockAt(bytes, 54, 100, 30900)));
}

TEST_F(MeterFaceLoading, LoadingAFaceReleasesTheOneItReplaces)
{
    const TestFile file = usualFile(137, 75, 24, gradient24);
    HBITMAP first = load("first.bmp", file.bytes());
    ASSERT_NE(first, nullptr);
    HBITMAP second = load("second.bmp", file.bytes());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetObjectType(first), 0u) << "the first is deleted";
    EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
}

// Files that give no bitmap. Each is loaded after a good face, so that the
// stored bitmap must be replaced by null, the good one released, and the
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

class BrokenFiles : public MeterFaceLoading, public ::testing::WithParamInterface<BrokenRow> {};

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
    EXPECT_EQ(meterFace.bitmap, nullptr);
    EXPECT_TRUE(keptHeader(row.headerRead ? row.fields : good.fields));
    EXPECT_EQ(GetObjectType(previous), 0u);
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

void blackOutReportArea()
{
    PatBlt(BorrowedDC(nullptr), reportArea.left, reportArea.top, reportArea.right - reportArea.left,
           reportArea.bottom - reportArea.top, BLACKNESS);
}

Picture grabScreen(int x, int y, int width, int height)
{
    return copyOut(BorrowedDC(nullptr), x, y, width, height);
}

// The text as a fresh screen DC draws it, with its default font and colours,
// at a place of the screen away from the reports, blacked out first; grabbed
// with margin black columns after it.
Picture drawnText(const std::string &text)
{
    constexpr int x = 900, y = 600;
    SIZE size = {};
    {
        BorrowedDC screen(nullptr);
        GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &size);
        PatBlt(screen, x, y, size.cx + margin, size.cy, BLACKNESS);
        TextOutA(screen, x, y, text.c_str(), static_cast<int>(text.size()));
    }
    return grabScreen(x, y, size.cx + margin, size.cy);
}

::testing::AssertionResult shownAt(int x, int y, const std::string &text)
{
    const Picture expected = drawnText(text);
    ::testing::AssertionResult same = samePixels(grabScreen(x, y, expected.width, expected.height), expected, whole(expected));
    if (!same) same << " for \"" << text << "\" at (" << x << ", " << y << ")";
    return same;
}

::testing::AssertionResult reportAreaBlack()
{
    const Picture area = grabScreen(reportArea.left, reportArea.top, reportArea.right - reportArea.left,
                                    reportArea.bottom - reportArea.top);
    return samePixels(area, Picture(area.width, area.height, black), whole(area));
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

class MissingFiles : public MeterFaceLoading, public ::testing::WithParamInterface<MissingRow> {};

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
    EXPECT_EQ(meterFace.bitmap, nullptr);
    EXPECT_TRUE(keptHeader(good.fields));
    EXPECT_EQ(GetObjectType(previous), 0u);

    EXPECT_TRUE(shownAt(290, 100, "CREATEFILE FAILED!!"));
    EXPECT_TRUE(shownAt(290, 300, std::to_string(row.openError)));
    EXPECT_TRUE(shownAt(90, 100, "ReadFile FAILED!!"));
    EXPECT_TRUE(shownAt(90, 300, std::to_string(ERROR_INVALID_HANDLE)));
}

INSTANTIATE_TEST_SUITE_P(Paths, MissingFiles,
                         ::testing::Values(MissingRow{"fileMissing", "absent.bmp", ERROR_FILE_NOT_FOUND},
                                           MissingRow{"folderMissing", "absent\\face.bmp", ERROR_PATH_NOT_FOUND}),
                         [](const ::testing::TestParamInfo<MissingRow> &row) { return row.param.name; });

TEST_F(MeterFaceLoading, FilesThatOpenAndReadShowNoReport)
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

TEST_F(MeterFaceLoading, LoadsLeaveNothingBehind)
{
    // The counters must see what they are meant to see.
    const int before = liveGdiObjects();
    HBITMAP probe = CreateBitmap(4, 4, 1, 1, nullptr);
    ASSERT_EQ(liveGdiObjects(), before + 1) << "the GDI object count cannot be read here";
    DeleteObject(probe);
    const std::size_t heapBefore = heapBytesInUse();
    HGLOBAL block = GlobalAlloc(GHND, 30900);
    ASSERT_GE(heapBytesInUse(), heapBefore + 30900) << "global blocks are not in the process heap here";
    GlobalFree(block);

    const std::string good = folder + "leak-good.bmp";
    const std::string indexed = folder + "leak-8.bmp";
    const std::string broken = folder + "leak-broken.bmp";
    const std::string missing = folder + "leak-absent.bmp";
    ASSERT_TRUE(writeFile(good, good24().bytes()));
    ASSERT_TRUE(writeFile(indexed, usualFile(137, 75, 8, [](int x, int y) { return static_cast<std::uint32_t>(x ^ y) & 0xFF; }).bytes()));
    ASSERT_TRUE(writeFile(broken, fileOf(withField([](BmpFields &f) { f.bfSize = 0xFFFFFFFF; }))));
    // Each load replaces the face the one before made.
    auto cycle = [&] {
        for (const std::string &path : {good, indexed, broken, missing}) loadBackgroundBitmap(path.c_str());
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
