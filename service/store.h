// Storage of the web service, the same for every database.
//
// A backend (SQLite in store_sqlite.cpp, PostgreSQL beside it) fills one
// StoreBackend record of function pointers; everything else calls the free
// functions below, which dispatch through that record. All work happens
// inside a transaction: store_write() or store_read() hands the caller's
// function a StoreTx*, and the store_* primitives act on it.
//
// Tables (the SQLite schema is in store_sqlite.cpp; another backend keeps
// the same tables and columns in its own dialect):
//   users     (id, login UNIQUE, display_name, password_hash, admin,
//              restricted, utc_offset_minutes NULL = server's local zone,
//              message '' = none)
//   sessions  (uid PRIMARY KEY, user_id, created_ms, last_seen_ms)
//   catalogue (user_id, name, UNIQUE(user_id, name))
//   tasks     (id, user_id, name, seconds, running, started_ms,
//              UNIQUE(user_id, name), UNIQUE(user_id) WHERE running = 1)
//   journal   (id, user_id, kind, task, seconds, previous_seconds,
//              run_started_ms, date_stamp, utc_ms, utc_offset_minutes,
//              INDEX(user_id, utc_ms))
// Texts are UTF-8. Instants are milliseconds since 1970-01-01 UTC.
//
// Threads: every function may be called from any thread except the HTTP
// server's polling threads, and blocks until its work is done (a write until
// it is on disk).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Store;
struct StoreTx;

enum StoreResult {
    STORE_OK = 0,
    STORE_NOT_FOUND,  // no such row
    STORE_EXISTS,     // a unique rule refused the row (login, name, running task)
    STORE_REFUSED,    // the caller's own rule refused the work; nothing is written
    STORE_ERROR,      // the database failed; nothing is written
};

// Events of the journal. The numbers are stored: never renumber.
enum JournalKind {
    JOURNAL_START = 0,     // a task was started
    JOURNAL_STOP = 1,      // a task was stopped (also the stop a start implies)
    JOURNAL_ADD = 2,       // a task was added to the user's list
    JOURNAL_REMOVE = 3,    // a task was removed from the user's list
    JOURNAL_AUTOSAVE = 4,  // the whole table came with the periodic save
    JOURNAL_REPORT = 5,    // the whole table came with a saved time report
    JOURNAL_LOWERED = 6,   // a synchronisation lowered a task's seconds
};
enum { JOURNAL_KIND_COUNT = 7 };

// The kind's name in the journal's text forms ("start", "stop", "add",
// "remove", "autosave", "report", "lowered"); "?" for any other value.
const char* store_journal_kind_name(int kind);

struct StoreUser {
    int64_t id = 0;
    std::string login;
    std::string display_name;
    std::string password_hash;       // crypto_pwhash_str form
    bool admin = false;
    bool restricted = false;         // may track catalogue tasks only
    bool has_utc_offset = false;     // false: the server's local zone
    int utc_offset_minutes = 0;
    std::string message;             // left by an administrator, "" for none
};

struct StoreTask {
    int64_t id = 0;
    int64_t user_id = 0;
    std::string name;
    int64_t seconds = 0;
    bool running = false;
    int64_t started_ms = 0;          // when it was started; 0 when stopped
};

struct StoreJournalEntry {
    int64_t id = 0;
    int64_t user_id = 0;
    int kind = JOURNAL_START;        // JournalKind
    std::string task;                // "" for autosave and report
    int64_t seconds = 0;             // the task's seconds as the event gave them
    int64_t previous_seconds = 0;    // lowered: the seconds before
    int64_t run_started_ms = 0;      // stop: when that run began; else 0
    std::string date_stamp;          // the plug-in's "YYYYMMDD" as sent, "" if none
    int64_t utc_ms = 0;              // the server's clock at the event
    int utc_offset_minutes = 0;      // the user's offset from UTC at that instant
};

