#include "wine_support.h"

#include <winternl.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

std::string exeFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// Wide, so that names outside the code page that the host tests make go too.
static void removeTree(const std::wstring &folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(folder + name + L"\\");
            else {
                SetFileAttributesW((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((folder + name).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

std::string scratchFolder(const std::string &name)
{
    const std::string root = exeFolder() + "wine-scratch\\";
    CreateDirectoryA(root.c_str(), nullptr);
    const std::string folder = root + name + "\\";
    removeTree(std::wstring(folder.begin(), folder.end()));  // ASCII: the build folder's and the test's names
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string readFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

::testing::AssertionResult writeFile(const std::string &path, const void *bytes, std::size_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ::testing::AssertionFailure() << "cannot create " << path << ", error " << GetLastError();
    DWORD written = 0;
    if (size) WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    if (written != size) return ::testing::AssertionFailure() << "wrote " << written << " of " << size << " bytes to " << path;
    return ::testing::AssertionSuccess();
}

static const char faceFolder[] = "c:\\program files\\winamp";
const char facePath[] = "c:\\program files\\winamp\\vl-vu.bmp";

PlacedFace::PlacedFace(const std::string &bytes)
{
    createdFolder_ = CreateDirectoryA(faceFolder, nullptr) != 0;
    placed_ = writeFile(facePath, bytes);
}

PlacedFace::~PlacedFace()
{
    DeleteFileA(facePath);
    if (createdFolder_) RemoveDirectoryA(faceFolder);
}

// --- message boxes ---------------------------------------------------------

static std::atomic<int> expectedMessageBoxes{0};

ExpectedMessageBoxes::ExpectedMessageBoxes() { ++expectedMessageBoxes; }
ExpectedMessageBoxes::~ExpectedMessageBoxes() { --expectedMessageBoxes; }

struct BoxSearch {
    const char *caption;  // null: any
    HWND found;
};

static BOOL CALLBACK findMessageBox(HWND window, LPARAM parameter)
{
    auto *search = reinterpret_cast<BoxSearch *>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[16] = {}, caption[256] = {};
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, caption, sizeof caption);
    if (process != GetCurrentProcessId() || std::strcmp(name, "#32770") != 0 || !IsWindowVisible(window) ||
        (search->caption && std::strcmp(caption, search->caption) != 0))
        return TRUE;
    search->found = window;
    return FALSE;
}

// A visible message box of this process; visible only once it is complete.
static HWND visibleMessageBox(const char *caption)
{
    BoxSearch search = {caption, nullptr};
    EnumWindows(findMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

static std::string messageBoxText(HWND box)
{
    char text[2048] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

::testing::AssertionResult answerMessageBox(const char *caption, HANDLE thread, SeenMessageBox &seen)
{
    HWND box = nullptr;
    if (!thread || !pumpUntil([&] { return (box = visibleMessageBox(caption)) != nullptr; }, 10000))
        return ::testing::AssertionFailure() << "no message box \"" << caption << "\" appeared";
    seen.owner = GetWindow(box, GW_OWNER);
    seen.onlyOk = GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL);
    seen.text = messageBoxText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    if (!pumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 10000))
        return ::testing::AssertionFailure() << "the thread that showed \"" << caption << "\" did not end";
    return ::testing::AssertionSuccess();
}

// Looks ten times a second; an unexpected box is reported, then closed so
// that the call that showed it returns.
static DWORD WINAPI watchMessageBoxes(void *)
{
    for (;;) {
        Sleep(100);
        HWND box = expectedMessageBoxes ? nullptr : visibleMessageBox(nullptr);
        if (!box) continue;
        char caption[256] = {};
        GetWindowTextA(box, caption, sizeof caption);
        ADD_FAILURE() << "unexpected message box \"" << caption << "\": " << messageBoxText(box);
        for (int tries = 0; tries < 50 && IsWindow(box); ++tries) {
            PostMessageA(box, WM_COMMAND, tries % 2 ? IDCANCEL : IDOK, 0);
            Sleep(100);
        }
    }
}

class MessageBoxWatch : public ::testing::Environment {
public:
    void SetUp() override { CloseHandle(CreateThread(nullptr, 0, watchMessageBoxes, nullptr, 0, nullptr)); }
};
static ::testing::Environment *const messageBoxWatch = ::testing::AddGlobalTestEnvironment(new MessageBoxWatch);

LoadedPlugin loadPluginCopy(const std::string &name)
{
    LoadedPlugin plugin;
    plugin.folder = scratchFolder(name);
    const std::string target = plugin.folder + "vlvis003.dll";
    if (!CopyFileA((exeFolder() + "vlvis003.dll").c_str(), target.c_str(), FALSE)) return plugin;
    plugin.library = LoadLibraryA(target.c_str());
    if (!plugin.library) return plugin;
    auto getHeader = reinterpret_cast<VisHeader *(__cdecl *)()>(
        reinterpret_cast<void *>(GetProcAddress(plugin.library, "winampVisGetHeader")));
    if (getHeader) plugin.header = getHeader();
    return plugin;
}

void unloadPlugin(LoadedPlugin &plugin)
{
    if (plugin.library) FreeLibrary(plugin.library);
    plugin = LoadedPlugin();
}

void pumpMessagesFor(DWORD ms)
{
    pumpFor([] { return false; }, ms);
}

DWORD stretched(DWORD ms)
{
    char text[16] = {};
    const DWORD length = GetEnvironmentVariableA("VLVIS_TIME_STRETCH", text, sizeof text);
    const long factor = length > 0 && length < sizeof text ? std::strtol(text, nullptr, 10) : 1;
    return factor > 1 ? ms * static_cast<DWORD>(factor) : ms;
}

std::vector<HostMessage> &hostMessages()
{
    static std::vector<HostMessage> received;
    return received;
}

static LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    hostMessages().push_back({window, message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createHostWindow(int x, int y, int width, int height)
{
    static ATOM hostClass = 0;
    if (!hostClass) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = hostWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VlvisTestHost";
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        hostClass = RegisterClassA(&windowClass);
    }
    HWND window = CreateWindowExA(0, "VlvisTestHost", "test host", WS_POPUP | WS_VISIBLE, x, y, width,
                                  height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    pumpMessagesFor(0);
    return window;
}

// One entry of the GDI handle table as Wine lays it out, with 64-bit
// fields in processes of either width; an entry in use has a non-zero type.
struct GdiHandleEntry {
    unsigned long long object;
    unsigned int owner;
    unsigned short unique;
    unsigned char type;
    unsigned char flags;
    unsigned long long user;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr int gdiHandleTableEntries = 0x10000;
// GdiSharedHandleTable in the process environment block.
#ifdef _WIN64
constexpr std::size_t gdiHandleTableOffset = 0xf8;
#else
constexpr std::size_t gdiHandleTableOffset = 0x94;
#endif

// The process's GDI handle table, or null where it cannot be read.
static const GdiHandleEntry *gdiHandleTable()
{
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return nullptr;
    const auto *peb = reinterpret_cast<const unsigned char *>(basic.PebBaseAddress);
    return *reinterpret_cast<const GdiHandleEntry *const *>(peb + gdiHandleTableOffset);
}

int liveGdiObjects()
{
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted) return static_cast<int>(counted);
    const GdiHandleEntry *table = gdiHandleTable();
    if (!table) return -1;
    int live = 0;
    for (int index = 0; index < gdiHandleTableEntries; ++index)
        if (table[index].type) ++live;
    return live;
}

int liveGdiBitmaps()
{
    const GdiHandleEntry *table = gdiHandleTable();
    if (!table) return -1;
    int live = 0;
    for (int index = 0; index < gdiHandleTableEntries; ++index) {
        if (!table[index].type) continue;
        // A handle is its table index with the entry's reuse count above it.
        const auto handle = reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(table[index].unique) << 16 | index);
        if (GetObjectType(handle) == OBJ_BITMAP) ++live;
    }
    return live;
}

static BOOL CALLBACK countChildWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<int *>(count);
    return TRUE;
}

// Children are enumerated at every depth by one EnumChildWindows call.
static BOOL CALLBACK countWindow(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<int *>(count);
        EnumChildWindows(window, countChildWindow, count);
    }
    return TRUE;
}

int liveWindows()
{
    int count = 0;
    EnumWindows(countWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}
