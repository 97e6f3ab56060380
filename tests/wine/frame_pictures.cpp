#include "frame_pictures.h"

#include <cstring>
#include <sstream>

HBITMAP createTopDownSection(int width, int height, std::uint32_t **bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(bits), nullptr, 0);
}

static Picture copyOut(HDC source, int width, int height)
{
    Picture picture(width, height, 0);
    std::uint32_t *bits = nullptr;
    HBITMAP section = createTopDownSection(width, height, &bits);
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ previous = SelectObject(memory, section);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = bits[i] & 0xFFFFFF;
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(section);
    return picture;
}

Picture readWindow(HWND window, int width, int height)
{
    HDC dc = GetDC(window);
    Picture picture = copyOut(dc, width, height);
    ReleaseDC(window, dc);
    return picture;
}

Picture readBitmap(HBITMAP bitmap, int width, int height)
{
    Picture picture(width, height, 0);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 32;
    info.header.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, height, picture.pixels.data(), reinterpret_cast<BITMAPINFO *>(&info),
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (auto &pixel : picture.pixels) pixel &= 0xFFFFFF;
    return picture;
}

std::uint32_t faceColour(int x, int y)
{
    return (std::uint32_t(x & 0xFF) << 16) | (std::uint32_t(y & 0xFF) << 8) | std::uint32_t(0x40 + (x >> 8));
}

static BITMAPINFOHEADER faceHeader(int width, int height)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    return header;
}

// The pixel rows as a 24-bit file stores them: bottom-up, or top-down for a
// negative height; blue, green, red; each row padded to 4 bytes.
static std::vector<unsigned char> faceRows(int width, int height)
{
    const int rows = height < 0 ? -height : height;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> bits(std::size_t(stride) * rows, 0);
    for (int row = 0; row < rows; ++row) {
        const int y = height < 0 ? row : rows - 1 - row;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t colour = faceColour(x, y);
            unsigned char *pixel = &bits[std::size_t(row) * stride + std::size_t(x) * 3];
            pixel[0] = colour & 0xFF;
            pixel[1] = (colour >> 8) & 0xFF;
            pixel[2] = (colour >> 16) & 0xFF;
        }
    }
    return bits;
}

TestFace makeTestFace(int width, int height)
{
    TestFace face;
    const std::vector<unsigned char> bits = faceRows(width, height);
    face.header = faceHeader(width, height);
    face.header.biSizeImage = DWORD(bits.size());
    BITMAPINFO info = {};
    info.bmiHeader = face.header;
    HDC screen = GetDC(nullptr);
    face.bitmap = CreateDIBitmap(screen, &face.header, CBM_INIT, bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return face;
}

std::vector<unsigned char> testFaceFile(int width, int height)
{
    const std::vector<unsigned char> bits = faceRows(width, height);
    BITMAPINFOHEADER header = faceHeader(width, height);
    header.biSizeImage = DWORD(bits.size());
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = 14 + 40;
    file.bfSize = DWORD(file.bfOffBits + bits.size());
    std::vector<unsigned char> bytes(file.bfSize);
    // The packed 14-byte layout, field by field.
    unsigned char *out = bytes.data();
    auto put = [&out](const void *field, std::size_t size) {
        std::memcpy(out, field, size);
        out += size;
    };
    put(&file.bfType, 2);
    put(&file.bfSize, 4);
    put(&file.bfReserved1, 2);
    put(&file.bfReserved2, 2);
    put(&file.bfOffBits, 4);
    put(&header, 40);
    put(bits.data(), bits.size());
    return bytes;
}

Picture drawBlackOnWhite(int width, int height, const std::vector<Line> &lines)
{
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(memory, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    Rectangle(memory, 0, 0, width, height);
    for (const Line &line : lines) {
        MoveToEx(memory, line.x0, line.y0, nullptr);
        LineTo(memory, line.x1, line.y1);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    Picture picture = readBitmap(bitmap, width, height);
    DeleteObject(bitmap);
    return picture;
}

Picture drawBlackOnWhite(int width, int height, std::initializer_list<Line> lines)
{
    return drawBlackOnWhite(width, height, std::vector<Line>(lines));
}

::testing::AssertionResult samePixels(const Picture &got, const Picture &expected, RECT area)
{
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
    HDC dc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(RGB(colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF));
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}
