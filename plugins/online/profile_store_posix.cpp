// Without the private-profile functions, our own INI reader and writer.
#include "plugins/online/profile_store.h"

size_t profile_store_read(const char* section, const char* key, char* buffer, size_t size,
                          const char* path)
{
    return ini_file_read(section, key, buffer, size, path);
}

int profile_store_write(const char* section, const char* key, const char* value,
                        const char* path, int* error)
{
    return ini_file_write(section, key, value, path, error);
}
