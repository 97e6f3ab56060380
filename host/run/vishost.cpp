// vishost: a stand-in for the player. Loads a vis plug-in, reads its
// header, lists its modules or opens its About box, or runs modules on a
// vis thread of their own while the main thread keeps the player's window.
#include <cstdio>

#include <new>

#include "run/host_run.h"
#include "run/reporting.h"
#include "text/wide_text.h"

namespace {

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;
// Far beyond any real plug-in; stops a lookup that never returns null.
constexpr int mostModulesListed = 1000;

std::string besideHost(const char *name)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return name;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::string folder = utf8Text(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

bool loadPlugin(HostRun &run, std::string &error)
{
    const std::string &path = run.options.pluginPath;
    const std::wstring widePath = wideText(path);
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "no plug-in at '" + path + "'";
        return false;
    }
    run.library = LoadLibraryW(widePath.c_str());
    if (!run.library) {
        const DWORD code = GetLastError();
        error = "cannot load '" + path + "' as a DLL (error " + std::to_string(code) + ")";
        if (code == ERROR_BAD_EXE_FORMAT)
#ifdef _WIN64
            error += ": it is not built for this host; a 32-bit plug-in needs the 32-bit vishost.exe";
#else
            error += ": it is not built for this host; a 64-bit plug-in needs the 64-bit vishost.exe";
#endif
        return false;
    }
    using GetHeader = VisHeader *(__cdecl *)();
    auto getHeader = reinterpret_cast<GetHeader>(reinterpret_cast<void *>(GetProcAddress(run.library, "winampVisGetHeader")));
    if (!getHeader) {
        error = "'" + path + "' is not a vis plug-in: it does not export winampVisGetHeader";
        return false;
    }
    run.header = getHeader();
    if (!run.header || !run.header->moduleByIndex) {
        error = "'" + path + "' gave no header or no module lookup";
        return false;
    }
    if (run.header->version != visInterfaceVersion) {
        char text[96];
        std::snprintf(text, sizeof text, "' speaks interface version 0x%x; this host speaks 0x%x",
                      static_cast<unsigned>(run.header->version), static_cast<unsigned>(visInterfaceVersion));
        error = "'" + path + text;
        return false;
    }
    return true;
}

int moduleCount(const VisHeader &header)
{
    int count = 0;
    while (count < mostModulesListed && header.moduleByIndex(count)) ++count;
    return count;
}

int listModules(const HostRun &run)
{
    std::printf("%s (interface version 0x%x)\n", run.header->description ? run.header->description : "",
                static_cast<unsigned>(run.header->version));
    const int count = moduleCount(*run.header);
    for (int i = 0; i < count; ++i) {
        const VisModule *module = run.header->moduleByIndex(i);
        std::printf("%d: %s (a frame every %d ms, %d ms ahead)\n", i, module->description ? module->description : "",
                    module->delayMs, module->latencyMs);
    }
    return 0;
}

bool pickModules(HostRun &run, std::string &error)
{
    const int count = moduleCount(*run.header);
    for (int index : run.options.modules) {
        VisModule *module = index < count ? run.header->moduleByIndex(index) : nullptr;
        if (!module) {
            error = "the plug-in has no module " + std::to_string(index) + " (it has " + std::to_string(count) +
                    (count == 1 ? " module" : " modules") + "; --list shows them)";
            return false;
        }
        const char *missing = !module->init ? "init" : !module->render ? "render" : !module->quit ? "quit" : nullptr;
        if (missing && !run.options.about) {
            error = "module " + std::to_string(index) + " has no " + missing + " function, so it cannot run";
            return false;
        }
        run.modules.push_back(module);
    }
    return true;
}

bool prepareCaptureFolder(const std::string &folder, std::string &error)
{
    const std::wstring wideFolder = wideText(folder);
    CreateDirectoryW(wideFolder.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(wideFolder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "cannot make the capture folder '" + folder + "'";
        return false;
    }
    return true;
}

// Keeps the host window answering while the vis thread runs: the vis window
// is owned by it, so the vis thread's window calls may wait on this thread.
// Returns false when a wait failed (said to the user).
bool pumpUntilEnded(HostRun &run, HANDLE thread)
{
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) return true;
        if (woken == WAIT_OBJECT_0 + 1) continue;
        reportError("the wait for the vis thread failed (error " + std::to_string(GetLastError()) + ")");
        // Without the pump the vis ends at its next frame; its window calls
        // no longer wait on this thread once the host window is gone.
        requestStop(run);
        DestroyWindow(run.hostWindow);
        run.hostWindow = nullptr;
        if (WaitForSingleObject(thread, INFINITE) != WAIT_OBJECT_0)
            reportError("the wait for the vis thread failed again (error " + std::to_string(GetLastError()) + ")");
        return false;
    }
}

