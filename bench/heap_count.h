// Counting of the heap the program takes through operator new, for the
// memory figures of the benchmarks. heap_count.cpp replaces the global
// operator new and delete; the benchmarks run on one thread.
#pragma once

#include <cstdint>

struct HeapCount {
    int64_t now = 0;     // growth since the count began, in usable bytes
    int64_t peak = 0;    // the highest `now` reached
    int64_t blocks = 0;  // blocks allocated
};

// Starts a count from zero.
void heap_count_begin();

// Stops the count and returns it.
HeapCount heap_count_end();

// Runs `work` and returns what it did to the heap.
template <typename Work>
HeapCount count_heap(Work work)
{
    heap_count_begin();
    work();
    return heap_count_end();
}
