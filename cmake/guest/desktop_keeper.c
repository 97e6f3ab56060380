/* Holds a Wine prefix's desktop open in a served guest, so that the programs
 * run there one after another find it up.
 *
 * Wine starts its desktop process (explorer.exe) for the first window of a
 * session and waits 10 s for it; emulated on a busy machine it can take
 * longer, and then that program gets no display driver and no window at all.
 * Wine also closes the desktop a second after its last program ends, so
 * every program would meet that wait again. This program is started first
 * (cmake/wine-run.sh): it makes one window to learn whether the desktop is
 * up, prints "ready" if it is and then stays, a user of the desktop, until
 * its input closes. Status 3: no window could be made yet, and the runner
 * starts it again, by when the desktop process has usually come up. */
#include <windows.h>
#include <stdio.h>

int main(void)
{
    HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    if (!probe) {
        fprintf(stderr, "desktop_keeper: no window yet (error %lu)\n", (unsigned long)GetLastError());
        return 3;
    }
    DestroyWindow(probe);
    printf("ready\n");
    fflush(stdout);
    while (getchar() != EOF) {
    }
    return 0;
}
