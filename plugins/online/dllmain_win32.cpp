// The library's entry function: the plug-in keeps its own module, whose
// resources hold its dialogs.
#include <windows.h>

#include "plugins/online/online_plugin.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        online_attach(instance);
    }
    return TRUE;
}
