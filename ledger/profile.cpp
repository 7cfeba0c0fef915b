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
#include "platform/fileread.h"

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
    // Lines of the file that gave no task, though they were no comment nor
    // blank: a save would drop them. A line over the length limit is read in
    // pieces but counts once.
    int32_t unread = 0;
    bool line_lost = false;  // a piece of the current line was not taken
    // The line after a Ctrl-Z, which the reader no longer takes but counts.
    size_t tail_length = 0;
    char tail_first = 0;
    bool tail_text = false;
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
// the tasks by name. Returns false when the line held something but gave no
// task. Throws std::bad_alloc.
static bool read_record(ProfileReader& reader, char* text, size_t size)
{
    // Scanning stops at a NUL byte, as it would in a C string.
    if (const void* nul = memchr(text, '\0', size))
        size = static_cast<const char*>(nul) - text;
    const char* end = text + size;
    if (skip_blanks(text, end) == end)
        return true;
    int32_t index, seconds;
    const char* p = scan_int(text, end, index);
    if (!p)
        return false;
    char* name = const_cast<char*>(skip_blanks(p, end));
    char* name_end = name;
    while (name_end < end && !is_blank(*name_end))
        ++name_end;
    if (name_end == name || !scan_int(name_end, end, seconds))
        return false;

    size_t name_size = name_end - name;
    for (char* c = name; c < name_end; ++c) {
        if (*c == '_')
            *c = ' ';
    }
    *name_end = '\0';
    reserve_name_cell(reader);
    uint32_t* cell = name_cell(reader, name, name_size);
    if (*cell != 0)
        return false;  // the first line of a name wins
    reader.tasks.emplace_back(new Plorvin(name, seconds));
    *cell = static_cast<uint32_t>(reader.tasks.size());
    ++reader.names.used;
    return true;
}

// Whether a byte is text a line could hold: not blank, not NUL.
static bool is_text(char c)
{
    return c != '\0' && !is_blank(c);
}

// Takes one piece of a line: the whole line, or 511 bytes of a longer one.
// Lines that begin with NUL, LF, "#" or ";" are skipped, and so lost when
// they hold any text after a NUL; "#" and ";" begin comments.
static void read_line(ProfileReader& reader)
{
    char first = reader.line[0];
    const char* end = reader.line + reader.length;
    bool lost;
    if (first == '#' || first == ';')
        lost = false;
    else if (first == '\0' || first == '\n')
        lost = std::any_of(static_cast<const char*>(reader.line), end, is_text);
    else
        lost = !read_record(reader, reader.line, reader.length);
    if (lost)
        reader.line_lost = true;
    reader.length = 0;
}

static void end_line(ProfileReader& reader)
{
    if (reader.line_lost)
        ++reader.unread;
    reader.line_lost = false;
}

static void end_tail_line(ProfileReader& reader)
{
    if (reader.tail_text && reader.tail_first != '#' && reader.tail_first != ';')
        ++reader.unread;
    reader.tail_length = 0;
    reader.tail_text = false;
}

// Counts the lines after a Ctrl-Z that a reader would have taken as records.
static void count_tail(ProfileReader& reader, const char* p, const char* end)
{
    for (; p < end; ++p) {
        char c = *p;
        if (c == '\r')
            continue;
        if (c == '\n') {
            end_tail_line(reader);
            continue;
        }
        if (reader.tail_length++ == 0)
            reader.tail_first = c;
        if (is_text(c))
            reader.tail_text = true;
    }
}

// Takes the next bytes of the file. Throws std::bad_alloc.
static void feed(ProfileReader& reader, const char* data, size_t size)
{
    const char* p = data;
    const char* end = data + size;
    while (p < end) {
        if (reader.ended) {
            count_tail(reader, p, end);
            return;
        }
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
            if (reader.length > 0)
                read_line(reader);
            end_line(reader);
        } else if (c == '\n') {
            reader.line[reader.length++] = '\n';
            read_line(reader);
            end_line(reader);
        }
        // A CR is dropped.
    }
}

