#include "service/sheet.h"

#include <algorithm>
#include <map>

static const int64_t day_ms = 24LL * 3600 * 1000;

static StoreResult journal(StoreTx* tx, const SheetEvent& event, int kind, const std::string& task,
                           int64_t seconds, int64_t previous_seconds = 0, int64_t run_started_ms = 0)
{
    StoreJournalEntry entry;
    entry.user_id = event.user->id;
    entry.kind = kind;
    entry.task = task;
    entry.seconds = seconds;
    entry.previous_seconds = previous_seconds;
    entry.run_started_ms = run_started_ms;
    entry.date_stamp = event.date_stamp;
    entry.utc_ms = event.now_ms;
    entry.utc_offset_minutes = event.utc_offset_minutes;
    return store_journal_add(tx, &entry);
}

// Sets task->seconds, journalling a decrease: a lower count from the
// desktop is taken (it is the user's own ledger) but never silently.
static StoreResult set_seconds(StoreTx* tx, const SheetEvent& event, StoreTask* task,
                               int64_t seconds)
{
    if (seconds < task->seconds) {
        StoreResult result = journal(tx, event, JOURNAL_LOWERED, task->name, seconds, task->seconds);
        if (result != STORE_OK)
            return result;
    }
    task->seconds = seconds;
    return STORE_OK;
}

// Stops the running task, journalling the run. When the desktop has not told
// its seconds (a start of another task came without the stop), they grow by
// the part of the run the desktop has not counted yet: a synchronisation
// during the run brought seconds that already hold the run up to then.
static StoreResult stop_running(StoreTx* tx, const SheetEvent& event, StoreTask* task,
                                bool add_elapsed)
{
    if (add_elapsed && event.now_ms > task->started_ms && task->started_ms > 0) {
        std::vector<StoreJournalEntry> syncs;
        StoreResult result = store_journal_between(
            tx, task->user_id, task->started_ms, event.now_ms + 1,
            1u << JOURNAL_AUTOSAVE | 1u << JOURNAL_REPORT, 0, &syncs);
        if (result != STORE_OK)
            return result;
        int64_t counted_until = syncs.empty() ? task->started_ms : syncs.back().utc_ms;
        if (event.now_ms > counted_until)
            task->seconds += (event.now_ms - counted_until) / 1000;
    }
    int64_t run_started = task->started_ms;
    task->running = false;
    task->started_ms = 0;
    StoreResult result = store_task_update(tx, *task);
    if (result != STORE_OK)
        return result;
    return journal(tx, event, JOURNAL_STOP, task->name, task->seconds, 0, run_started);
}

static StoreResult may_track(StoreTx* tx, const SheetEvent& event, const std::string& name,
                             std::string* reason)
{
    if (!event.user->restricted)
        return STORE_OK;
    StoreResult result = store_catalogue_has(tx, event.user->id, name);
    if (result == STORE_NOT_FOUND) {
        *reason = "Tâche hors du catalogue";
        return STORE_REFUSED;
    }
    return result;
}

// The user's task name, added with seconds when missing and allowed.
static StoreResult find_or_add(StoreTx* tx, const SheetEvent& event, const std::string& name,
                               int64_t seconds, StoreTask* task, bool* added, std::string* reason)
{
    *added = false;
    StoreResult result = store_task_get(tx, event.user->id, name, task);
    if (result != STORE_NOT_FOUND)
        return result;
    result = may_track(tx, event, name, reason);
    if (result != STORE_OK)
        return result;
    *task = StoreTask();
    task->user_id = event.user->id;
    task->name = name;
    task->seconds = seconds;
    result = store_task_insert(tx, task);
    if (result != STORE_OK)
        return result;
    *added = true;
    return journal(tx, event, JOURNAL_ADD, name, seconds);
}

static StoreResult start_task(StoreTx* tx, const SheetEvent& event, StoreTask* task)
{
    task->running = true;
    task->started_ms = event.now_ms;
    StoreResult result = store_task_update(tx, *task);
    if (result != STORE_OK)
        return result;
    return journal(tx, event, JOURNAL_START, task->name, task->seconds);
}

StoreResult sheet_start(StoreTx* tx, const SheetEvent& event, const std::string& name,
                        int64_t seconds, std::string* reason)
{
    StoreTask task;
    bool added;
    StoreResult result = find_or_add(tx, event, name, seconds, &task, &added, reason);
    if (result != STORE_OK)
        return result;
    StoreTask running;
    result = store_task_running(tx, event.user->id, &running);
    if (result == STORE_OK && running.id != task.id)
        result = stop_running(tx, event, &running, true);
    else if (result == STORE_OK)
        task = running;  // started again: the run goes on
    if (result != STORE_OK && result != STORE_NOT_FOUND)
        return result;
    result = set_seconds(tx, event, &task, seconds);
    if (result != STORE_OK)
        return result;
    if (task.running) {
        result = store_task_update(tx, task);
        return result != STORE_OK ? result : journal(tx, event, JOURNAL_START, name, seconds);
    }
    result = start_task(tx, event, &task);
    if (result == STORE_EXISTS)
        *reason = "Une autre tâche est déjà en cours";
    return result;
}

