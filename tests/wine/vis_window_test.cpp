// The vis window driven through the built DLL as a player drives it: init
// and quit, plugin.ini, and the window procedure fed with messages.
#include "frame_pictures.h"
#include "wine_support.h"

#include "window/vis_window.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The stand-in player window: 275 x 116 at a known place.
constexpr int hostX = 400;
constexpr int hostY = 500;
constexpr int hostWidth = 275;
constexpr int hostHeight = 116;

const char vuSection[] = "Analog VU meters - Velmora";
const char scopeSection[] = "Z Ovi Zavoz";

struct Frame {
    int width;
    int height;
};
constexpr Frame vuFrame = {275, 75};
constexpr Frame scopeFrame = {576, 512};

HWND findVisWindow() { return FindWindowA("VelmoraVis", nullptr); }

bool classRegistered(HMODULE library)
{
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    return GetClassInfoExA(library, "VelmoraVis", &info) != 0;
}

// Takes the quit message a destroyed vis window leaves in this thread's
// queue; true when there was one with exit code 0.
bool takeQuitMessage()
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    return msg.message == WM_QUIT && msg.wParam == 0;
}

// What the player writes into a module record before init.
void handOver(LoadedPlugin &plugin, VisModule *module, HWND host)
{
    module->parentWindow = host;
    module->dllInstance = plugin.library;
}

int start(LoadedPlugin &plugin, VisModule *module, HWND host)
{
    handOver(plugin, module, host);
    return module->init(module);
}

void stop(VisModule *module)
{
    module->quit(module);
    takeQuitMessage();
}

POINT topLeftOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top};
}

void placeWindow(HWND window, int x, int y)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    MoveWindow(window, x, y, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

// --- plugin.ini, read back with a parser of the test's own -------------

bool fileExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

const char missing[] = "<missing>";

// The value of key in section, or "<missing>".
std::string iniValue(const std::string &text, const std::string &section, const std::string &key)
{
    std::string current;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[' && line.back() == ']') {
            current = line.substr(1, line.size() - 2);
        } else if (current == section && line.rfind(key + "=", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return missing;
}

bool hasSection(const std::string &text, const std::string &section)
{
    return text.find("[" + section + "]") != std::string::npos;
}

std::string settingsOf(const LoadedPlugin &plugin) { return plugin.folder + "plugin.ini"; }

constexpr unsigned red = 0xff0000;

// --- set-up and teardown --------------------------------------------------

struct ModuleCase {
    int index;
    const char *section;
    const char *otherSection;
    Frame frame;
};

void PrintTo(const ModuleCase &row, std::ostream *out) { *out << row.section; }

const ModuleCase bothModules[] = {{0, vuSection, scopeSection, vuFrame}, {1, scopeSection, vuSection, scopeFrame}};

std::string moduleName(const ::testing::TestParamInfo<ModuleCase> &param)
{
    return param.param.index == 0 ? "Vu" : "Scope";
}

class FirstStart : public ::testing::TestWithParam<ModuleCase> {};

TEST_P(FirstStart, OpensAtHundredHundredAndQuitSavesThere)
{
    const ModuleCase &row = GetParam();
    LoadedPlugin plugin = loadPluginCopy(std::string("first_start_") + std::to_string(row.index));
    ASSERT_NE(plugin.header, nullptr);
    ASSERT_FALSE(fileExists(settingsOf(plugin)));
    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);
    VisModule *module = plugin.module(row.index);

    ASSERT_EQ(start(plugin, module, host), 0);
    HWND window = findVisWindow();
    ASSERT_NE(window, nullptr);

    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(plugin.library, "VelmoraVis", &info));
    EXPECT_EQ(info.style, 0u);
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 0);
    EXPECT_EQ(info.hIcon, nullptr);
    EXPECT_EQ(info.hCursor, nullptr);
    EXPECT_EQ(info.hbrBackground, nullptr);
    EXPECT_EQ(info.lpszMenuName, nullptr);
    HMODULE procedureOwner = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char *>(info.lpfnWndProc), &procedureOwner);
    EXPECT_EQ(procedureOwner, plugin.library) << "the procedure is the library's own";

    // The platform adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & ~DWORD(WS_CLIPSIBLINGS),
              DWORD(WS_POPUP | WS_VISIBLE | WS_SYSMENU));
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE), 0);
    EXPECT_EQ(GetWindowTextLengthA(window), 0);
    EXPECT_EQ(GetWindow(window, GW_OWNER), host);
    EXPECT_EQ(GetParent(window), host);
    EXPECT_EQ(reinterpret_cast<VisModule *>(GetWindowLongPtrA(window, GWLP_USERDATA)), module);
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_FALSE(IsZoomed(window));

    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 100);
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, row.frame.width);
    EXPECT_EQ(client.bottom, row.frame.height);

    module->quit(module);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(findVisWindow(), nullptr);
    EXPECT_FALSE(classRegistered(plugin.library));
    EXPECT_TRUE(takeQuitMessage()) << "destroying the window posts WM_QUIT with exit code 0";

    const std::string text = readFile(settingsOf(plugin));
    EXPECT_EQ(iniValue(text, row.section, "Screen_x"), "100") << text;
    EXPECT_EQ(iniValue(text, row.section, "Screen_y"), "100") << text;
    EXPECT_FALSE(hasSection(text, row.otherSection)) << text;

    DestroyWindow(host);
    unloadPlugin(plugin);
}

