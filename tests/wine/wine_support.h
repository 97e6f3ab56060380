// What the Wine tests share: finding and loading the built DLL like a host,
// scratch folders and files, the meter face in its place, message boxes,
// and pumping messages instead of sleeping.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/vis_records.h"

// The folder of the running test executable, with a trailing backslash.
std::string exeFolder();

// A fresh, empty folder under the build folder for one test's files.
std::string scratchFolder(const std::string &name);

// A whole file's bytes (empty when it cannot be read), and a file made anew
// with the given bytes.
std::string readFile(const std::string &path);
::testing::AssertionResult writeFile(const std::string &path, const void *bytes, std::size_t size);
template <typename Bytes>
::testing::AssertionResult writeFile(const std::string &path, const Bytes &bytes)
{
    return writeFile(path, bytes.data(), bytes.size());
}

// A meter face file at the one path the plug-in reads it from, while this
// lives; removed afterwards, with its folder if this made it.
class PlacedFace {
public:
    explicit PlacedFace(const std::string &bytes);
    ~PlacedFace();
    PlacedFace(const PlacedFace &) = delete;
    PlacedFace &operator=(const PlacedFace &) = delete;
    bool placed() const { return placed_; }

private:
    bool createdFolder_ = false;
    bool placed_ = false;
};
extern const char facePath[];

// A message box that no test expects fails the running test with its
// caption and text and is closed, so that the suite never hangs on one. A
// test that means to show boxes holds one of these meanwhile.
class ExpectedMessageBoxes {
public:
    ExpectedMessageBoxes();
    ~ExpectedMessageBoxes();
    ExpectedMessageBoxes(const ExpectedMessageBoxes &) = delete;
    ExpectedMessageBoxes &operator=(const ExpectedMessageBoxes &) = delete;
};

struct SeenMessageBox {
    HWND owner = nullptr;
    bool onlyOk = false;  // an OK button and no Cancel
    std::string text;
};

// Waits, dispatching this thread's messages, for the message box with this
// caption that `thread` shows; reads it into seen, answers OK and waits for
// the thread to end.
::testing::AssertionResult answerMessageBox(const char *caption, HANDLE thread, SeenMessageBox &seen);

// Copies the built vlvis003.dll into a fresh scratch folder and loads it,
// so that the copy starts with the library's load-time state and no
// plugin.ini beside it. Returns null on failure.
struct LoadedPlugin {
    HMODULE library = nullptr;
    std::string folder;
    VisHeader *header = nullptr;
    VisModule *module(int index) const { return header ? header->moduleByIndex(index) : nullptr; }
};
LoadedPlugin loadPluginCopy(const std::string &name);
void unloadPlugin(LoadedPlugin &plugin);

// A time limit of the tests in milliseconds, stretched by the factor the
// runner gives where it runs programs emulated and everything takes longer
// (VLVIS_TIME_STRETCH, a whole number; 1 without it).
DWORD stretched(DWORD ms);

// Dispatches this thread's messages until done() holds or ms have passed.
// Returns done()'s last value.
template <typename Done>
bool pumpFor(Done done, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The same, waiting at most the time limit given, stretched.
template <typename Done>
bool pumpUntil(Done done, DWORD timeoutMs)
{
    return pumpFor(done, stretched(timeoutMs));
}

void pumpMessagesFor(DWORD ms);

// A top-level window standing in for the player's main window. Every
// message that reaches one, sent or dispatched from its queue, is kept in
// hostMessages() for the test to read.
HWND createHostWindow(int x, int y, int width, int height);

struct HostMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<HostMessage> &hostMessages();

// GDI objects alive in this process. GetGuiResources where the platform
// counts them; Wine's always says 0, so then the entries in use in the
// process's GDI handle table, which Wine maps into the process as Windows
// does.
int liveGdiObjects();

// Live bitmaps of this process: unlike the count of all objects, it does not
// move when the platform lazily makes fonts, brushes or device contexts.
int liveGdiBitmaps();

// Windows of this process, top-level and child.
int liveWindows();
