// The plug-in slot's window side: the library calls and the plug-in items of
// the tray menu.
#include <windows.h>

#include "pluginhost/notify.h"
#include "pluginhost/plugin_host.h"

static void* load_library(const char* path, int* error)
{
    HMODULE library = LoadLibraryA(path);
    if (!library)
        *error = static_cast<int>(GetLastError());
    return library;
}

static void* find_symbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

static int release_library(void* library, int* error)
{
    if (FreeLibrary(static_cast<HMODULE>(library)))
        return 1;
    *error = static_cast<int>(GetLastError());
    return 0;
}

const PluginLibraryOps plugin_system_library_ops = {load_library, find_symbol, release_library};

void update_plugin_menu(void* menu_handle)
{
    HMENU menu = static_cast<HMENU>(menu_handle);
    if (!menu)
        return;
    auto enable = [menu](UINT id, bool enabled) {
        EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
    };
    enable(4096, plugin_is_active());
    enable(4099, plugin_is_active());
    enable(4098, plugin_has_configuration());
}
