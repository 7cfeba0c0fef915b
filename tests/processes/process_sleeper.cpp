// A child process for the process list's tests: it signals the event
// "ZentrikSleeper<its pid>" once it runs, then waits to be terminated. The
// signal matters: a process just created has no module list yet, so the
// process status library cannot name it.
#include <windows.h>

#include <cstdio>

int main()
{
    char name[64];
    snprintf(name, sizeof name, "ZentrikSleeper%lu", GetCurrentProcessId());
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (!ready)
        return 1;
    SetEvent(ready);
    CloseHandle(ready);
    // Never outlive a test that failed to end it.
    Sleep(60000);
    return 0;
}
