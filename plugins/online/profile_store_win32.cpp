// The system's private-profile functions.
#include "plugins/online/profile_store.h"

#include <windows.h>

size_t profile_store_read(const char* section, const char* key, char* buffer, size_t size,
                          const char* path)
{
    return GetPrivateProfileStringA(section, key, "", buffer, static_cast<DWORD>(size), path);
}

int profile_store_write(const char* section, const char* key, const char* value,
                        const char* path, int* error)
{
    if (WritePrivateProfileStringA(section, key, value, path))
        return 1;
    *error = static_cast<int>(GetLastError());
    return 0;
}
