#include "tests/pluginhost/failing_new.h"

#include <cstdlib>
#include <new>

// Every form of new and delete is replaced, all over malloc and free:
// libstdc++'s array and nothrow forms call the plain ones, but the
// sanitizers' runtime replaces each form by itself (and then finds our free()
// of its new'd block a mismatch). They live in their own file: inlined next to
// code that calls new, g++ 12 takes free() in delete for a mismatch
// (-Wmismatched-new-delete).

static size_t g_armed_size = 0;
static bool g_fired = false;

void failing_new_arm(size_t size)
{
    g_armed_size = size;
    g_fired = false;
}

bool failing_new_disarm()
{
    bool fired = g_fired;
    g_armed_size = 0;
    g_fired = false;
    return fired;
}

// Returns the block, or nullptr for the armed failure or an exhausted heap.
static void* allocate(size_t size)
{
    if (g_armed_size != 0 && size == g_armed_size) {
        g_armed_size = 0;
        g_fired = true;
        return nullptr;
    }
    return malloc(size ? size : 1);
}

void* operator new(size_t size)
{
    if (void* block = allocate(size))
        return block;
    throw std::bad_alloc();
}

void* operator new[](size_t size)
{
    return operator new(size);
}

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}

void operator delete(void* block) noexcept
{
    free(block);
}

void operator delete[](void* block) noexcept
{
    free(block);
}

void operator delete(void* block, size_t) noexcept
{
    free(block);
}

void operator delete[](void* block, size_t) noexcept
{
    free(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    free(block);
}
