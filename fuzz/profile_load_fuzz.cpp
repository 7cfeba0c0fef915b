// Any bytes as a profile file: the load must neither crash nor hang nor read
// out of bounds, and what it loads must save and load again to the same
// ledger, with no line left unread, unless a name is so long that its saved
// line passes the 511-byte line limit of the reader.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ledger/ledger.h"
#include "ledger/profile.h"
#include "platform/safefile.h"

// Saves go to memory: the disk would only slow the fuzzer down.
static std::string g_saved;

static void* create_in_memory(const char*)
{
    g_saved.clear();
    return &g_saved;
}
static int write_in_memory(void*, const char* data, size_t size)
{
    g_saved.append(data, size);
    return 1;
}
static int succeed(void*)
{
    return 1;
}
static int replace_in_memory(const char*, const char*)
{
    return 1;
}
static void remove_in_memory(const char*) {}
static int no_error()
{
    return 0;
}

static const SafeFileOps g_memory_ops = {create_in_memory,  write_in_memory,  succeed, succeed,
                                         replace_in_memory, remove_in_memory, no_error};

static std::string snapshot(size_t& longest_name)
{
    std::string all;
    longest_name = 0;
    for (int32_t i = 0; i < ledger_slot_count(); ++i) {
        if (const Plorvin* task = ledger_task_at(i)) {
            all += task_name(task);
            longest_name = std::max(longest_name, task->name.size());
            all += '\0';
            all += std::to_string(task->seconds);
            all += '\n';
        }
    }
    return all;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    safefile_set_ops(&g_memory_ops);
    if (profile_load_bytes(reinterpret_cast<const char*>(data), size) != 1)
        abort();
    if (ledger_current_index() != -1)
        abort();
    size_t longest_name, ignored;
    std::string first = snapshot(longest_name);
    if (profile_save("memory") != 1)
        abort();
    int32_t unread = 0;
    if (profile_load_bytes(g_saved.data(), g_saved.size(), &unread) != 1)
        abort();
    // What was saved is read back whole: no line of it counts as unread.
    if (longest_name <= 480 && (snapshot(ignored) != first || unread != 0))
        abort();
    return 0;
}
