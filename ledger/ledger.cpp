// The one task ledger: the table of task slots in name order, the current task and the time accounting.
#include "ledger/ledger.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

// The slot table. Non-empty slots stand in name order; removals leave empty
// slots where they were, and every addition moves the empty slots to the
// front. The vector's capacity is its own business: the slot count (its size)
// grows by exactly one when an addition finds no empty slot.
struct TaskLedger {
    std::vector<std::unique_ptr<Plorvin>> slots;
    int32_t current = -1;
    int32_t task_count = 0;
};

static TaskLedger g_ledger;

static unsigned char fold(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

int ledger_compare_names(const char* a, const char* b)
{
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        unsigned char fx = fold(*x), fy = fold(*y);
        if (fx != fy || fx == 0)
            return fx - fy;
    }
}

static bool in_range(int32_t index)
{
    return index >= 0 && static_cast<size_t>(index) < g_ledger.slots.size();
}

// Index of the first empty slot. Called only when there is one.
static size_t next_empty_slot()
{
    const auto& slots = g_ledger.slots;
    size_t at = 0;
    while (slots[at])
        ++at;
    return at;
}

// Index of the first slot at or after `from` that holds a task, or the slot
// count when there is none.
static size_t next_task_slot(size_t from)
{
    const auto& slots = g_ledger.slots;
    while (from < slots.size() && !slots[from])
        ++from;
    return from;
}

// The first task slot whose name does not sort before `name`. The tasks are
// in name order, so this is a binary search; empty slots between them are
// stepped over.
static size_t lower_bound_slot(const char* name)
{
    const auto& slots = g_ledger.slots;
    size_t lo = 0, hi = slots.size();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        size_t at = next_task_slot(mid);
        if (at >= hi) {
            hi = mid;
        } else if (ledger_compare_names(slots[at]->name.c_str(), name) < 0) {
            lo = at + 1;
        } else {
            hi = mid;
        }
    }
    return next_task_slot(lo);
}

int32_t ledger_find_task(const char* name)
{
    if (!name)
        return -1;
    const auto& slots = g_ledger.slots;
    // Names equal under the order ('Foo', 'foo') stand together; look for the
    // exact one among them.
    for (size_t at = lower_bound_slot(name); at < slots.size(); at = next_task_slot(at + 1)) {
        const char* candidate = slots[at]->name.c_str();
        if (ledger_compare_names(candidate, name) != 0)
            break;
        if (strcmp(candidate, name) == 0)
            return static_cast<int32_t>(at);
    }
    return -1;
}

// After a sort moved the tasks, the current index names the first running
// task, or -1 when none runs. An index of -1 stays -1.
static void rederive_current()
{
    if (g_ledger.current < 0)
        return;
    g_ledger.current = -1;
    const auto& slots = g_ledger.slots;
    for (size_t i = 0; i < slots.size(); ++i) {
        if (slots[i] && task_is_running(slots[i].get())) {
            g_ledger.current = static_cast<int32_t>(i);
            return;
        }
    }
}

// Puts `task` into the table as if it had been placed in slot `placed` and
// the whole table then bubble-sorted (empty slots first, tasks in stable name
// order). The existing tasks are already in order, so only the empty slots
// move to the front and the new task goes among its equals according to
// where it was placed. `placed` is the first empty slot; the table has room.
static size_t insert_sorted(std::unique_ptr<Plorvin> task, size_t placed)
{
    auto& slots = g_ledger.slots;
    const char* name = task->name.c_str();

    // Tasks before the placed slot that sort equal to the new name stay before
    // it; the stable sort keeps them there.
    size_t equal_before = 0;
    for (size_t i = lower_bound_slot(name); i < placed; i = next_task_slot(i + 1)) {
        if (ledger_compare_names(slots[i]->name.c_str(), name) != 0)
            break;
        ++equal_before;
    }

    // Move every task to the back, keeping their order; the empty slots
    // gather at the front.
    size_t write = slots.size();
    for (size_t read = slots.size(); read-- > 0;) {
        if (slots[read] && --write != read)
            slots[write] = std::move(slots[read]);
    }
    // Now the tasks fill [write, size) in name order and `write` counts the
    // empty slots, the placed one among them. Find the new task's place: after
    // the tasks that sort before it and its equals that stood before it.
    size_t first_equal = std::partition_point(
        slots.begin() + write, slots.end(),
        [name](const std::unique_ptr<Plorvin>& t) { return ledger_compare_names(t->name.c_str(), name) < 0; })
        - slots.begin();
    size_t at = first_equal + equal_before - 1;
    // Shift the tasks before that place one slot towards the front.
    std::move(slots.begin() + write, slots.begin() + at + 1, slots.begin() + write - 1);
    slots[at] = std::move(task);
    return at;
}