INSTANTIATE_TEST_SUITE_P(Modules, FirstStart, ::testing::ValuesIn(bothModules), moduleName);

TEST(VisWindowLifecycle, NextRunOpensWhereTheLastOneLeftTheWindow)
{
    LoadedPlugin plugin = loadPluginCopy("next_run");
    ASSERT_NE(plugin.header, nullptr);
    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);

    ASSERT_EQ(start(plugin, plugin.module(0), host), 0);
    placeWindow(findVisWindow(), 300, 250);
    stop(plugin.module(0));

    // The scope has no section yet and opens at the VU's last place.
    ASSERT_EQ(start(plugin, plugin.module(1), host), 0);
    POINT at = topLeftOf(findVisWindow());
    EXPECT_EQ(at.x, 300);
    EXPECT_EQ(at.y, 250);
    RECT client = {};
    GetClientRect(findVisWindow(), &client);
    EXPECT_EQ(client.right, 576);
    EXPECT_EQ(client.bottom, 512);
    placeWindow(findVisWindow(), 320, 270);
    stop(plugin.module(1));

    ASSERT_EQ(start(plugin, plugin.module(0), host), 0);
    at = topLeftOf(findVisWindow());
    EXPECT_EQ(at.x, 300);
    EXPECT_EQ(at.y, 250);
    stop(plugin.module(0));

    DestroyWindow(host);
    unloadPlugin(plugin);
}

// --- failures of init ------------------------------------------------------

struct InitCall {
    VisModule *module;
    bool blockCreation;
    int result;
};

LRESULT CALLBACK refuseVisWindow(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        char name[32] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
        if (std::strcmp(name, "VelmoraVis") == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// init on a thread of its own, so that this thread can read and close the
// message box it shows.
DWORD WINAPI callInit(void *argument)
{
    auto *call = static_cast<InitCall *>(argument);
    HHOOK hook = nullptr;
    if (call->blockCreation) hook = SetWindowsHookExA(WH_CBT, refuseVisWindow, nullptr, GetCurrentThreadId());
    call->result = call->module->init(call->module);
    if (hook) UnhookWindowsHookEx(hook);
    return 0;
}

// Runs an init that must fail: its result, and the message box it shows.
::testing::AssertionResult initFailsWithBox(VisModule *module, bool blockCreation, const char *expectedText)
{
    ExpectedMessageBoxes expected;
    InitCall call = {module, blockCreation, -1};
    HANDLE thread = CreateThread(nullptr, 0, callInit, &call, 0, nullptr);
    SeenMessageBox box;
    const ::testing::AssertionResult answered = answerMessageBox("blah", thread, box);
    if (thread) CloseHandle(thread);
    if (!answered) return answered;
    if (call.result != 1 || box.text != expectedText || box.owner != module->parentWindow || !box.onlyOk)
        return ::testing::AssertionFailure() << "init gave " << call.result << "; the box said \"" << box.text
                                             << "\"" << (box.owner != module->parentWindow ? ", not owned by the host" : "")
                                             << (box.onlyOk ? "" : ", not with OK alone");
    return ::testing::AssertionSuccess();
}

// Bitmaps are counted, not all objects: the platform makes fonts, brushes
// and device contexts for the message boxes lazily, at times of its own. A
// face left behind by each failed init would add one bitmap a round.
TEST(VisWindowLifecycle, InitWhileAModuleRunsFailsAtRegistrationAndKeepsOneFace)
{
    PlacedFace face(testFaceFile(137, 75));
    LoadedPlugin plugin = loadPluginCopy("registration_failure");
    ASSERT_NE(plugin.header, nullptr);
    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);
    VisModule *vu = plugin.module(0);
    VisModule *scope = plugin.module(1);
    ASSERT_EQ(start(plugin, vu, host), 0);
    handOver(plugin, scope, host);

    EXPECT_TRUE(initFailsWithBox(scope, false, "Error registering window class"));
    const int bitmapsBefore = liveGdiBitmaps();
    for (int round = 0; round < 5; ++round)
        EXPECT_TRUE(initFailsWithBox(scope, false, "Error registering window class")) << "round " << round;
    EXPECT_EQ(liveGdiBitmaps(), bitmapsBefore) << "each load must release the face it replaces";
    // The running module draws on with a face that is alive: (30, 30) shows it.
    EXPECT_EQ(vu->render(vu), 0);
    EXPECT_EQ(readWindow(findVisWindow(), 275, 75).at(30, 30), faceColour(30, 30));
    stop(vu);

    ASSERT_EQ(start(plugin, scope, host), 0) << "with the class free again, init works";
    stop(scope);
    DestroyWindow(host);
    unloadPlugin(plugin);
}

TEST(VisWindowLifecycle, FailedCreationGivesTheClassBackAndKeepsOneFace)
{
    PlacedFace face(testFaceFile(137, 75));
    LoadedPlugin plugin = loadPluginCopy("creation_failure");
    ASSERT_NE(plugin.header, nullptr);
    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);
    VisModule *module = plugin.module(0);
    handOver(plugin, module, host);

    for (int round = 0; round < 3; ++round) EXPECT_TRUE(initFailsWithBox(module, true, "Error creating window"));
    const int bitmapsBefore = liveGdiBitmaps();
    for (int round = 0; round < 6; ++round) {
        EXPECT_TRUE(initFailsWithBox(module, true, "Error creating window")) << "round " << round;
        EXPECT_FALSE(classRegistered(plugin.library)) << "round " << round;
    }
    EXPECT_EQ(liveGdiBitmaps(), bitmapsBefore) << "each load must release the face it replaces";
    EXPECT_EQ(findVisWindow(), nullptr);

    ASSERT_EQ(start(plugin, module, host), 0) << "a later init registers the class again";
    EXPECT_NE(findVisWindow(), nullptr);
    stop(module);

    DestroyWindow(host);
    unloadPlugin(plugin);
}