int about(HostRun &run)
{
    VisModule *module = run.modules.front();
    if (!module->config) {
        reportError("module " + std::to_string(run.options.modules.front()) + " has no config function");
        return exitFailure;
    }
    module->parentWindow = run.hostWindow;
    module->dllInstance = run.library;
    module->config(module);
    return 0;
}

// Runs the modules on a vis thread while this thread keeps the host window.
int runOnVisThread(HostRun &run)
{
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, visThreadMain, &run, CREATE_SUSPENDED, &threadId);
    if (!thread) {
        reportError("cannot start the vis thread");
        return exitFailure;
    }
    run.visThreadId = threadId;
    ResumeThread(thread);
    const bool pumped = pumpUntilEnded(run, thread);
    CloseHandle(thread);
    closeInput(run.recording);
    stopStdinInput(run.stdinInput);
    return pumped ? run.exitCode : exitFailure;
}

// Ends whatever sound started before the vis thread took over.
int endEarly(HostRun &run, const std::string &error)
{
    if (!error.empty()) reportError(error);
    stopQueue(run.sound);
    closeInput(run.recording);
    return exitFailure;
}

// After a close, logoff or shutdown event's handler returns, or 5 s after
// the event on Windows, the system ends the process.
constexpr DWORD consoleCloseGraceMs = 4500;

// Ctrl+C, Ctrl+Break and the console closing end the run as Esc does:
// quit is called, the settings and the capture are written. Called on a
// thread of the system's. Before the run has a window nothing has started
// that needs ending, and the system's own handler ends the process.
BOOL WINAPI consoleEvent(DWORD event)
{
    HostRun *run = runOfHostWindow();
    if (!run) return FALSE;
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    std::fputs(interrupt ? "vishost: interrupted: the run ends\n" : "vishost: the console is closing: the run ends\n",
               stdout);
    std::fflush(stdout);
    requestStop(*run);
    if (!interrupt) WaitForSingleObject(run->runOver, consoleCloseGraceMs);
    return TRUE;
}

int hostMain(HostRun &run, int argc, const char *const *argv)
{
    std::string error;
    if (!parseCommandLine(argc, argv, run.options, error)) {
        reportError(error);
        std::fputs(hostUsage, stderr);
        return exitUsage;
    }
    if (run.options.help) {
        std::fputs(hostUsage, stdout);
        return 0;
    }
    if (run.options.listInputs) {
        listInputDevices();
        return 0;
    }
    if (run.options.pluginPath.empty()) run.options.pluginPath = besideHost("vlvis003.dll");
    if (!loadPlugin(run, error)) {
        reportError(error);
        return exitFailure;
    }
    if (run.options.list) return listModules(run);
    if (!pickModules(run, error)) {
        reportError(error);
        return exitFailure;
    }
    if (!run.options.about) {
        // An About box has nothing to save: there the default ends the process.
        run.runOver = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (run.runOver) SetConsoleCtrlHandler(consoleEvent, TRUE);
        if (!run.options.captureFolder.empty() && !prepareCaptureFolder(run.options.captureFolder, error)) {
            reportError(error);
            return exitFailure;
        }
        // Standard input is read from the first frame on: the vis thread starts it.
        if (run.options.input) {
            if (!run.options.stdinInput && !openInput(run.recording, run.options.inputName, error))
                return endEarly(run, error);
        } else {
            makePlayQueue(run.sound, run.options.soundFiles);
            const bool playable = startFirstEntry(run.sound);
            reportQueued(run.sound);
            if (!playable) return endEarly(run, std::string());
        }
    }
    std::string windowError;
    run.hostWindow = createHostWindow(run, windowError);
    if (!run.hostWindow) return endEarly(run, windowError);
    const int status = run.options.about ? about(run) : runOnVisThread(run);
    if (run.hostWindow) DestroyWindow(run.hostWindow);
    // The plug-in stays loaded until the process ends, as in the player while it runs.
    return status;
}

}  // namespace

// The arguments come as UTF-16, as typed, whatever the system's code page;
// the host works in UTF-8 and prints it, so a console shows UTF-8.
extern "C" int wmain(int argc, wchar_t **wideArgv)
{
    // A missing or broken DLL is reported here, not in a system dialog box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    SetConsoleOutputCP(CP_UTF8);
    // Nothing may escape to end the program unexplained: memory may run out
    // in the messages or the lists of files.
    try {
        std::vector<std::string> arguments;
        for (int i = 0; i < argc; ++i) arguments.push_back(utf8Text(wideArgv[i]));
        std::vector<const char *> argv;
        for (const std::string &argument : arguments) argv.push_back(argument.c_str());
        // Never freed: the standard input's reader may be blocked in a read
        // that only the process's end interrupts, and the console's handler
        // may still hold the run.
        HostRun *run = new (std::nothrow) HostRun;
        if (!run) {
            reportError("no memory to start");
            return exitFailure;
        }
        const int status = hostMain(*run, argc, argv.data());
        if (run->runOver) SetEvent(run->runOver);
        return status;
    } catch (...) {
        reportException("the host");
        return exitFailure;
    }
}
