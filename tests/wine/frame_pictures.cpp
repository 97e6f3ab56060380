#include "frame_pictures.h"

#include "bmp_files.h"

#include "gdi/device_contexts.h"

#include <cstring>
#include <sstream>

// 32 bits a pixel, rows from the top: the layout of a Picture.
static BITMAPINFOHEADER pictureLayout(int width, int height)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    return header;
}

HBITMAP createTopDownSection(int width, int height, std::uint32_t **bits)
{
    BITMAPINFO info = {};
    info.bmiHeader = pictureLayout(width, height);
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(bits), nullptr, 0);
}

Picture copyOut(HDC source, int x, int y, int width, int height)
{
    Picture picture(width, height, 0);
    std::uint32_t *bits = nullptr;
    HBITMAP section = createTopDownSection(width, height, &bits);
    {
        MemoryDC memory(source);
        Selection selected(memory, section);
        BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
        GdiFlush();
        for (std::size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = bits[i] & 0xFFFFFF;
    }
    DeleteObject(section);
    return picture;
}

Picture readWindow(HWND window, int width, int height)
{
    return copyOut(BorrowedDC(window), 0, 0, width, height);
}

Picture readBitmap(HBITMAP bitmap, int width, int height)
{
    Picture picture(width, height, 0);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info = {};
    info.header = pictureLayout(width, height);
    GetDIBits(BorrowedDC(nullptr), bitmap, 0, height, picture.pixels.data(), reinterpret_cast<BITMAPINFO *>(&info),
              DIB_RGB_COLORS);
    for (auto &pixel : picture.pixels) pixel &= 0xFFFFFF;
    return picture;
}

std::uint32_t faceColour(int x, int y)
{
    return (std::uint32_t(x & 0xFF) << 16) | (std::uint32_t(y & 0xFF) << 8) | std::uint32_t(0x40 + (x >> 8));
}

std::string testFaceFile(int width, int height)
{
    const Bytes bytes = usualFile(width, height, 24, faceColour).bytes();
    return std::string(bytes.begin(), bytes.end());
}

Picture drawBlackOnWhite(int width, int height, std::initializer_list<Line> lines)
{
    MemoryDC memory(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(memory, width, height);
    {
        Selection selected(memory, bitmap);
        Rectangle(memory, 0, 0, width, height);
        for (const Line &line : lines) {
            MoveToEx(memory, line.x0, line.y0, nullptr);
            LineTo(memory, line.x1, line.y1);
        }
    }
    Picture picture = readBitmap(bitmap, width, height);
    DeleteObject(bitmap);
    return picture;
}

::testing::AssertionResult samePixels(const Picture &got, const Picture &expected, RECT area)
{
    if (got.width < area.right || got.height < area.bottom || expected.width < area.right ||
        expected.height < area.bottom)
        return ::testing::AssertionFailure() << "got " << got.width << " x " << got.height << ", expected "
                                             << expected.width << " x " << expected.height;
    int differences = 0;
    std::ostringstream listing;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const std::uint32_t g = got.at(x, y), e = expected.at(x, y);
            if (g == e) continue;
            if (++differences <= 8)
                listing << "\n  (" << x << ", " << y << "): got " << std::hex << g << ", expected " << e
                        << std::dec;
        }
    if (differences == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differences << " pixels differ in columns " << area.left << "-"
                                         << area.right - 1 << ", rows " << area.top << "-" << area.bottom - 1
                                         << listing.str();
}

void fillWindow(HWND window, int width, int height, std::uint32_t colour)
{
    HBRUSH brush = CreateSolidBrush(RGB(colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF));
    const RECT all = {0, 0, width, height};
    FillRect(BorrowedDC(window), &all, brush);
    DeleteObject(brush);
}
