#include "platform_calls.h"

#include <cstdlib>
#include <cstring>

namespace {

PlatformCalls counted;
bool counting = false;

// One replaced import: where the module's slot is, and what it held.
struct Hook {
    const char *dll;
    const char *function;
    void *replacement;
    void **slot;
    void *original;
};

void *originalOf(const char *function);

template <typename F>
F original(F, const char *function)
{
    return reinterpret_cast<F>(originalOf(function));
}

HDC WINAPI countGetDC(HWND window)
{
    if (counting) ++counted.getDC;
    return original(&GetDC, "GetDC")(window);
}

int WINAPI countReleaseDC(HWND window, HDC dc)
{
    if (counting) ++counted.releaseDC;
    return original(&ReleaseDC, "ReleaseDC")(window, dc);
}

HDC WINAPI countCreateCompatibleDC(HDC dc)
{
    if (counting) ++counted.createCompatibleDC;
    return original(&CreateCompatibleDC, "CreateCompatibleDC")(dc);
}

BOOL WINAPI countDeleteDC(HDC dc)
{
    if (counting) ++counted.deleteDC;
    return original(&DeleteDC, "DeleteDC")(dc);
}

HGDIOBJ WINAPI countSelectObject(HDC dc, HGDIOBJ object)
{
    if (counting) ++(GetObjectType(object) == OBJ_BITMAP ? counted.selectBitmap : counted.selectOther);
    return original(&SelectObject, "SelectObject")(dc, object);
}

BOOL WINAPI countMaskBlt(HDC d, int x, int y, int w, int h, HDC s, int sx, int sy, HBITMAP mask, int mx, int my,
                         DWORD rop)
{
    if (counting) ++counted.maskBlt;
    return original(&MaskBlt, "MaskBlt")(d, x, y, w, h, s, sx, sy, mask, mx, my, rop);
}

BOOL WINAPI countBitBlt(HDC d, int x, int y, int w, int h, HDC s, int sx, int sy, DWORD rop)
{
    if (counting) ++counted.bitBlt;
    return original(&BitBlt, "BitBlt")(d, x, y, w, h, s, sx, sy, rop);
}

HPEN WINAPI countCreatePen(int style, int width, COLORREF colour)
{
    if (counting) ++counted.createPenOrBrush;
    return original(&CreatePen, "CreatePen")(style, width, colour);
}

HPEN WINAPI countCreatePenIndirect(const LOGPEN *pen)
{
    if (counting) ++counted.createPenOrBrush;
    return original(&CreatePenIndirect, "CreatePenIndirect")(pen);
}

HBRUSH WINAPI countCreateSolidBrush(COLORREF colour)
{
    if (counting) ++counted.createPenOrBrush;
    return original(&CreateSolidBrush, "CreateSolidBrush")(colour);
}

HBRUSH WINAPI countCreateBrushIndirect(const LOGBRUSH *brush)
{
    if (counting) ++counted.createPenOrBrush;
    return original(&CreateBrushIndirect, "CreateBrushIndirect")(brush);
}

HBRUSH WINAPI countCreatePatternBrush(HBITMAP bitmap)
{
    if (counting) ++counted.createPenOrBrush;
    return original(&CreatePatternBrush, "CreatePatternBrush")(bitmap);
}

HBRUSH WINAPI countCreateHatchBrush(int hatch, COLORREF colour)
{
    if (counting) ++counted.createPenOrBrush;
    return original(&CreateHatchBrush, "CreateHatchBrush")(hatch, colour);
}

void *__cdecl countMalloc(std::size_t size)
{
    if (counting) ++counted.heapAllocations;
    return original(&countMalloc, "malloc")(size);
}

void *__cdecl countCalloc(std::size_t count, std::size_t size)
{
    if (counting) ++counted.heapAllocations;
    return original(&countCalloc, "calloc")(count, size);
}

void *__cdecl countRealloc(void *block, std::size_t size)
{
    if (counting) ++counted.heapAllocations;
    return original(&countRealloc, "realloc")(block, size);
}

LPVOID WINAPI countHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    if (counting) ++counted.heapAllocations;
    return original(&HeapAlloc, "HeapAlloc")(heap, flags, size);
}