// MessageBoxA returns only once something closes the box: here, the watch.
TEST(MessageBoxWatch, AnUnexpectedBoxFailsTheTestAtOnceWithItsText)
{
    EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(MessageBoxA(nullptr, "Error registering window class", "blah", MB_OK),
                                           "\"blah\": Error registering window class");
}

// The guest runs everything about 15 times slower: the runner says how far
// the limits inside its programs stretch there, and only there.
TEST(TimeLimits, StretchOnlyInTheGuest)
{
    char inGuest[8] = {};
    const bool guest = GetEnvironmentVariableA("VLVIS_IN_GUEST", inGuest, sizeof inGuest) > 0;
    char factor[16] = {};
    ASSERT_GT(GetEnvironmentVariableA("VLVIS_TIME_STRETCH", factor, sizeof factor), 0u)
        << "the runner gives the factor in VLVIS_TIME_STRETCH";
    if (guest)
        EXPECT_GT(std::atoi(factor), 1);
    else
        EXPECT_EQ(std::atoi(factor), 1);
}

// --- many runs, nothing left behind ------------------------------------

TEST(VisWindowLifecycle, ManyRunsOfEachModuleLeaveNothingBehind)
{
    PlacedFace face(testFaceFile(137, 75));
    LoadedPlugin plugin = loadPluginCopy("many_runs");
    ASSERT_NE(plugin.header, nullptr);
    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);

    // The counter itself must see a single object come and go.
    const int idle = liveGdiObjects();
    ASSERT_GT(idle, 0) << "no way to count GDI objects";
    HBITMAP probe = CreateBitmap(1, 1, 1, 1, nullptr);
    EXPECT_EQ(liveGdiObjects(), idle + 1);
    DeleteObject(probe);
    EXPECT_EQ(liveGdiObjects(), idle);

    // One run of each first, so that what the platform creates once per
    // process is not counted as growth.
    for (int index : {0, 1}) {
        ASSERT_EQ(start(plugin, plugin.module(index), host), 0);
        stop(plugin.module(index));
    }
    const int gdiBefore = liveGdiObjects();
    const int windowsBefore = liveWindows();
    const DWORD guiGdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD guiUserBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);

    // Window handles carry a table index in their low 16 bits: windows that
    // stayed alive would push new runs onto ever new indices.
    std::set<HWND> windows;
    std::set<unsigned> windowIndices;
    int gdiPeak = gdiBefore;
    // Emulated, where every run takes about 15 times as long, a tenth of the
    // rounds: whatever one run leaves behind still adds up to 50 of it.
    const int rounds = stretched(1) > 1 ? 50 : 500;
    for (int round = 0; round < rounds; ++round) {
        for (int index : {0, 1}) {
            VisModule *module = plugin.module(index);
            ASSERT_EQ(start(plugin, module, host), 0) << "round " << round << ", module " << index;
            HWND window = findVisWindow();
            ASSERT_NE(window, nullptr);
            windows.insert(window);
            windowIndices.insert(LOWORD(reinterpret_cast<ULONG_PTR>(window)));
            const int gdiRunning = liveGdiObjects();
            if (gdiRunning > gdiPeak) gdiPeak = gdiRunning;
            module->quit(module);
            ASSERT_FALSE(IsWindow(window)) << "round " << round;
            ASSERT_FALSE(classRegistered(plugin.library)) << "round " << round;
            ASSERT_TRUE(takeQuitMessage()) << "round " << round;
        }
    }
    const int gdiAfter = liveGdiObjects();
    const int windowsAfter = liveWindows();
    std::printf("[ figures  ] GDI objects: %d before, %d at most while running, %d after %d runs\n", gdiBefore,
                gdiPeak, gdiAfter, 2 * rounds);
    std::printf("[ figures  ] windows of the process: %d before, %d after; %zu distinct vis window handles "
                "on %zu table indices\n",
                windowsBefore, windowsAfter, windows.size(), windowIndices.size());
    std::printf("[ figures  ] GetGuiResources: GDI %lu -> %lu, USER %lu -> %lu\n", guiGdiBefore,
                GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), guiUserBefore,
                GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    EXPECT_EQ(gdiAfter, gdiBefore);
    EXPECT_EQ(windowsAfter, windowsBefore);
    EXPECT_LE(windowIndices.size(), 4u);
    EXPECT_GT(gdiPeak, gdiBefore) << "a running module holds its back buffer and face";
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), guiGdiBefore);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), guiUserBefore);

    DestroyWindow(host);
    unloadPlugin(plugin);
}

