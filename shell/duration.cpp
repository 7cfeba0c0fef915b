// Durations as the program shows them.
#include "shell/duration.h"

#include <cstdio>

std::string duration_text(int32_t seconds)
{
    int32_t h = seconds / 3600, m = (seconds - 3600 * h) / 60, s = seconds - 3600 * h - 60 * m;
    char text[40];
    snprintf(text, sizeof text, "%dh %dm %ds", static_cast<int>(h), static_cast<int>(m),
             static_cast<int>(s));
    return text;
}
