// The process list of the tray menu: filled from the process sources, sorted, and its menu items.
#include "processes/process_list.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "ledger/ledger.h"

using ProcessEntries = std::vector<std::unique_ptr<ProcItemStruct>>;

// The one list; each record is allocated on its own.
static ProcessEntries g_list;

// Copies at most 259 bytes of `name`, NUL-terminated.
static void set_name(ProcItemStruct* item, const char* name)
{
    size_t length = strnlen(name, sizeof item->name - 1);
    memcpy(item->name, name, length);
    item->name[length] = '\0';
}

static const char* psapi_name(const char* name)
{
    return name[0] ? name : "unknown";
}

// The snapshot may record a full path; the list shows the part after the
// last backslash.
static const char* toolhelp_name(const char* name)
{
    const char* slash = strrchr(name, '\\');
    return slash ? slash + 1 : name;
}

// Makes the list one entry per record, named by `name_of`. Throws
// std::bad_alloc, leaving the list as it was.
static void replace_list(const std::vector<ProcItemStruct>& found,
                         const char* (*name_of)(const char*))
{
    ProcessEntries entries;
    entries.reserve(found.size());
    for (const ProcItemStruct& record : found) {
        auto item = std::make_unique<ProcItemStruct>();
        set_name(item.get(), name_of(record.name));
        item->pid = record.pid;
        entries.push_back(std::move(item));
    }
    g_list.swap(entries);
}

void process_list_refresh_from(const ProcessSources& sources)
{
    try {
        std::vector<ProcItemStruct> found;
        found.reserve(PROCESS_LIST_PSAPI_MAX);
        ProcessSourceStatus status = sources.by_psapi(found, PROCESS_LIST_PSAPI_MAX);
        if (status == PROCESS_SOURCE_OK) {
            replace_list(found, psapi_name);
        } else if (status == PROCESS_SOURCE_MISSING) {
            found.clear();
            if (sources.by_toolhelp(found, PROCESS_LIST_TOOLHELP_MAX) == PROCESS_SOURCE_OK &&
                !found.empty())
                replace_list(found, toolhelp_name);
        }
    } catch (const std::bad_alloc&) {
        // The menu then shows the list as it was (empty between showings).
    }
}

static bool name_before(const std::unique_ptr<ProcItemStruct>& a,
                        const std::unique_ptr<ProcItemStruct>& b)
{
    return ledger_compare_names(a->name, b->name) < 0;
}

void process_list_sort()
{
    std::sort(g_list.begin(), g_list.end(), name_before);
}

int32_t process_list_count()
{
    return static_cast<int32_t>(g_list.size());
}

const ProcItemStruct* process_list_entry(int32_t k)
{
    if (k < 0 || k >= process_list_count())
        return nullptr;
    return g_list[static_cast<size_t>(k)].get();
}

void process_list_clear()
{
    // Swapping, unlike clear(), also gives back the vector's own block.
    ProcessEntries().swap(g_list);
}

ProcessMenuItem process_list_menu_item(int32_t k, uint32_t first_id)
{
    const ProcItemStruct* entry = process_list_entry(k);
    if (!entry)
        return {0, nullptr, false};
    return {first_id + static_cast<uint32_t>(k), entry->name,
            (k + 1) % PROCESS_MENU_COLUMN == 0};
}
