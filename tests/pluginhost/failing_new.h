// A one-shot allocation failure for the tests of the memory paths: the
// replaced global operator new (failing_new.cpp) throws std::bad_alloc for
// the next allocation of exactly the armed size, and for no other. Sizes are
// chosen to be distinct from anything else allocated meanwhile.
#pragma once

#include <cstddef>

// Arms the failure for the next allocation of `size` bytes.
void failing_new_arm(size_t size);
// Whether the armed failure happened; disarms it.
bool failing_new_disarm();