StoreResult sheet_stop(StoreTx* tx, const SheetEvent& event, const std::string& name,
                       int64_t seconds, std::string* reason)
{
    StoreTask task;
    bool added;
    StoreResult result = find_or_add(tx, event, name, seconds, &task, &added, reason);
    if (result != STORE_OK)
        return result;
    result = set_seconds(tx, event, &task, seconds);
    if (result != STORE_OK)
        return result;
    if (task.running)
        return stop_running(tx, event, &task, false);
    result = store_task_update(tx, task);
    return result != STORE_OK ? result : journal(tx, event, JOURNAL_STOP, name, seconds);
}

StoreResult sheet_add(StoreTx* tx, const SheetEvent& event, const std::string& name,
                      std::string* reason)
{
    StoreTask task;
    bool added;
    return find_or_add(tx, event, name, 0, &task, &added, reason);
}

StoreResult sheet_remove(StoreTx* tx, const SheetEvent& event, const std::string& name,
                         int64_t seconds, std::string*)
{
    StoreTask task;
    StoreResult result = store_task_get(tx, event.user->id, name, &task);
    if (result == STORE_OK) {
        if (task.running) {
            result = stop_running(tx, event, &task, true);
            if (result != STORE_OK)
                return result;
        }
        result = store_task_delete(tx, task.id);
    } else if (result == STORE_NOT_FOUND) {
        // Unknown here (added on the desktop while the service was away):
        // the desktop may still drop it.
        result = STORE_OK;
    }
    return result != STORE_OK ? result : journal(tx, event, JOURNAL_REMOVE, name, seconds);
}

StoreResult sheet_sync(StoreTx* tx, const SheetEvent& event, int kind,
                       const std::vector<SheetRow>& rows, std::string*)
{
    int64_t total = 0;
    const SheetRow* flagged = nullptr;
    for (const SheetRow& row : rows) {
        StoreTask task;
        StoreResult result = store_task_get(tx, event.user->id, row.name, &task);
        if (result == STORE_NOT_FOUND) {
            task = StoreTask();
            task.user_id = event.user->id;
            task.name = row.name;
            task.seconds = row.seconds;
            result = store_task_insert(tx, &task);
            if (result == STORE_OK)
                result = journal(tx, event, JOURNAL_ADD, row.name, row.seconds);
        } else if (result == STORE_OK && task.seconds != row.seconds) {
            result = set_seconds(tx, event, &task, row.seconds);
            if (result == STORE_OK)
                result = store_task_update(tx, task);
        }
        if (result != STORE_OK)
            return result;
        total += row.seconds;
        if (row.running)
            flagged = &row;
    }

    StoreTask running;
    StoreResult result = store_task_running(tx, event.user->id, &running);
    if (result != STORE_OK && result != STORE_NOT_FOUND)
        return result;
    bool was_running = result == STORE_OK;
    if (was_running && (!flagged || flagged->name != running.name)) {
        result = stop_running(tx, event, &running, false);
        if (result != STORE_OK)
            return result;
        was_running = false;
    }
    if (flagged && !was_running) {
        StoreTask task;
        result = store_task_get(tx, event.user->id, flagged->name, &task);
        if (result == STORE_OK)
            result = start_task(tx, event, &task);
        if (result != STORE_OK)
            return result;
    }
    return journal(tx, event, kind, "", total);
}

StoreResult sheet_hours_per_day(StoreTx* tx, int64_t user_id, int64_t first_day, int days,
                                std::vector<SheetDayHours>* out)
{
    // Offsets lie within a day of UTC; a run may last a week at most before
    // it is cut off here.
    const int64_t from_ms = first_day * day_ms - day_ms;
    const int64_t to_ms = (first_day + days) * day_ms + 8 * day_ms;
    std::vector<StoreJournalEntry> stops;
    StoreResult result =
        store_journal_between(tx, user_id, from_ms, to_ms, 1u << JOURNAL_STOP, 0, &stops);
    if (result != STORE_OK)
        return result;
    std::map<std::pair<int64_t, std::string>, int64_t> totals;
    for (const StoreJournalEntry& stop : stops) {
        if (stop.run_started_ms <= 0 || stop.run_started_ms >= stop.utc_ms)
            continue;
        const int64_t shift = static_cast<int64_t>(stop.utc_offset_minutes) * 60000;
        int64_t begin = stop.run_started_ms + shift, end = stop.utc_ms + shift;
        for (int64_t day = begin / day_ms - (begin < 0); day * day_ms < end; day++) {
            if (day < first_day || day >= first_day + days)
                continue;
            int64_t part = std::min(end, (day + 1) * day_ms) - std::max(begin, day * day_ms);
            if (part > 0)
                totals[{day, stop.task}] += part;
        }
    }
    std::vector<SheetDayHours> rows;
    for (const auto& entry : totals)
        rows.push_back(SheetDayHours{entry.first.second, entry.first.first, entry.second / 1000});
    *out = std::move(rows);
    return STORE_OK;
}
