#include "wine_support.h"

std::string exeFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

static void removeTree(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(folder + name + "\\");
            else {
                SetFileAttributesA((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((folder + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string scratchFolder(const std::string &name)
{
    const std::string root = exeFolder() + "wine-scratch\\";
    CreateDirectoryA(root.c_str(), nullptr);
    const std::string folder = root + name + "\\";
    removeTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

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
    pumpUntil([] { return false; }, ms);
}

static LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
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