Hook hooks[] = {
    {"user32.dll", "GetDC", reinterpret_cast<void *>(countGetDC), nullptr, nullptr},
    {"user32.dll", "ReleaseDC", reinterpret_cast<void *>(countReleaseDC), nullptr, nullptr},
    {"gdi32.dll", "CreateCompatibleDC", reinterpret_cast<void *>(countCreateCompatibleDC), nullptr, nullptr},
    {"gdi32.dll", "DeleteDC", reinterpret_cast<void *>(countDeleteDC), nullptr, nullptr},
    {"gdi32.dll", "SelectObject", reinterpret_cast<void *>(countSelectObject), nullptr, nullptr},
    {"gdi32.dll", "MaskBlt", reinterpret_cast<void *>(countMaskBlt), nullptr, nullptr},
    {"gdi32.dll", "BitBlt", reinterpret_cast<void *>(countBitBlt), nullptr, nullptr},
    {"gdi32.dll", "CreatePen", reinterpret_cast<void *>(countCreatePen), nullptr, nullptr},
    {"gdi32.dll", "CreatePenIndirect", reinterpret_cast<void *>(countCreatePenIndirect), nullptr, nullptr},
    {"gdi32.dll", "CreateSolidBrush", reinterpret_cast<void *>(countCreateSolidBrush), nullptr, nullptr},
    {"gdi32.dll", "CreateBrushIndirect", reinterpret_cast<void *>(countCreateBrushIndirect), nullptr, nullptr},
    {"gdi32.dll", "CreatePatternBrush", reinterpret_cast<void *>(countCreatePatternBrush), nullptr, nullptr},
    {"gdi32.dll", "CreateHatchBrush", reinterpret_cast<void *>(countCreateHatchBrush), nullptr, nullptr},
    {"msvcrt.dll", "malloc", reinterpret_cast<void *>(countMalloc), nullptr, nullptr},
    {"msvcrt.dll", "calloc", reinterpret_cast<void *>(countCalloc), nullptr, nullptr},
    {"msvcrt.dll", "realloc", reinterpret_cast<void *>(countRealloc), nullptr, nullptr},
    {"kernel32.dll", "HeapAlloc", reinterpret_cast<void *>(countHeapAlloc), nullptr, nullptr},
};

// A replacement only runs once its slot is replaced, so the original is known.
void *originalOf(const char *function)
{
    for (const Hook &hook : hooks)
        if (std::strcmp(hook.function, function) == 0) return hook.original;
    return nullptr;
}

// The import slot through which `module` calls dll!function, or null.
void **importSlot(HMODULE module, const char *dll, const char *function)
{
    auto *base = reinterpret_cast<unsigned char *>(module);
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress) return nullptr;
    for (auto *entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress); entry->Name;
         ++entry) {
        if (lstrcmpiA(reinterpret_cast<char *>(base + entry->Name), dll) != 0) continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(
            base + (entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk));
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char *>(byName->Name), function) == 0)
                return reinterpret_cast<void **>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void writeSlot(void **slot, void *value)
{
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

}  // namespace

PlatformCallCounter::PlatformCallCounter(HMODULE module) : module_(module)
{
    for (Hook &hook : hooks) {
        hook.slot = importSlot(module_, hook.dll, hook.function);
        if (!hook.slot) continue;
        hook.original = *hook.slot;
        writeSlot(hook.slot, hook.replacement);
    }
}

PlatformCallCounter::~PlatformCallCounter()
{
    for (Hook &hook : hooks) {
        if (hook.slot) writeSlot(hook.slot, hook.original);
        hook.slot = nullptr;
        hook.original = nullptr;
    }
}

void PlatformCallCounter::start()
{
    counted = PlatformCalls();
    counting = true;
}

PlatformCalls PlatformCallCounter::stop()
{
    counting = false;
    return counted;
}

::testing::AssertionResult vuFrameCalls(const PlatformCalls &calls)
{
    const PlatformCalls expected = {2, 2, 2, 2, 4, 0, 0, 2, 0, 0};
    if (std::memcmp(&calls, &expected, sizeof calls) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "GetDC " << calls.getDC << ", ReleaseDC " << calls.releaseDC << ", CreateCompatibleDC "
           << calls.createCompatibleDC << ", DeleteDC " << calls.deleteDC << ", bitmaps selected " << calls.selectBitmap
           << ", pens or brushes selected " << calls.selectOther << " and made " << calls.createPenOrBrush
           << ", MaskBlt " << calls.maskBlt << ", BitBlt " << calls.bitBlt << ", heap allocations "
           << calls.heapAllocations << "; expected 2 of each DC call and of MaskBlt, 4 selections, nothing else";
}
