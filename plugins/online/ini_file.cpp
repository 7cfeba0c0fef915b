#include "plugins/online/profile_store.h"

size_t ini_file_read(const char*, const char*, char* buffer, size_t, const char*)
{
    buffer[0] = '\0';
    return 0;
}

int ini_file_write(const char*, const char*, const char*, const char*, int* error)
{
    *error = 0;
    return 0;
}