// --- settings -----------------------------------------------------------

struct ClampCase {
    int storedX, storedY;
    int x, y;
};

TEST(WindowSettings, LoadedPositionIsClampedAndWrittenBackClamped)
{
    LoadedPlugin plugin = loadPluginCopy("settings_clamp");
    ASSERT_NE(plugin.header, nullptr);
    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);
    const ClampCase rows[] = {
        {2001, 500, 100, 500}, {99, 500, 100, 500},   {2000, 500, 2000, 500}, {100, 500, 100, 500},
        {500, 2001, 500, 100}, {500, 99, 500, 100},   {500, 2000, 500, 2000}, {500, 100, 500, 100},
        {50, 500, 100, 500},   {1500, 30, 1500, 100}, {-20, 300, 100, 300},   {50, 50, 100, 100},
    };
    for (const ClampCase &row : rows) {
        SCOPED_TRACE(std::to_string(row.storedX) + ", " + std::to_string(row.storedY));
        ASSERT_TRUE(writeFile(settingsOf(plugin), std::string("[") + vuSection + "]\r\nScreen_x=" + std::to_string(row.storedX) +
                                          "\r\nScreen_y=" + std::to_string(row.storedY) + "\r\n"));
        ASSERT_EQ(start(plugin, plugin.module(0), host), 0);
        const POINT at = topLeftOf(findVisWindow());
        EXPECT_EQ(at.x, row.x);
        EXPECT_EQ(at.y, row.y);
        stop(plugin.module(0));
        const std::string text = readFile(settingsOf(plugin));
        EXPECT_EQ(iniValue(text, vuSection, "Screen_x"), std::to_string(row.x));
        EXPECT_EQ(iniValue(text, vuSection, "Screen_y"), std::to_string(row.y));
    }
    DestroyWindow(host);
    unloadPlugin(plugin);
}

TEST(WindowSettings, NonNumericValueIsReadAsThePlatformReadsItThenClamped)
{
    LoadedPlugin plugin = loadPluginCopy("settings_text");
    ASSERT_NE(plugin.header, nullptr);
    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);
    ASSERT_TRUE(writeFile(settingsOf(plugin), std::string("[") + vuSection + "]\r\nScreen_x=left\r\nScreen_y=300\r\n"));
    // What the platform's own integer read makes of the text, clamped.
    int platformX = static_cast<int>(GetPrivateProfileIntA(vuSection, "Screen_x", 50, settingsOf(plugin).c_str()));
    if (platformX < 100 || platformX > 2000) platformX = 100;

    ASSERT_EQ(start(plugin, plugin.module(0), host), 0);
    const POINT at = topLeftOf(findVisWindow());
    EXPECT_EQ(at.x, platformX);
    EXPECT_EQ(at.x, 100);
    EXPECT_EQ(at.y, 300);
    stop(plugin.module(0));
    EXPECT_EQ(iniValue(readFile(settingsOf(plugin)), vuSection, "Screen_x"), "100");

    DestroyWindow(host);
    unloadPlugin(plugin);
}

TEST(WindowSettings, EachModuleKeepsItsSectionAndTheRestOfTheFileIsLeftAlone)
{
    LoadedPlugin plugin = loadPluginCopy("settings_sections");
    ASSERT_NE(plugin.header, nullptr);
    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);
    ASSERT_TRUE(writeFile(settingsOf(plugin), std::string("[Another plug-in]\r\nScreen_x=7\r\nScreen_y=8\r\n") + "[" + vuSection +
                                      "]\r\nColour=green\r\nScreen_x=300\r\nScreen_y=400\r\n" + "[" + scopeSection +
                                      "]\r\nScreen_x=500\r\nScreen_y=600\r\nExtra=yes\r\n"));

    ASSERT_EQ(start(plugin, plugin.module(1), host), 0);
    POINT at = topLeftOf(findVisWindow());
    EXPECT_EQ(at.x, 500);
    EXPECT_EQ(at.y, 600);
    placeWindow(findVisWindow(), 700, 650);
    stop(plugin.module(1));

    std::string text = readFile(settingsOf(plugin));
    EXPECT_EQ(iniValue(text, scopeSection, "Screen_x"), "700") << text;
    EXPECT_EQ(iniValue(text, scopeSection, "Screen_y"), "650") << text;
    EXPECT_EQ(iniValue(text, scopeSection, "Extra"), "yes") << text;
    EXPECT_EQ(iniValue(text, vuSection, "Screen_x"), "300") << text;
    EXPECT_EQ(iniValue(text, vuSection, "Screen_y"), "400") << text;
    EXPECT_EQ(iniValue(text, vuSection, "Colour"), "green") << text;
    EXPECT_EQ(iniValue(text, "Another plug-in", "Screen_x"), "7") << text;
    EXPECT_EQ(iniValue(text, "Another plug-in", "Screen_y"), "8") << text;

    ASSERT_EQ(start(plugin, plugin.module(0), host), 0);
    at = topLeftOf(findVisWindow());
    EXPECT_EQ(at.x, 300);
    EXPECT_EQ(at.y, 400);
    stop(plugin.module(0));

    text = readFile(settingsOf(plugin));
    EXPECT_EQ(iniValue(text, scopeSection, "Screen_x"), "700") << text;
    EXPECT_EQ(iniValue(text, scopeSection, "Screen_y"), "650") << text;
    EXPECT_EQ(iniValue(text, vuSection, "Screen_x"), "300") << text;
    EXPECT_EQ(iniValue(text, vuSection, "Colour"), "green") << text;
    EXPECT_EQ(iniValue(text, "Another plug-in", "Screen_y"), "8") << text;

    DestroyWindow(host);
    unloadPlugin(plugin);
}

