// Counts the platform calls that code makes during a render, by replacing
// entries of a module's import table: the test executable's own (which
// links the plug-in's code) or a loaded copy of the DLL. Only calls made
// between start() and stop() are counted.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

struct PlatformCalls {
    int getDC = 0;
    int releaseDC = 0;
    int createCompatibleDC = 0;
    int deleteDC = 0;
    int selectBitmap = 0;
    int selectOther = 0;        // a pen, a brush, anything not a bitmap
    int createPenOrBrush = 0;
    int maskBlt = 0;
    int bitBlt = 0;
    int heapAllocations = 0;    // malloc, calloc, realloc, operator new, HeapAlloc
};

// What one VU frame must call: two masked copies, each with its own window
// device context and memory device context, and nothing else of note.
::testing::AssertionResult vuFrameCalls(const PlatformCalls &calls);

class PlatformCallCounter {
public:
    // Replaces the import entries of `module`; restores them on destruction.
    explicit PlatformCallCounter(HMODULE module);
    ~PlatformCallCounter();
    PlatformCallCounter(const PlatformCallCounter &) = delete;
    PlatformCallCounter &operator=(const PlatformCallCounter &) = delete;

    void start();
    PlatformCalls stop();

private:
    HMODULE module_;
};