// ---- Opening ----------------------------------------------------------

// Opens (creating and upgrading the schema if needed) the database at url:
// "postgresql://..." or "postgres://..." for PostgreSQL, anything else is a
// SQLite file path. Returns the store, or null with a reason in *error.
// store_close() frees it.
Store* store_open(const std::string& url, std::string* error);

// Waits for the writes under way, then closes and frees the store. Null is
// harmless.
void store_close(Store* store);

// ---- Transactions -----------------------------------------------------

typedef StoreResult (*StoreTxFn)(StoreTx* tx, void* context);

// Runs fn in a write transaction and returns its result. When fn returns
// anything but STORE_OK, or the commit fails (STORE_ERROR), nothing fn did is
// kept. Returns only once the transaction is durable. fn may be run more than
// once (a backend retries on a serialisation failure): it must set its
// outputs afresh each time. Several writers' functions may share one commit.
StoreResult store_write(Store* store, StoreTxFn fn, void* context);

// Runs fn over a consistent read-only view; fn must not write.
StoreResult store_read(Store* store, StoreTxFn fn, void* context);

// The same with any callable taking StoreTx* and returning StoreResult.
template <typename F>
StoreResult store_write_with(Store* store, F&& f)
{
    return store_write(store, [](StoreTx* tx, void* c) { return (*static_cast<F*>(c))(tx); }, &f);
}
template <typename F>
StoreResult store_read_with(Store* store, F&& f)
{
    return store_read(store, [](StoreTx* tx, void* c) { return (*static_cast<F*>(c))(tx); }, &f);
}

// ---- Primitives (inside a transaction) --------------------------------
// Each returns STORE_OK, STORE_NOT_FOUND for a missing row, STORE_EXISTS when
// a unique rule refuses the change, or STORE_ERROR. Outputs are written on
// STORE_OK only.

// Users. store_user_insert sets user->id.
StoreResult store_user_insert(StoreTx* tx, StoreUser* user);
StoreResult store_user_by_login(StoreTx* tx, const std::string& login, StoreUser* out);
StoreResult store_user_by_id(StoreTx* tx, int64_t id, StoreUser* out);
StoreResult store_user_list(StoreTx* tx, std::vector<StoreUser>* out);  // by login
// Writes every field but id and login.
StoreResult store_user_update(StoreTx* tx, const StoreUser& user);
// Removes the user with their sessions, catalogue, tasks and journal.
StoreResult store_user_delete(StoreTx* tx, int64_t id);

// Sessions of the plug-in: uid is the token the plug-in sends back.
StoreResult store_session_insert(StoreTx* tx, int32_t uid, int64_t user_id, int64_t now_ms);
StoreResult store_session_get(StoreTx* tx, int32_t uid, int64_t* user_id, int64_t* last_seen_ms);
StoreResult store_session_touch(StoreTx* tx, int32_t uid, int64_t now_ms);
StoreResult store_session_delete(StoreTx* tx, int32_t uid);
// Removes every session last seen before before_ms.
StoreResult store_session_purge(StoreTx* tx, int64_t before_ms);

// The catalogue: names the user's task chooser offers, by name.
StoreResult store_catalogue_add(StoreTx* tx, int64_t user_id, const std::string& name);
StoreResult store_catalogue_remove(StoreTx* tx, int64_t user_id, const std::string& name);
StoreResult store_catalogue_has(StoreTx* tx, int64_t user_id, const std::string& name);
StoreResult store_catalogue_list(StoreTx* tx, int64_t user_id, std::vector<std::string>* out);