// Library paths too long for the settings path: the wide functions reach
// them, with the \\?\ prefix where the path passes 260 characters.
std::wstring wide(const std::string &text) { return std::wstring(text.begin(), text.end()); }

std::wstring longForm(const std::wstring &path) { return L"\\\\?\\" + path; }

bool anySettingsFileOnTheWay(const std::wstring &root, const std::wstring &folder)
{
    std::wstring current = folder;
    while (current.size() >= root.size()) {
        if (GetFileAttributesW(longForm(current + L"plugin.ini").c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        if (current.size() == root.size()) break;
        current = current.substr(0, current.find_last_of(L'\\', current.size() - 2) + 1);
    }
    return false;
}

struct LongPathCase {
    const char *name;
    std::size_t folderLength;  // with the trailing backslash
    const wchar_t *libraryName;
};

void PrintTo(const LongPathCase &row, std::ostream *out) { *out << row.name; }

class LongLibraryPath : public ::testing::TestWithParam<LongPathCase> {};

TEST_P(LongLibraryPath, RunsWithoutSettingsAndWritesNone)
{
    const LongPathCase &row = GetParam();
    const std::wstring root = wide(scratchFolder(std::string("long_path_") + row.name));
    if (root.size() + 20 > row.folderLength) GTEST_SKIP() << "the build folder's path is already too long";

    // Nested folders of at most 200 characters each, to the exact length.
    // They may be left from an earlier run: the ANSI clean-up cannot reach
    // them.
    std::vector<std::wstring> folders;
    std::wstring folder = root;
    while (folder.size() < row.folderLength) {
        const std::size_t remaining = row.folderLength - folder.size();
        const std::size_t part = remaining <= 201 ? remaining - 1 : remaining - 201 >= 2 ? 200 : 150;
        folder += std::wstring(part, L'f') + L"\\";
        folders.push_back(folder);
        ASSERT_TRUE(CreateDirectoryW(longForm(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
            << folder.size();
    }
    ASSERT_EQ(folder.size(), row.folderLength);
    const std::wstring library = folder + row.libraryName;
    ASSERT_TRUE(CopyFileW(wide(exeFolder() + "vlvis003.dll").c_str(), longForm(library).c_str(), FALSE));
    // A settings file where the path would point, had it fitted.
    const std::wstring planted = folder + L"plugin.ini";
    {
        HANDLE file = CreateFileW(longForm(planted).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const char text[] = "[Analog VU meters - Velmora]\r\nScreen_x=300\r\nScreen_y=400\r\n";
        DWORD written = 0;
        WriteFile(file, text, sizeof text - 1, &written, nullptr);
        CloseHandle(file);
    }

    LoadedPlugin plugin;
    plugin.library = LoadLibraryW(longForm(library).c_str());
    ASSERT_NE(plugin.library, nullptr) << GetLastError();
    auto getHeader = reinterpret_cast<VisHeader *(__cdecl *)()>(
        reinterpret_cast<void *>(GetProcAddress(plugin.library, "winampVisGetHeader")));
    ASSERT_NE(getHeader, nullptr);
    plugin.header = getHeader();
    char fetched[260];
    const DWORD fetchedLength = GetModuleFileNameA(plugin.library, fetched, sizeof fetched);
    std::printf("[ figures  ] library path of %zu characters; GetModuleFileNameA gives %lu\n", library.size(),
                fetchedLength);

    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);
    ASSERT_EQ(start(plugin, plugin.module(0), host), 0);
    const POINT at = topLeftOf(findVisWindow());
    EXPECT_EQ(at.x, 100) << "nothing read: the load-time position, clamped";
    EXPECT_EQ(at.y, 100);
    placeWindow(findVisWindow(), 333, 444);
    stop(plugin.module(0));

    DeleteFileW(longForm(planted).c_str());
    EXPECT_FALSE(anySettingsFileOnTheWay(root, folder)) << "nothing written beside or above the library";

    DestroyWindow(host);
    FreeLibrary(plugin.library);
    DeleteFileW(longForm(library).c_str());
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryW(longForm(*it).c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Table, LongLibraryPath,
    // The library's name fits, the settings path would not (250 + 10).
    ::testing::Values(LongPathCase{"short_name", 250, L"v.dll"},
                      // The library's own name is longer than 260: the
                      // platform cuts it short.
                      LongPathCase{"long_name", 320, L"vlvis003.dll"}),
    [](const ::testing::TestParamInfo<LongPathCase> &param) { return std::string(param.param.name); });

// --- the window procedure -------------------------------------------------

class WindowProcedure : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        plugin = loadPluginCopy("window_procedure");
        host = createHostWindow(hostX, hostY, hostWidth, hostHeight);
    }
    static void TearDownTestSuite()
    {
        DestroyWindow(host);
        unloadPlugin(plugin);
    }
    void SetUp() override
    {
        ASSERT_NE(plugin.header, nullptr);
        module = plugin.module(0);
        ASSERT_EQ(start(plugin, module, host), 0);
        window = findVisWindow();
        ASSERT_NE(window, nullptr);
        pumpMessagesFor(0);
        hostMessages().clear();
    }
    void TearDown() override
    {
        if (module) stop(module);
    }
    // Ends the run and returns the position quit saved.
    POINT quitAndReadSaved()
    {
        stop(module);
        module = nullptr;
        const std::string text = readFile(settingsOf(plugin));
        return {std::stoi(iniValue(text, vuSection, "Screen_x")), std::stoi(iniValue(text, vuSection, "Screen_y"))};
    }

    static LoadedPlugin plugin;
    static HWND host;
    VisModule *module = nullptr;
    HWND window = nullptr;
};
LoadedPlugin WindowProcedure::plugin;
HWND WindowProcedure::host = nullptr;

struct KeyCase {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool forwarded;
};

TEST_F(WindowProcedure, KeyPressesAndReleasesArePostedToTheHostUnchanged)
{
    const KeyCase rows[] = {
        {WM_KEYDOWN, 'A', 0x001e0001, true},
        {WM_KEYUP, 'A', static_cast<LPARAM>(0xc01e0001u), true},
        {WM_KEYDOWN, VK_RETURN, 0x411c0001, true},
        {WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xc0390001u), true},
        {WM_CHAR, 'a', 0x001e0001, false},
        {WM_DEADCHAR, '^', 0x00290001, false},
        {WM_SYSKEYDOWN, 'B', 0x00300001, false},
        {WM_SYSKEYUP, 'B', static_cast<LPARAM>(0xc0300001u), false},
    };
    for (const KeyCase &row : rows) {
        SCOPED_TRACE(row.message);
        hostMessages().clear();
        const LRESULT result = SendMessageA(window, row.message, row.wParam, row.lParam);
        if (!row.forwarded) {
            pumpMessagesFor(20);
            for (const HostMessage &seen : hostMessages()) EXPECT_NE(seen.message, row.message);
            continue;
        }
        EXPECT_EQ(result, 0);
        // Posted, not sent: waiting in the host's queue, not yet handled.
        for (const HostMessage &seen : hostMessages()) EXPECT_NE(seen.message, row.message);
        MSG waiting;
        ASSERT_TRUE(PeekMessageA(&waiting, host, row.message, row.message, PM_NOREMOVE));
        EXPECT_EQ(waiting.wParam, row.wParam);
        EXPECT_EQ(waiting.lParam, row.lParam);
        ASSERT_TRUE(pumpUntil(
            [&] {
                for (const HostMessage &seen : hostMessages())
                    if (seen.message == row.message) return true;
                return false;
            },
            5000));
        int count = 0;
        for (const HostMessage &seen : hostMessages()) {
            if (seen.message != row.message) continue;
            ++count;
            EXPECT_EQ(seen.window, host);
            EXPECT_EQ(seen.wParam, row.wParam);
            EXPECT_EQ(seen.lParam, row.lParam);
        }
        EXPECT_EQ(count, 1);
    }
}

struct PointerStep {
    UINT message;
    WPARAM wParam;
    int x;
    int y;
};

struct PointerCase {
    const char *name;
    int startX, startY;
    std::vector<PointerStep> steps;
    int x, y;
};

void PrintTo(const PointerCase &row, std::ostream *out) { *out << row.name; }

constexpr PointerStep press(int x, int y) { return {WM_LBUTTONDOWN, MK_LBUTTON, x, y}; }
constexpr PointerStep drag(int x, int y) { return {WM_MOUSEMOVE, MK_LBUTTON, x, y}; }
constexpr PointerStep release(int x, int y) { return {WM_LBUTTONUP, 0, x, y}; }

class PointerMessages : public WindowProcedure, public ::testing::WithParamInterface<PointerCase> {};

// Client coordinates travel as 16-bit halves; negative ones as their two's
// complement, as the platform packs them for a captured pointer.
LPARAM packed(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

TEST_P(PointerMessages, EndWhereThePointerAndTheHostSay)
{
    const PointerCase &row = GetParam();
    placeWindow(window, row.startX, row.startY);
    for (const PointerStep &step : row.steps)
        EXPECT_EQ(SendMessageA(window, step.message, step.wParam, packed(step.x, step.y)), 0);
    EXPECT_EQ(GetCapture(), nullptr) << "no capture left behind";

    const POINT at = topLeftOf(window);
    EXPECT_EQ(at.x, row.x);
    EXPECT_EQ(at.y, row.y);
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 275) << "moves keep the size";
    EXPECT_EQ(client.bottom, 75);

    const POINT saved = quitAndReadSaved();
    EXPECT_EQ(saved.x, row.x) << "the last move is what quit saves";
    EXPECT_EQ(saved.y, row.y);
}

// The host window is at (400, 500), 275 x 116: top 500, bottom 616.
INSTANTIATE_TEST_SUITE_P(
    Table, PointerMessages,
    ::testing::Values(
        PointerCase{"DragRightAndDown", 600, 200, {press(30, 20), drag(40, 25), drag(50, 35), release(50, 35)}, 630,
                    220},
        // Anchor x 30, pointer 5 left of the window: 35 to the left.
        PointerCase{"PointerLeftOfWindow", 600, 200, {press(30, 20), drag(-5, 20), release(-5, 20)}, 565, 200},
        PointerCase{"PointerAboveWindow", 600, 200, {press(30, 20), drag(30, -7), release(30, -7)}, 600, 173},
        PointerCase{"PointerFarAboveLeft", 600, 200, {press(200, 60), drag(-300, -100), release(-300, -100)}, 100,
                    40},
        PointerCase{"XAtLimitStays", 1200, 200, {press(10, 10), drag(90, 10), release(90, 10)}, 1280, 200},
        PointerCase{"XPastLimitGoesToOrigin", 1200, 200, {press(10, 10), drag(91, 10), release(91, 10)}, 0, 0},
        PointerCase{"YAtLimitStays", 600, 1000, {press(10, 10), drag(10, 34), release(10, 34)}, 600, 1024},
        PointerCase{"YPastLimitGoesToOrigin", 600, 1000, {press(10, 10), drag(10, 35), release(10, 35)}, 0, 0},
        PointerCase{"BothPastLimits", 1200, 1000, {press(10, 10), drag(100, 100), release(100, 100)}, 0, 0},
        // True displacements above 1280 and 1024 are ordinary ones.
        PointerCase{"WideMoveStaysWithThePointer", -200, 100, {press(0, 0), drag(1300, 0), release(1300, 0)}, 1100,
                    100},
        PointerCase{"TallMoveStaysWithThePointer", 100, -100, {press(0, 0), drag(0, 1050), release(0, 1050)}, 100,
                    950},
        PointerCase{"PastTheLeftEdgeStaysNegative", 50, 300, {press(100, 20), drag(-200, 20), release(-200, 20)}, -250,
                    300},
        PointerCase{"PastTheTopEdgeStaysNegative", 50, 10, {press(100, 20), drag(100, -60), release(100, -60)}, 50,
                    -70},
        PointerCase{"MoveWithoutTheButtonDoesNothing", 600, 200,
                    {press(30, 20), {WM_MOUSEMOVE, 0, 80, 80}, {WM_MOUSEMOVE, MK_RBUTTON, 80, 80}, release(30, 20)},
                    600, 200},
        PointerCase{"MoveAfterReleaseUsesTheLastAnchor", 600, 200, {press(30, 20), release(30, 20), drag(40, 20)}, 610,
                    200},
        // Snapping: left edges 9 apart and the bottom 9 above the host's top.
        PointerCase{"SnapsAbove", 409, 416, {press(10, 10), release(10, 10)}, 400, 426},
        PointerCase{"SnapsAboveFromOverlapping", 397, 434, {press(10, 10), release(10, 10)}, 400, 426},
        PointerCase{"LeftEdgesTenApartStays", 410, 425, {press(10, 10), release(10, 10)}, 410, 425},
        PointerCase{"SnapsBelow", 405, 619, {press(10, 10), release(10, 10)}, 400, 616},
        PointerCase{"VerticallyFarStays", 395, 700, {press(10, 10), release(10, 10)}, 395, 700},
        PointerCase{"ClickOnSnappedWindowKeepsIt", 400, 426, {press(10, 10), release(10, 10)}, 400, 426},
        PointerCase{"ReleaseWithoutPressStillSnaps", 409, 416, {release(10, 10)}, 400, 426},
        PointerCase{"DragThenSnap", 600, 200, {press(10, 10), drag(-181, 226), release(-181, 226)}, 400, 426}),
    [](const ::testing::TestParamInfo<PointerCase> &param) { return std::string(param.param.name); });

TEST_F(WindowProcedure, PressTakesTheCaptureAndReleaseGivesItBack)
{
    placeWindow(window, 600, 200);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, packed(5, 5));
    EXPECT_EQ(GetCapture(), window);
    SendMessageA(window, WM_LBUTTONUP, 0, packed(5, 5));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WindowProcedure, MovesBySomeoneElseAreWhatQuitSaves)
{
    placeWindow(window, 777, 333);
    SetWindowPos(window, nullptr, 801, 302, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const POINT saved = quitAndReadSaved();
    EXPECT_EQ(saved.x, 801);
    EXPECT_EQ(saved.y, 302);
}

TEST_F(WindowProcedure, WithoutAnOwnerAReleaseSnapsNowhere)
{
    stop(module);
    ASSERT_EQ(start(plugin, module, nullptr), 0);
    window = findVisWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(window), nullptr);
    placeWindow(window, 3, 4);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, packed(10, 10));
    SendMessageA(window, WM_LBUTTONUP, 0, packed(10, 10));
    const POINT at = topLeftOf(window);
    EXPECT_EQ(at.x, 3);
    EXPECT_EQ(at.y, 4);
}

TEST_F(WindowProcedure, EraseDoesNothingAndOtherMessagesReachTheDefault)
{
    fillWindow(window, 275, 75, red);
    HDC screen = GetDC(window);
    EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(screen), 0), 0);
    ReleaseDC(window, screen);
    for (unsigned pixel : readWindow(window, 275, 75).pixels) ASSERT_EQ(pixel, red);
    // WM_NCHITTEST is left to the default procedure: the client area.
    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_EQ(SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(rect.left + 5, rect.top + 5)), HTCLIENT);
}

