#include "host_runs.h"

#include <wincodec.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "wine_support.h"

std::string readWhole(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

static HANDLE inheritableFile(const std::string &path)
{
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security, CREATE_ALWAYS, 0, nullptr);
}

HostResult runHost(const std::string &folder, const std::string &arguments)
{
    HostResult result;
    const std::string outPath = folder + "host-out.txt", errPath = folder + "host-err.txt";
    HANDLE out = inheritableFile(outPath), err = inheritableFile(errPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string line = "\"" + exeFolder() + "vishost.exe\" " + arguments;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                                        &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        result.err = "CreateProcess failed with error " + std::to_string(GetLastError());
        return result;
    }
    // Far above any run here; a host that hangs fails instead of stalling the suite.
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
        result.err = "the host did not end within 60 s\n";
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.out = readWhole(outPath);
    result.err += readWhole(errPath);
    return result;
}

std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

bool readPng(const std::string &path, HostFrame &picture)
{
    // The thread's COM state is put back afterwards: the other tests in
    // this process run message boxes on it.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    IWICImagingFactory *factory = nullptr;
    IWICBitmapDecoder *decoder = nullptr;
    IWICBitmapFrameDecode *frame = nullptr;
    IWICBitmapSource *converted = nullptr;
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    bool read = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICImagingFactory, reinterpret_cast<void **>(&factory))) &&
                SUCCEEDED(factory->CreateDecoderFromFilename(widePath, nullptr, GENERIC_READ,
                                                             WICDecodeMetadataCacheOnDemand, &decoder)) &&
                SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&picture.width, &picture.height)) &&
                SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat24bppBGR, frame, &converted));
    if (read) {
        picture.bgr.resize(picture.width * picture.height * 3);
        read = SUCCEEDED(converted->CopyPixels(nullptr, picture.width * 3, static_cast<UINT>(picture.bgr.size()),
                                               picture.bgr.data()));
    }
    if (converted) converted->Release();
    if (frame) frame->Release();
    if (decoder) decoder->Release();
    if (factory) factory->Release();
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

double needleAngle(const HostFrame &picture, double pivotX, UINT fromColumn, UINT toColumn)
{
    const double pi = 3.14159265358979;
    double sum = 0;
    int count = 0;
    for (UINT y = 1; y + 1 < picture.height; ++y)
        for (UINT x = fromColumn; x <= toColumn; ++x) {
            const BYTE *p = picture.pixel(x, y);
            if (p[0] | p[1] | p[2]) continue;
            const double dx = pivotX - x, dy = 65.0 - y;
            if (dx * dx + dy * dy < 100) continue;  // too close to the pivot to tell the direction
            sum += std::atan2(dy, dx) * 180 / pi;
            ++count;
        }
    return count ? sum / count : -1;
}


NeedleAngles needleAngles(const HostFrame &picture)
{
    return {needleAngle(picture, 68.5, 1, 136), needleAngle(picture, 206.5, 138, 273)};
}
