#include "resources/meter_face.h"

#include <cstdio>

#include "gdi/device_contexts.h"
#include "resources/bitmap_file_layout.h"

MeterFace meterFace = {};

namespace {

// Both reports draw their text at y 100 and the error number at y 300.
constexpr int openFailedX = 290;
constexpr int readFailedX = 90;
constexpr int reportTextY = 100;
constexpr int reportNumberY = 300;

void reportFailure(HDC screen, int x, const char *text, int textLength)
{
    // Taken first: drawing may change it.
    const int error = static_cast<int>(GetLastError());
    char number[16];
    const int numberLength = std::snprintf(number, sizeof number, "%d", error);
    TextOutA(screen, x, reportTextY, text, textLength);
    TextOutA(screen, x, reportNumberY, number, numberLength);
}

// Reads exactly size bytes, or reports false.
bool readWhole(HANDLE file, void *buffer, DWORD size)
{
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

// Missing bytes at the end of a short file stay zero in the zero-filled block.
void readAvailable(HANDLE file, void *buffer, DWORD size)
{
    DWORD got = 0;
    ReadFile(file, buffer, size, &got, nullptr);
}

void *lockBlock(HGLOBAL block)
{
    return block ? GlobalLock(block) : nullptr;
}

void freeBlock(HGLOBAL block)
{
    if (!block) return;
    GlobalUnlock(block);
    GlobalFree(block);
}

BITMAPINFOHEADER toPlatform(const BmpInfoHeader &info)
{
    BITMAPINFOHEADER header;
    header.biSize = info.biSize;
    header.biWidth = info.biWidth;
    header.biHeight = info.biHeight;
    header.biPlanes = info.biPlanes;
    header.biBitCount = info.biBitCount;
    header.biCompression = info.biCompression;
    header.biSizeImage = info.biSizeImage;
    header.biXPelsPerMeter = info.biXPelsPerMeter;
    header.biYPelsPerMeter = info.biYPelsPerMeter;
    header.biClrUsed = info.biClrUsed;
    header.biClrImportant = info.biClrImportant;
    return header;
}

// Everything after a whole file header: the info header, the colour table,
// the pixels and the bitmap. Returns the bitmap made, or null.
HBITMAP readFace(HDC screen, HANDLE file, const BmpFileHeader &fileHeader)
{
    unsigned char infoBytes[infoHeaderSize];
    if (!readWhole(file, infoBytes, infoHeaderSize)) return nullptr;
    const BmpInfoHeader info = decodeInfoHeader(infoBytes);
    const BITMAPINFOHEADER header = toPlatform(info);
    // Kept even when no bitmap comes of it: the size is the file's.
    meterFace.header = header;

    const BitmapLayout layout = planBitmapLayout(fileHeader, info);
    if (!layout.makeBitmap) return nullptr;

    HBITMAP made = nullptr;
    HGLOBAL formatBlock = GlobalAlloc(GHND, layout.formatBlockSize);
    auto *format = static_cast<BITMAPINFO *>(lockBlock(formatBlock));
    if (format) {
        format->bmiHeader = header;
        if (layout.colourTableSize) readAvailable(file, format->bmiColors, layout.colourTableSize);

        HGLOBAL pixelBlock = GlobalAlloc(GHND, layout.pixelBlockSize);
        void *pixels = lockBlock(pixelBlock);
        if (pixels) {
            readAvailable(file, pixels, layout.pixelReadSize);
            made = CreateDIBitmap(screen, &header, CBM_INIT, pixels, format, DIB_RGB_COLORS);
        }
        freeBlock(pixelBlock);
    }
    freeBlock(formatBlock);
    return made;
}

}  // namespace

HBITMAP loadBackgroundBitmap(const char *path)
{
    BorrowedDC screen(nullptr);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_READONLY, nullptr);
    if (file == INVALID_HANDLE_VALUE) reportFailure(screen, openFailedX, "CREATEFILE FAILED!!", 19);

    // After a failed open this read fails too, on the handle never opened,
    // and is reported in turn; nothing more is read then.
    HBITMAP made = nullptr;
    unsigned char fileBytes[fileHeaderSize];
    DWORD got = 0;
    if (!ReadFile(file, fileBytes, fileHeaderSize, &got, nullptr))
        reportFailure(screen, readFailedX, "ReadFile FAILED!!", 17);
    else if (got == fileHeaderSize)
        made = readFace(screen, file, decodeFileHeader(fileBytes));

    // The face this load made, or none, takes the last one's place; the last
    // one is deleted, so at most one face is ever alive.
    releaseMeterFace();
    meterFace.bitmap = made;

    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return made;
}

void releaseMeterFace()
{
    DeleteObject(meterFace.bitmap);
    meterFace.bitmap = nullptr;
}