// A paint through the library covers the whole client area with the back
// buffer, black and white only; red would remain where it did not.
class PaintThroughTheLibrary : public ::testing::TestWithParam<ModuleCase> {};

TEST_P(PaintThroughTheLibrary, CoversTheClientAreaFromTheMonochromeBackBuffer)
{
    const ModuleCase &row = GetParam();
    LoadedPlugin plugin = loadPluginCopy(std::string("paint_") + std::to_string(row.index));
    ASSERT_NE(plugin.header, nullptr);
    HWND host = createHostWindow(hostX, hostY, hostWidth, hostHeight);
    VisModule *module = plugin.module(row.index);
    ASSERT_EQ(start(plugin, module, host), 0);
    HWND window = findVisWindow();
    placeWindow(window, 120, 110);
    pumpMessagesFor(0);

    fillWindow(window, row.frame.width, row.frame.height, red);
    for (unsigned pixel : readWindow(window, row.frame.width, row.frame.height).pixels) ASSERT_EQ(pixel, red);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    RECT update = {};
    EXPECT_FALSE(GetUpdateRect(window, &update, FALSE)) << "the paint validates the window";

    const std::vector<std::uint32_t> pixels = readWindow(window, row.frame.width, row.frame.height).pixels;
    int other = 0;
    for (unsigned pixel : pixels)
        if (pixel != 0x000000 && pixel != 0xffffff) ++other;
    EXPECT_EQ(other, 0) << "pixels neither black nor white, first " << std::hex << pixels[0];

    stop(module);
    DestroyWindow(host);
    unloadPlugin(plugin);
}

