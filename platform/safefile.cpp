// Replacing a file safely: the new content beside the old, flushed, then renamed over it.
#include "platform/safefile.h"

#include <new>
#include <string>

static const SafeFileOps* g_ops = &safefile_system_ops;

void safefile_set_ops(const SafeFileOps* ops)
{
    g_ops = ops ? ops : &safefile_system_ops;
}

int safefile_write(const char* path, const char* data, size_t size, int* error)
{
    int ignored;
    int& code = error ? *error : ignored;
    code = 0;
    if (!path || !*path)
        return 0;
    std::string temp;
    try {
        temp = std::string(path) + ".tmp";
    } catch (const std::bad_alloc&) {
        return 0;
    }
    void* file = g_ops->create(temp.c_str());
    if (!file) {
        code = g_ops->last_error();
        return 0;
    }
    // Every step must succeed before the old file is touched; a close error
    // can be the first sign of a full disk. The code is taken at once: the
    // steps after a failure would overwrite it.
    bool written = g_ops->write(file, data, size) && g_ops->flush(file);
    if (!written)
        code = g_ops->last_error();
    bool closed = g_ops->close(file);
    if (written && !closed)
        code = g_ops->last_error();
    if (written && closed) {
        if (g_ops->replace(temp.c_str(), path))
            return 1;
        code = g_ops->last_error();
    }
    g_ops->remove(temp.c_str());
    return 0;
}
