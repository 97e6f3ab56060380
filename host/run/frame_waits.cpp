#include "run/frame_waits.h"

#include "run/process_probes.h"
#include "run/reporting.h"

bool dispatchMessages(RunTimes &times)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        const long long start = counterNow();
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        times.dispatchTicks += counterNow() - start;
    }
    return true;
}

RunEnd waitForFrame(HANDLE timer, RunTimes &times)
{
    for (;;) {
        const long long start = counterNow();
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        times.waitTicks += counterNow() - start;
        if (woken == WAIT_OBJECT_0) return RunEnd::notYet;
        if (woken != WAIT_OBJECT_0 + 1) {
            reportError("the wait for the next frame failed (error " + std::to_string(GetLastError()) + ")");
            return RunEnd::failed;
        }
        if (!dispatchMessages(times)) return RunEnd::quitMessage;
    }
}

RunEnd waitForSound(HANDLE sound, long long endTicks, RunTimes &times)
{
    for (;;) {
        DWORD timeoutMs = INFINITE;
        if (endTicks > 0) {
            const long long left = endTicks - counterNow();
            if (left <= 0) return RunEnd::notYet;
            timeoutMs = static_cast<DWORD>(counterMicroseconds(left) / 1000 + 1);
        }
        const long long start = counterNow();
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &sound, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        times.waitTicks += counterNow() - start;
        if (woken == WAIT_OBJECT_0 || woken == WAIT_TIMEOUT) return RunEnd::notYet;
        if (woken != WAIT_OBJECT_0 + 1) {
            reportError("the wait for sound failed (error " + std::to_string(GetLastError()) + ")");
            return RunEnd::failed;
        }
        if (!dispatchMessages(times)) return RunEnd::quitMessage;
    }
}