// The user's tasks, in the order they were added. store_task_insert sets
// task->id; store_task_update writes seconds, running and started_ms, and
// gives STORE_EXISTS when another task of the user is running.
StoreResult store_task_list(StoreTx* tx, int64_t user_id, std::vector<StoreTask>* out);
StoreResult store_task_get(StoreTx* tx, int64_t user_id, const std::string& name, StoreTask* out);
StoreResult store_task_running(StoreTx* tx, int64_t user_id, StoreTask* out);
StoreResult store_task_insert(StoreTx* tx, StoreTask* task);
StoreResult store_task_update(StoreTx* tx, const StoreTask& task);
StoreResult store_task_delete(StoreTx* tx, int64_t task_id);

// The journal. store_journal_add sets entry->id. store_journal_between gives
// the user's entries with from_ms <= utc_ms < to_ms whose kind is in
// kind_mask (bit 1 << kind; 0 for all), oldest first, at most limit of them
// (0: no limit).
StoreResult store_journal_add(StoreTx* tx, StoreJournalEntry* entry);
StoreResult store_journal_between(StoreTx* tx, int64_t user_id, int64_t from_ms, int64_t to_ms,
                                  unsigned kind_mask, int64_t limit,
                                  std::vector<StoreJournalEntry>* out);

// ---- The backend record -----------------------------------------------
// What a backend provides; store.cpp dispatches the functions above to it.
// Store and StoreTx stay incomplete types: each backend keeps records of its
// own names (SqliteStore, SqliteTx...), each beginning with a StoreHead, and
// hands them out cast to Store* and StoreTx*. (Two backends defining Store
// itself would break the one-definition rule once linked together.)

struct StoreBackend {
    const char* name;  // "sqlite", "postgresql"
    void (*close)(Store*);
    StoreResult (*write)(Store*, StoreTxFn, void*);
    StoreResult (*read)(Store*, StoreTxFn, void*);

    StoreResult (*user_insert)(StoreTx*, StoreUser*);
    StoreResult (*user_by_login)(StoreTx*, const std::string&, StoreUser*);
    StoreResult (*user_by_id)(StoreTx*, int64_t, StoreUser*);
    StoreResult (*user_list)(StoreTx*, std::vector<StoreUser>*);
    StoreResult (*user_update)(StoreTx*, const StoreUser&);
    StoreResult (*user_delete)(StoreTx*, int64_t);

    StoreResult (*session_insert)(StoreTx*, int32_t, int64_t, int64_t);
    StoreResult (*session_get)(StoreTx*, int32_t, int64_t*, int64_t*);
    StoreResult (*session_touch)(StoreTx*, int32_t, int64_t);
    StoreResult (*session_delete)(StoreTx*, int32_t);
    StoreResult (*session_purge)(StoreTx*, int64_t);

    StoreResult (*catalogue_add)(StoreTx*, int64_t, const std::string&);
    StoreResult (*catalogue_remove)(StoreTx*, int64_t, const std::string&);
    StoreResult (*catalogue_has)(StoreTx*, int64_t, const std::string&);
    StoreResult (*catalogue_list)(StoreTx*, int64_t, std::vector<std::string>*);

    StoreResult (*task_list)(StoreTx*, int64_t, std::vector<StoreTask>*);
    StoreResult (*task_get)(StoreTx*, int64_t, const std::string&, StoreTask*);
    StoreResult (*task_running)(StoreTx*, int64_t, StoreTask*);
    StoreResult (*task_insert)(StoreTx*, StoreTask*);
    StoreResult (*task_update)(StoreTx*, const StoreTask&);
    StoreResult (*task_delete)(StoreTx*, int64_t);

    StoreResult (*journal_add)(StoreTx*, StoreJournalEntry*);
    StoreResult (*journal_between)(StoreTx*, int64_t, int64_t, int64_t, unsigned, int64_t,
                                   std::vector<StoreJournalEntry>*);
};

// The first member of every backend's store and transaction records: the
// backend that made it.
struct StoreHead {
    const StoreBackend* backend;
};

// The backends' open functions (same contract as store_open).
Store* store_sqlite_open(const std::string& path, std::string* error);
Store* store_pg_open(const std::string& url, std::string* error);
