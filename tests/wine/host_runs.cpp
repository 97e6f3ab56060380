#include "host_runs.h"

#include <wincodec.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "owners/com_owner.h"
#include "wine_support.h"

static HANDLE inheritableFile(const std::string &path)
{
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security, CREATE_ALWAYS, 0, nullptr);
}

std::wstring utf16(const std::string &utf8)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (size <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], size);
    wide.pop_back();
    return wide;
}

HostResult runHost(const std::string &folder, const std::string &arguments, const WhileRunning &whileRunning)
{
    HostResult result;
    const std::string outPath = folder + "host-out.txt", errPath = folder + "host-err.txt";
    HANDLE out = inheritableFile(outPath), err = inheritableFile(errPath);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    // As a shell passes them, whatever the code page: UTF-16.
    std::wstring line = utf16("\"" + exeFolder() + "vishost.exe\" " + arguments);
    PROCESS_INFORMATION process = {};
    const DWORD console = whileRunning ? CREATE_NEW_CONSOLE : 0;
    const BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, console, nullptr,
                                        utf16(folder).c_str(), &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        result.err = "CreateProcess failed with error " + std::to_string(GetLastError());
        return result;
    }
    if (whileRunning) whileRunning(process.dwProcessId);
    // Far above any run here; a host that hangs fails instead of stalling the suite.
    const DWORD limit = stretched(60000);
    if (WaitForSingleObject(process.hProcess, limit) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
        result.err = "the host did not end within " + std::to_string(limit / 1000) + " s\n";
    }
    GetSystemTimeAsFileTime(&result.ended);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.out = readFile(outPath);
    result.err += readFile(errPath);
    return result;
}

void pressCtrlC(DWORD processId)
{
    // The event goes to every process of a console, so this one joins the
    // host's for the moment and lets it pass; it keeps ignoring Ctrl+C, which
    // may reach it after it has left. Then it takes a console of its own,
    // keeping its output where it was: the hosts it starts later expect one.
    const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE handles[3];
    for (int i = 0; i < 3; ++i) handles[i] = GetStdHandle(kinds[i]);
    FreeConsole();
    if (AttachConsole(processId)) {
        SetConsoleCtrlHandler(nullptr, TRUE);
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        FreeConsole();
    }
    AllocConsole();
    for (int i = 0; i < 3; ++i) SetStdHandle(kinds[i], handles[i]);
}

StandInPlayer standInPlayer(const std::string &scratchName, const std::string &builtName, const std::string &copyName)
{
    StandInPlayer player;
    player.folder = scratchFolder(scratchName);
    if (CopyFileA((exeFolder() + builtName).c_str(), (player.folder + copyName).c_str(), FALSE))
        player.plugin = player.folder + copyName;
    return player;
}

double statsFigure(const std::string &out, const std::string &key)
{
    const size_t at = out.find(key + " ");
    return at == std::string::npos ? -1 : std::atof(out.c_str() + at + key.size() + 1);
}

long long msFromWriteToEnd(const std::string &path, const HostResult &result)
{
    WIN32_FILE_ATTRIBUTE_DATA file;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &file)) return 1LL << 40;
    const auto ticks = [](const FILETIME &time) {
        return static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    };
    return (ticks(result.ended) - ticks(file.ftLastWriteTime)) / 10000;
}

std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

bool readPng(const std::string &path, Picture &picture)
{
    // The thread's COM state is put back afterwards: the other tests in
    // this process run message boxes on it.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    bool read;
    {
        ComOwner<IWICImagingFactory> factory;
        ComOwner<IWICBitmapDecoder> decoder;
        ComOwner<IWICBitmapFrameDecode> frame;
        ComOwner<IWICBitmapSource> converted;
        UINT width = 0, height = 0;
        wchar_t widePath[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
        read = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IWICImagingFactory, factory.putVoid())) &&
               SUCCEEDED(factory->CreateDecoderFromFilename(widePath, nullptr, GENERIC_READ,
                                                            WICDecodeMetadataCacheOnDemand, decoder.put())) &&
               SUCCEEDED(decoder->GetFrame(0, frame.put())) && SUCCEEDED(frame->GetSize(&width, &height)) &&
               SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.get(), converted.put()));
        if (read) {
            // Blue, green, red and a spare byte: 0x00RRGGBB once the spare is cleared.
            picture = Picture(static_cast<int>(width), static_cast<int>(height), 0);
            read = SUCCEEDED(converted->CopyPixels(nullptr, width * 4, static_cast<UINT>(picture.pixels.size() * 4),
                                                   reinterpret_cast<BYTE *>(picture.pixels.data())));
            for (std::uint32_t &pixel : picture.pixels) pixel &= 0xFFFFFF;
        }
    }
    // The objects go before COM does.
    if (com) CoUninitialize();
    return read;
}

std::string framePath(const std::string &folder, int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", number);
    return folder + name;
}

int countFrames(const std::string &folder)
{
    int count = 0;
    while (GetFileAttributesA(framePath(folder, count).c_str()) != INVALID_FILE_ATTRIBUTES) ++count;
    return count;
}

double needleAngle(const Picture &picture, double pivotX, int fromColumn, int toColumn)
{
    const double pi = 3.14159265358979;
    double sum = 0;
    int count = 0;
    for (int y = 1; y + 1 < picture.height; ++y)
        for (int x = fromColumn; x <= toColumn; ++x) {
            if (picture.at(x, y) != black) continue;
            const double dx = pivotX - x, dy = 65.0 - y;
            if (dx * dx + dy * dy < 100) continue;  // too close to the pivot to tell the direction
            sum += std::atan2(dy, dx) * 180 / pi;
            ++count;
        }
    return count ? sum / count : -1;
}


NeedleAngles needleAngles(const Picture &picture)
{
    return {needleAngle(picture, 68.5, 1, 136), needleAngle(picture, 206.5, 138, 273)};
}
