#include "ledger/profile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ledger/ledger.h"
#include "ledger/textfile.h"

// The file is Windows text (see textfile.h): its lines, written as "...\r\n",
// end in CR CR LF on disk. A reader in text mode drops the CRs and stops at
// Ctrl-Z; that is done here by hand, so that every platform reads alike.
static const char HEADER[] =
    "# Plorvin - UserProfile (DO NOT EDIT)\r\n# ---------------------------------------\r\n\r\n";
static const char FOOTER[] = "\r\n\r\n# --------------------------\r\n";

// A line is read as fgets reads it into a 512-byte buffer: at most 511 bytes,
// so a longer line arrives as several.
static const size_t LINE_MAX_BYTES = 511;

// Names already loaded, for the rule that the first line of a name wins: an
// open-addressing table of positions in the loaded task list (0 = free).
struct NameSet {
    std::vector<uint32_t> cells;
    size_t used = 0;
};

static uint32_t name_hash(const char* name, size_t size)
{
    uint32_t hash = 2166136261u;  // FNV-1a
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ static_cast<unsigned char>(name[i])) * 16777619u;
    return hash;
}

struct ProfileReader {
    char line[LINE_MAX_BYTES + 1];
    size_t length = 0;
    bool ended = false;  // a Ctrl-Z was read
    std::vector<std::unique_ptr<Plorvin>> tasks;
    NameSet names;
};

// Returns the cell for `name`: the one holding it, or the free one where it
// belongs.
static uint32_t* name_cell(ProfileReader& reader, const char* name, size_t size)
{
    auto& cells = reader.names.cells;
    size_t mask = cells.size() - 1;
    for (size_t at = name_hash(name, size) & mask;; at = (at + 1) & mask) {
        uint32_t entry = cells[at];
        if (entry == 0)
            return &cells[at];
        const std::string& known = reader.tasks[entry - 1]->name;
        if (known.size() == size && memcmp(known.data(), name, size) == 0)
            return &cells[at];
    }
}

// Keeps the table at most half full. Throws std::bad_alloc.
static void reserve_name_cell(ProfileReader& reader)
{
    NameSet& set = reader.names;
    if (2 * (set.used + 1) <= set.cells.size())
        return;
    std::vector<uint32_t> old(set.cells.empty() ? 64 : 2 * set.cells.size(), 0);
    old.swap(set.cells);
    for (uint32_t entry : old) {
        if (entry != 0) {
            const std::string& name = reader.tasks[entry - 1]->name;
            *name_cell(reader, name.data(), name.size()) = entry;
        }
    }
}

