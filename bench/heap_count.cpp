#include "bench/heap_count.h"

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <new>

// libstdc++'s array and nothrow forms of new and delete call the forms
// replaced here. Blocks allocated before a count and freed during it make
// `now` go down, as they really give memory back. The replacements live in
// their own file: inlined next to code that calls new, g++ 12 takes free()
// in delete for a mismatch (-Wmismatched-new-delete).

static bool g_counting = false;
static HeapCount g_count;

void heap_count_begin()
{
    g_count = HeapCount{};
    g_counting = true;
}

HeapCount heap_count_end()
{
    g_counting = false;
    return g_count;
}

void* operator new(size_t size)
{
    void* block = malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    if (g_counting) {
        g_count.now += static_cast<int64_t>(malloc_usable_size(block));
        g_count.peak = std::max(g_count.peak, g_count.now);
        ++g_count.blocks;
    }
    return block;
}

void operator delete(void* block) noexcept
{
    if (block && g_counting)
        g_count.now -= static_cast<int64_t>(malloc_usable_size(block));
    free(block);
}

void operator delete(void* block, size_t) noexcept
{
    operator delete(block);
}