// Takes the last line, then counts what was not read.
static void finish_lines(ProfileReader& reader)
{
    if (reader.length > 0)
        read_line(reader);
    end_line(reader);
    end_tail_line(reader);
}

static void fill_ledger(ProfileReader& reader)
{
    // Give the name table back before the ledger sorts: a load's peak memory
    // is the tasks plus the larger of the two.
    std::vector<uint32_t>().swap(reader.names.cells);
    ledger_replace_all(reader.tasks);
}

int32_t profile_load_bytes(const char* data, size_t size, int32_t* unread_lines)
{
    try {
        auto reader = std::make_unique<ProfileReader>();
        feed(*reader, data, size);
        finish_lines(*reader);
        if (unread_lines)
            *unread_lines = reader->unread;
        fill_ledger(*reader);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

// Reads the rest of the file into `out`. Returns false with *error set.
// Throws std::bad_alloc.
static bool read_all(void* file, std::string& out, char* chunk, size_t size, int* error)
{
    for (;;) {
        long got = fileread_read(file, chunk, size, error);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        out.append(chunk, static_cast<size_t>(got));
    }
}

// Reads and parses the open file into `load`; fills the ledger only when
// everything was read. Throws std::bad_alloc.
static void read_profile(void* file, ProfileLoad& load)
{
    auto reader = std::make_unique<ProfileReader>();
    static const size_t CHUNK = 65536;
    auto chunk = std::make_unique<char[]>(CHUNK);
    for (;;) {
        long got = fileread_read(file, chunk.get(), CHUNK, &load.error);
        if (got < 0)
            return;
        if (got == 0)
            break;
        feed(*reader, chunk.get(), static_cast<size_t>(got));
    }
    finish_lines(*reader);
    // The file as it was is kept only when a save would lose some of it.
    if (reader->unread > 0 && (!fileread_rewind(file, &load.error) ||
                               !read_all(file, load.original, chunk.get(), CHUNK, &load.error)))
        return;
    load.unread_lines = reader->unread;
    fill_ledger(*reader);
    load.result = 1;
}

int32_t profile_read(const char* path, ProfileLoad& load)
{
    load = ProfileLoad{};
    if (!path)
        return 0;
    void* file = fileread_open(path, &load.error);
    if (!file) {
        load.result = fileread_missing(load.error) ? 0 : -1;
        if (load.result == 0)
            load.error = 0;
        return load.result;
    }
    // A read error keeps the ledger as it was rather than loading half a
    // time sheet.
    load.result = -1;
    try {
        read_profile(file, load);
    } catch (const std::bad_alloc&) {
        load.error = 0;
    }
    if (load.result != 1)
        std::string().swap(load.original);
    fileread_close(file);
    return load.result;
}

int32_t profile_load(const char* path)
{
    ProfileLoad load;
    return profile_read(path, load) == 1 ? 1 : 0;
}

int32_t profile_name_problem(const char* name)
{
    if (!name)
        return PROFILE_NAME_OK;
    size_t size = strlen(name);
    for (size_t i = 0; i < size; ++i) {
        if (name[i] != ' ' && is_blank(name[i]))
            return PROFILE_NAME_BLANK;
    }
    if (ledger_find_task(name) >= 0)
        return PROFILE_NAME_OK;  // that task itself: nothing is added
    auto written = [](char c) { return c == ' ' ? '_' : c; };
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        const Plorvin* task = ledger_task_at(i);
        if (!task || task->name.size() != size)
            continue;
        if (std::equal(task->name.begin(), task->name.end(), name,
                       [&](char a, char b) { return written(a) == written(b); }))
            return PROFILE_NAME_CLASH;
    }
    return PROFILE_NAME_OK;
}

int32_t profile_save(const char* path, int* error)
{
    if (error)
        *error = 0;
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
    return textfile_write(path, text, error);
}