INSTANTIATE_TEST_SUITE_P(Modules, PaintThroughTheLibrary, ::testing::ValuesIn(bothModules), moduleName);

// The same procedure, linked into this program, painting from a back
// buffer the test fills with a pattern of its own and makes larger than
// the client area: exactly the client area appears, from the origin.
bool patternIsBlack(int x, int y) { return (x * 7 + y * 13) % 5 == 0 || x == y; }

TEST(PaintFromTheBackBuffer, CopiesExactlyTheClientAreaFromTheOrigin)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = visWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VlvisPaintProbe";
    ASSERT_NE(RegisterClassA(&windowClass), 0);

    for (const Frame frame : {vuFrame, scopeFrame}) {
        SCOPED_TRACE(frame.width);
        const int bufferWidth = frame.width + 100;
        const int bufferHeight = frame.height + 60;
        visWindow.backBuffer = createBackBuffer(bufferWidth, bufferHeight);
        HDC buffer = visWindow.backBuffer.dc;
        PatBlt(buffer, 0, 0, bufferWidth, bufferHeight, WHITENESS);
        for (int y = 0; y < bufferHeight; ++y)
            for (int x = 0; x < bufferWidth; ++x)
                if (patternIsBlack(x, y)) SetPixel(buffer, x, y, RGB(0, 0, 0));

        HWND window = CreateWindowExA(0, "VlvisPaintProbe", nullptr, WS_POPUP | WS_VISIBLE, 60, 40, frame.width,
                                      frame.height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        pumpMessagesFor(0);
        fillWindow(window, frame.width, frame.height, red);
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);

        const std::vector<std::uint32_t> pixels = readWindow(window, frame.width, frame.height).pixels;
        int wrong = 0;
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x)
                if (pixels[y * frame.width + x] != (patternIsBlack(x, y) ? 0x000000u : 0xffffffu)) ++wrong;
        EXPECT_EQ(wrong, 0);

        DestroyWindow(window);
        takeQuitMessage();
        releaseBackBuffer(visWindow.backBuffer);
    }
    UnregisterClassA("VlvisPaintProbe", GetModuleHandleA(nullptr));
}

}  // namespace
