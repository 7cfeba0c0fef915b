#include "ledger/textfile.h"

#include <algorithm>
#include <charconv>
#include <new>

#include "platform/safefile.h"

int textfile_write(const char* path, const std::string& text, int* error)
{
    if (error)
        *error = 0;
    std::string disk;
    try {
        disk.reserve(text.size() + std::count(text.begin(), text.end(), '\n'));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    for (char c : text) {
        if (c == '\n')
            disk += '\r';
        disk += c;
    }
    return safefile_write(path, disk.data(), disk.size(), error);
}

void textfile_append_int(std::string& out, long long value)
{
    char digits[24];
    auto done = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, done.ptr);
}
