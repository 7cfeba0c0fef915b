// Durations as the program shows them: "<h>h <m>m <s>s", hours not reduced
// modulo 24.
#pragma once

#include <cstdint>
#include <string>

// Returns "%dh %dm %ds" of `seconds` (0 or more).
std::string duration_text(int32_t seconds);
