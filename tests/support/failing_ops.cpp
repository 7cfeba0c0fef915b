#include "tests/support/failing_ops.h"

static FailAt g_step = FailAt::Nothing;

static void* create_file(const char* path)
{
    return g_step == FailAt::Create ? nullptr : safefile_system_ops.create(path);
}

static int write_file(void* file, const char* data, size_t size)
{
    if (g_step != FailAt::Write)
        return safefile_system_ops.write(file, data, size);
    safefile_system_ops.write(file, data, size / 2);
    return 0;
}

static int flush_file(void* file)
{
    return g_step == FailAt::Flush ? 0 : safefile_system_ops.flush(file);
}

static int close_file(void* file)
{
    int closed = safefile_system_ops.close(file);
    return g_step == FailAt::Close ? 0 : closed;
}

static int replace_file(const char* from, const char* to)
{
    return g_step == FailAt::Replace ? 0 : safefile_system_ops.replace(from, to);
}

static void remove_file(const char* path)
{
    safefile_system_ops.remove(path);
}

static int last_error()
{
    return g_step == FailAt::Nothing ? safefile_system_ops.last_error() : FAILING_OPS_ERROR;
}

static const SafeFileOps g_failing = {create_file,  write_file,  flush_file, close_file,
                                      replace_file, remove_file, last_error};

const SafeFileOps* failing_ops(FailAt step)
{
    g_step = step;
    return &g_failing;
}