int32_t ledger_add_task(const char* name, int32_t seconds)
{
    if (!name)
        name = "";
    auto& slots = g_ledger.slots;
    if (*name) {
        int32_t existing = ledger_find_task(name);
        if (existing >= 0)
            return existing;
    }
    bool grown = static_cast<size_t>(g_ledger.task_count) == slots.size();
    std::unique_ptr<Plorvin> task;
    try {
        if (grown)
            slots.emplace_back();
        task.reset(new Plorvin(name, seconds));
    } catch (const std::bad_alloc&) {
        if (grown)
            slots.pop_back();
        return -1;
    }
    size_t placed = grown ? slots.size() - 1 : next_empty_slot();
    ++g_ledger.task_count;
    if (slots.size() == 1) {
        slots[0] = std::move(task);
        return 0;
    }
    size_t at = insert_sorted(std::move(task), placed);
    rederive_current();
    return static_cast<int32_t>(at);
}

void ledger_replace_all(std::vector<std::unique_ptr<Plorvin>>& tasks)
{
    ledger_clear();
    // The table takes the vector itself: no second array of that size. The
    // sort is stable, so equal names keep the order of their additions; it
    // sorts in place, only slower, when it cannot have a buffer.
    g_ledger.slots.swap(tasks);
    std::stable_sort(g_ledger.slots.begin(), g_ledger.slots.end(), [](const auto& a, const auto& b) {
        return ledger_compare_names(a->name.c_str(), b->name.c_str()) < 0;
    });
    g_ledger.task_count = static_cast<int32_t>(g_ledger.slots.size());
}

Plorvin* ledger_task_at(int32_t index)
{
    return in_range(index) ? g_ledger.slots[index].get() : nullptr;
}

// Checks an index: -1 out of range, -2 empty slot, 0 when it holds a task.
static int32_t check_slot(int32_t index)
{
    if (!in_range(index))
        return -1;
    return g_ledger.slots[index] ? 0 : -2;
}

int32_t ledger_remove_task(int32_t index)
{
    if (int32_t bad = check_slot(index))
        return bad;
    g_ledger.slots[index].reset();
    --g_ledger.task_count;
    return 0;
}

int32_t ledger_remove_task_named(const char* name)
{
    return ledger_remove_task(ledger_find_task(name));
}

int32_t ledger_start_task(int32_t index)
{
    if (int32_t bad = check_slot(index))
        return bad;
    if (g_ledger.current >= 0 && ledger_stop_task(g_ledger.current) == 0)
        return -3;
    if (!task_start(g_ledger.slots[index].get()))
        return 0;
    g_ledger.current = index;
    return 1;
}

int32_t ledger_start_task_named(const char* name)
{
    return ledger_start_task(ledger_find_task(name));
}

int32_t ledger_stop_task(int32_t index)
{
    if (int32_t bad = check_slot(index))
        return bad;
    if (!task_stop(g_ledger.slots[index].get()))
        return 0;
    g_ledger.current = -1;
    return 1;
}

int32_t ledger_stop_current()
{
    return ledger_stop_task(g_ledger.current);
}

int32_t ledger_stop_task_named(const char* name)
{
    return ledger_stop_task(ledger_find_task(name));
}

int32_t ledger_set_seconds(int32_t index, int32_t seconds)
{
    if (int32_t bad = check_slot(index))
        return bad;
    task_set_seconds(g_ledger.slots[index].get(), seconds);
    return 1;
}

int32_t ledger_set_seconds_named(const char* name, int32_t seconds)
{
    return ledger_set_seconds(ledger_find_task(name), seconds);
}

int32_t ledger_reset_task(int32_t index)
{
    if (int32_t bad = check_slot(index))
        return bad;
    task_reset(g_ledger.slots[index].get());
    return 1;
}

void ledger_reset_all()
{
    for (auto& slot : g_ledger.slots) {
        if (slot)
            task_reset(slot.get());
    }
}

int32_t ledger_clear()
{
    ledger_stop_current();
    // With no task left no index can be current, even one whose task was not
    // running (reset without being forgotten).
    g_ledger.current = -1;
    // Release the table's memory too, not only its tasks.
    std::vector<std::unique_ptr<Plorvin>>().swap(g_ledger.slots);
    g_ledger.task_count = 0;
    return 0;
}

int32_t ledger_total_seconds()
{
    int64_t total = 0;
    for (const auto& slot : g_ledger.slots) {
        if (slot)
            total += task_elapsed(slot.get());
    }
    return total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
}

int32_t ledger_current_index()
{
    return g_ledger.current;
}

bool ledger_has_current()
{
    return g_ledger.current >= 0;
}

void ledger_forget_current()
{
    g_ledger.current = -1;
}

int32_t ledger_slot_count()
{
    return static_cast<int32_t>(g_ledger.slots.size());
}

int32_t ledger_task_count()
{
    return g_ledger.task_count;
}