static bool is_blank(char c)
{
    // isspace() of the C locale, which scanf uses between fields.
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static const char* skip_blanks(const char* p, const char* end)
{
    while (p < end && is_blank(*p))
        ++p;
    return p;
}

// Reads a decimal integer as scanf's %d does, after blanks: an optional sign
// and at least one digit. Values beyond 32 bits are clamped. Returns the
// position after it, or nullptr when there is no number.
static const char* scan_int(const char* p, const char* end, int32_t& value)
{
    p = skip_blanks(p, end);
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    if (p == end || !isdigit(static_cast<unsigned char>(*p)))
        return nullptr;
    int64_t magnitude = 0;
    for (; p < end && isdigit(static_cast<unsigned char>(*p)); ++p) {
        if (magnitude <= INT32_MAX)
            magnitude = magnitude * 10 + (*p - '0');
    }
    if (negative)
        value = magnitude > INT32_MAX ? INT32_MIN : static_cast<int32_t>(-magnitude);
    else
        value = magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
    return p;
}

// One record line "index name seconds", fields separated by any blanks. A
// line that lacks a field is skipped: a task is never made up from a partial
// line (a record split by the line limit, a hand-edited line), nor given the
// seconds of another task. The index is read but not used; the ledger orders
// the tasks by name. Throws std::bad_alloc.
static void read_record(ProfileReader& reader, char* text, size_t size)
{
    // Scanning stops at a NUL byte, as it would in a C string.
    if (const void* nul = memchr(text, '\0', size))
        size = static_cast<const char*>(nul) - text;
    const char* end = text + size;
    int32_t index, seconds;
    const char* p = scan_int(text, end, index);
    if (!p)
        return;
    char* name = const_cast<char*>(skip_blanks(p, end));
    char* name_end = name;
    while (name_end < end && !is_blank(*name_end))
        ++name_end;
    if (name_end == name || !scan_int(name_end, end, seconds))
        return;

    size_t name_size = name_end - name;
    for (char* c = name; c < name_end; ++c) {
        if (*c == '_')
            *c = ' ';
    }
    *name_end = '\0';
    reserve_name_cell(reader);
    uint32_t* cell = name_cell(reader, name, name_size);
    if (*cell != 0)
        return;  // the first line of a name wins
    reader.tasks.emplace_back(new Plorvin(name, seconds));
    *cell = static_cast<uint32_t>(reader.tasks.size());
    ++reader.names.used;
}

static void read_line(ProfileReader& reader)
{
    char first = reader.line[0];
    bool comment = first == '\0' || first == '\n' || first == '#' || first == ';';
    if (!comment)
        read_record(reader, reader.line, reader.length);
    reader.length = 0;
}

// Takes the next bytes of the file. Throws std::bad_alloc.
static void feed(ProfileReader& reader, const char* data, size_t size)
{
    const char* p = data;
    const char* end = data + size;
    while (p < end && !reader.ended) {
        const char* limit = p + std::min<size_t>(end - p, LINE_MAX_BYTES - reader.length);
        const char* stop = p;
        while (stop < limit && *stop != '\r' && *stop != '\n' && *stop != '\x1a')
            ++stop;
        memcpy(reader.line + reader.length, p, stop - p);
        reader.length += stop - p;
        p = stop;
        if (reader.length == LINE_MAX_BYTES) {
            read_line(reader);
            continue;
        }
        if (p == end)
            break;
        char c = *p++;
        if (c == '\x1a') {
            reader.ended = true;
        } else if (c == '\n') {
            reader.line[reader.length++] = '\n';
            read_line(reader);
        }
        // A CR is dropped.
    }
}

static int32_t finish(ProfileReader& reader)
{
    if (reader.length > 0)
        read_line(reader);
    // Give the name table back before the ledger sorts: a load's peak memory
    // is the tasks plus the larger of the two.
    std::vector<uint32_t>().swap(reader.names.cells);
    ledger_replace_all(reader.tasks);
    return 1;
}

int32_t profile_load_bytes(const char* data, size_t size)
{
    try {
        auto reader = std::make_unique<ProfileReader>();
        feed(*reader, data, size);
        return finish(*reader);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int32_t profile_load(const char* path)
{
    if (!path)
        return 0;
    FILE* file = fopen(path, "rb");
    if (!file)
        return 0;
    int32_t result = 0;
    try {
        auto reader = std::make_unique<ProfileReader>();
        char chunk[65536];
        size_t got;
        while (!reader->ended && (got = fread(chunk, 1, sizeof chunk, file)) > 0)
            feed(*reader, chunk, got);
        // A read error keeps the ledger as it was rather than loading half a
        // time sheet.
        if (!ferror(file))
            result = finish(*reader);
    } catch (const std::bad_alloc&) {
        result = 0;
    }
    fclose(file);
    return result;
}

int32_t profile_save(const char* path)
{
    if (!path)
        return 0;
    std::string text;
    try {
        text.reserve(sizeof HEADER + sizeof FOOTER + 32 * static_cast<size_t>(ledger_task_count()));
        text += HEADER;
        for (int32_t i = 0; i < ledger_slot_count(); ++i) {
            const Plorvin* task = ledger_task_at(i);
            if (!task)
                continue;
            textfile_append_int(text, i);
            text += '\t';
            size_t name_at = text.size();
            text += task->name;
            std::replace(text.begin() + name_at, text.end(), ' ', '_');
            text += '\t';
            textfile_append_int(text, task_elapsed(task));
            text += "\r\n";
        }
        text += FOOTER;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return textfile_write(path, text);
}
