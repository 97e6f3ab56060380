// Device contexts and selections that are given back when they go out of
// scope, the last taken first. Plain handles: no heap, no exceptions. Each
// is given back even when taking it failed, since the platform ignores a
// null device context or object there.
#pragma once

#include <windows.h>

// GetDC for a window (null: the whole screen), ReleaseDC with the same window.
class BorrowedDC {
public:
    explicit BorrowedDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~BorrowedDC() { ReleaseDC(window_, dc_); }
    BorrowedDC(const BorrowedDC &) = delete;
    BorrowedDC &operator=(const BorrowedDC &) = delete;
    operator HDC() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// CreateCompatibleDC (null: compatible with the screen), DeleteDC.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() { DeleteDC(dc_); }
    MemoryDC(const MemoryDC &) = delete;
    MemoryDC &operator=(const MemoryDC &) = delete;
    operator HDC() const { return dc_; }

private:
    HDC dc_;
};

// SelectObject, and the object it gave back selected again at the end.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
