// An INI reader and writer that gives the results of the Windows
// private-profile functions for the settings file, checked against them on
// the same files.
#include "plugins/online/profile_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

// What the profile reader strips around names and values: the C blanks and
// Ctrl-Z.
static bool profile_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' || c == 0x1a;
}

static std::string trimmed(const char* begin, const char* end)
{
    while (begin < end && profile_blank(*begin))
        ++begin;
    while (end > begin && profile_blank(end[-1]))
        --end;
    return std::string(begin, end);
}

static bool same_name(const std::string& a, const char* b)
{
    size_t length = strlen(b);
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// One line of the file: [begin, end) its text, `next` the start of the line
// after its CR, LF or CR LF.
struct IniLine {
    size_t begin, end, next;
};

static bool next_line(const std::string& file, size_t at, IniLine* line)
{
    if (at >= file.size())
        return false;
    size_t end = at;
    while (end < file.size() && file[end] != '\r' && file[end] != '\n')
        ++end;
    size_t next = end;
    if (next < file.size() && file[next] == '\r')
        ++next;
    if (next < file.size() && file[next] == '\n')
        ++next;
    *line = {at, end, next};
    return true;
}

// The parts of a line: a section header gives its name; any other line a
// key and a value (empty without "="). A zero byte ends the line's text.
struct IniParts {
    bool section;
    std::string name;  // section name or key
    std::string value;
};

static IniParts parse_line(const std::string& file, const IniLine& line)
{
    const char* begin = file.data() + line.begin;
    const char* end = file.data() + line.end;
    if (const void* zero = memchr(begin, '\0', static_cast<size_t>(end - begin)))
        end = static_cast<const char*>(zero);
    while (begin < end && profile_blank(*begin))
        ++begin;
    if (begin < end && *begin == '[') {
        // The name runs to the last "]"; what follows it is ignored.
        for (const char* close = end; close > begin + 1; --close) {
            if (close[-1] == ']')
                return {true, trimmed(begin + 1, close - 1), ""};
        }
    }
    const char* equals = static_cast<const char*>(memchr(begin, '=', static_cast<size_t>(end - begin)));
    if (!equals)
        return {false, trimmed(begin, end), ""};
    std::string value = trimmed(equals + 1, end);
    // One pair of surrounding quotes goes.
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return {false, trimmed(begin, equals), value};
}

static bool read_file(const char* path, std::string* bytes)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->append(buffer, count);
    fclose(file);
    return true;
}

// Where `key` of `section` is: the first section of that name, the first key
// of that name in it.
struct IniPlace {
    bool section_found = false;
    bool key_found = false;
    IniLine key_line{};
    size_t insert_at = 0;  // after the section's last non-blank line
    std::string value;
};

static IniPlace find_key(const std::string& file, const char* section, const char* key)
{
    IniPlace place;
    size_t at = 0;
    // A UTF-8 byte order mark is not part of the first line.
    if (file.compare(0, 3, "\xef\xbb\xbf") == 0)
        at = 3;
    bool inside = false;
    IniLine line;
    for (; next_line(file, at, &line); at = line.next) {
        IniParts parts = parse_line(file, line);
        if (parts.section) {
            if (inside)
                break;
            if (!place.section_found && same_name(parts.name, section)) {
                inside = place.section_found = true;
                place.insert_at = line.next;
            }
            continue;
        }
        if (!inside)
            continue;
        if (!trimmed(file.data() + line.begin, file.data() + line.end).empty())
            place.insert_at = line.next;
        if (same_name(parts.name, key)) {
            place.key_found = true;
            place.key_line = line;
            place.value = parts.value;
            break;
        }
    }
    return place;
}

size_t ini_file_read(const char* section, const char* key, char* buffer, size_t size,
                     const char* path)
{
    buffer[0] = '\0';
    std::string file;
    if (!section || !key || !read_file(path, &file))
        return 0;
    IniPlace place = find_key(file, section, key);
    if (!place.key_found)
        return 0;
    size_t length = place.value.size() < size ? place.value.size() : size - 1;
    memcpy(buffer, place.value.data(), length);
    buffer[length] = '\0';
    return length;
}

int ini_file_write(const char* section, const char* key, const char* value, const char* path,
                   int* error)
{
    std::string file;
    read_file(path, &file);
    IniPlace place = find_key(file, section, key);
    std::string entry = std::string(key) + "=" + value;
    if (place.key_found) {
        // The key keeps the spelling the file gives it.
        IniParts parts = parse_line(file, place.key_line);
        file.replace(place.key_line.begin, place.key_line.end - place.key_line.begin,
                     parts.name + "=" + value);
    } else if (place.section_found) {
        size_t at = place.insert_at;
        bool needs_break = at > 0 && file[at - 1] != '\n' && file[at - 1] != '\r';
        file.insert(at, (needs_break ? "\r\n" : "") + entry + "\r\n");
    } else {
        bool needs_break = !file.empty() && file.back() != '\n' && file.back() != '\r';
        file += (needs_break ? "\r\n[" : "[") + std::string(section) + "]\r\n" + entry + "\r\n";
    }
    FILE* out = fopen(path, "wb");
    if (!out) {
        *error = errno;
        return 0;
    }
    bool written = fwrite(file.data(), 1, file.size(), out) == file.size();
    written = fclose(out) == 0 && written;
    if (!written)
        *error = errno;
    return written ? 1 : 0;
}
