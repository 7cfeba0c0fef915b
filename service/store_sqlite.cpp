// The SQLite backend: one database file in WAL mode with full sync.
//
// Writes go through one writer thread that commits the writes waiting at
// that moment together (group commit): each caller's function runs in a
// savepoint of the shared transaction, and every caller waits until the
// commit is on disk. One fsync thus serves a whole batch, and callers never
// meet "database is locked" among themselves. Reads use a pool of
// connections of their own, which WAL lets run beside the writer.
#include "service/store.h"

#include <sqlite3.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

// How long a connection waits for another process (the command line adding
// a user while the service runs) before giving up.
static const int busy_timeout_ms = 10000;
// At most this many writes share one commit.
static const size_t max_batch = 512;
// Read connections kept open between reads; a burst opens more, closed after.
static const size_t max_idle_readers = 16;

struct Connection {
    sqlite3* db = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> statements;
};

// The records this backend hands out as StoreTx* and Store*: the opaque
// types themselves stay undefined, so that every backend can have its own.
struct SqliteTx {
    StoreHead head;
    Connection* connection;
};

struct WriteJob {
    StoreTxFn fn;
    void* context;
    StoreResult result = STORE_ERROR;
    bool done = false;
};

struct SqliteStore {
    StoreHead head;
    std::string path;

    Connection writer;
    std::thread writer_thread;
    std::mutex lock;
    std::condition_variable work;      // the writer waits for jobs
    std::condition_variable finished;  // callers wait for their batch
    std::deque<WriteJob*> queue;
    bool stopping = false;

    std::mutex readers_lock;
    std::vector<Connection*> idle_readers;
};

extern const StoreBackend sqlite_backend;

static Connection* connection_of(StoreTx* tx)
{
    return reinterpret_cast<SqliteTx*>(tx)->connection;
}

static SqliteStore* sqlite_of(Store* store)
{
    return reinterpret_cast<SqliteStore*>(store);
}

static const char schema[] = R"SQL(
CREATE TABLE IF NOT EXISTS users (
    id INTEGER PRIMARY KEY,
    login TEXT NOT NULL UNIQUE,
    display_name TEXT NOT NULL,
    password_hash TEXT NOT NULL,
    admin INTEGER NOT NULL DEFAULT 0,
    restricted INTEGER NOT NULL DEFAULT 0,
    utc_offset_minutes INTEGER,
    message TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS sessions (
    uid INTEGER PRIMARY KEY CHECK (uid > 0),
    user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    created_ms INTEGER NOT NULL,
    last_seen_ms INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS sessions_user ON sessions(user_id);
CREATE TABLE IF NOT EXISTS catalogue (
    user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    PRIMARY KEY (user_id, name)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS tasks (
    id INTEGER PRIMARY KEY,
    user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    seconds INTEGER NOT NULL CHECK (seconds >= 0),
    running INTEGER NOT NULL DEFAULT 0 CHECK (running IN (0, 1)),
    started_ms INTEGER NOT NULL DEFAULT 0,
    UNIQUE (user_id, name)
);
CREATE UNIQUE INDEX IF NOT EXISTS tasks_one_running ON tasks(user_id) WHERE running = 1;
CREATE TABLE IF NOT EXISTS journal (
    id INTEGER PRIMARY KEY,
    user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    kind INTEGER NOT NULL,
    task TEXT NOT NULL DEFAULT '',
    seconds INTEGER NOT NULL DEFAULT 0,
    previous_seconds INTEGER NOT NULL DEFAULT 0,
    run_started_ms INTEGER NOT NULL DEFAULT 0,
    date_stamp TEXT NOT NULL DEFAULT '',
    utc_ms INTEGER NOT NULL,
    utc_offset_minutes INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS journal_user_time ON journal(user_id, utc_ms);
)SQL";

// ---- Connections and statements ----------------------------------------

static bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

static bool open_connection(const std::string& path, Connection* connection, std::string* error)
{
    int rc = sqlite3_open_v2(path.c_str(), &connection->db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        *error = path + ": " + (connection->db ? sqlite3_errmsg(connection->db) : "cannot open");
        sqlite3_close(connection->db);
        connection->db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(connection->db, busy_timeout_ms);
    if (!exec(connection->db, "PRAGMA foreign_keys = ON; PRAGMA synchronous = FULL;")) {
        *error = path + ": " + sqlite3_errmsg(connection->db);
        sqlite3_close(connection->db);
        connection->db = nullptr;
        return false;
    }
    return true;
}

static void close_connection(Connection* connection)
{
    for (auto& entry : connection->statements)
        sqlite3_finalize(entry.second);
    connection->statements.clear();
    sqlite3_close(connection->db);
    connection->db = nullptr;
}

// The prepared statement for sql (a string literal: its address is the key),
// reset and unbound; null on failure.
static sqlite3_stmt* statement(StoreTx* tx, const char* sql)
{
    Connection* connection = connection_of(tx);
    auto found = connection->statements.find(sql);
    if (found != connection->statements.end()) {
        sqlite3_reset(found->second);
        sqlite3_clear_bindings(found->second);
        return found->second;
    }
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v3(connection->db, sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr) !=
        SQLITE_OK)
        return nullptr;
    connection->statements[sql] = prepared;
    return prepared;
}

static void bind_text(sqlite3_stmt* s, int index, const std::string& text)
{
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

static std::string column_text(sqlite3_stmt* s, int index)
{
    const unsigned char* text = sqlite3_column_text(s, index);
    return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(s, index))
                : std::string();
}

// Runs a statement that returns no rows.
static StoreResult run(sqlite3_stmt* s)
{
    if (!s)
        return STORE_ERROR;
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc == SQLITE_DONE)
        return STORE_OK;
    return (rc & 0xFF) == SQLITE_CONSTRAINT ? STORE_EXISTS : STORE_ERROR;
}

// Runs a statement that changes rows: STORE_NOT_FOUND when it changed none.
static StoreResult run_change(StoreTx* tx, sqlite3_stmt* s)
{
    StoreResult result = run(s);
    if (result == STORE_OK && sqlite3_changes(connection_of(tx)->db) == 0)
        return STORE_NOT_FOUND;
    return result;
}

// ---- Transactions -------------------------------------------------------

static void writer_main(SqliteStore* store)
{
    SqliteTx sqlite_tx{{&sqlite_backend}, &store->writer};
    StoreTx* tx = reinterpret_cast<StoreTx*>(&sqlite_tx);
    sqlite3* db = store->writer.db;
    std::vector<WriteJob*> batch;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(store->lock);
            store->work.wait(guard, [store] { return store->stopping || !store->queue.empty(); });
            if (store->queue.empty())
                return;
            while (!store->queue.empty() && batch.size() < max_batch) {
                batch.push_back(store->queue.front());
                store->queue.pop_front();
            }
        }
        bool open = exec(db, "BEGIN IMMEDIATE");
        for (WriteJob* job : batch) {
            if (!open || !exec(db, "SAVEPOINT job")) {
                job->result = STORE_ERROR;
                continue;
            }
            job->result = job->fn(tx, job->context);
            if (job->result != STORE_OK)
                exec(db, "ROLLBACK TO job");
            exec(db, "RELEASE job");
            // An I/O error or a full disk can end the whole transaction:
            // the batch's earlier writes are lost with it.
            if (sqlite3_get_autocommit(db))
                open = false;
        }
        bool committed = open && exec(db, "COMMIT");
        if (!committed) {
            if (!sqlite3_get_autocommit(db))
                exec(db, "ROLLBACK");
            for (WriteJob* job : batch)
                job->result = STORE_ERROR;
        }
        {
            std::lock_guard<std::mutex> guard(store->lock);
            for (WriteJob* job : batch)
                job->done = true;
        }
        store->finished.notify_all();
        batch.clear();
    }
}

static StoreResult sqlite_write(Store* handle, StoreTxFn fn, void* context)
{
    SqliteStore* store = sqlite_of(handle);
    WriteJob job{fn, context};
    std::unique_lock<std::mutex> guard(store->lock);
    if (store->stopping)
        return STORE_ERROR;
    store->queue.push_back(&job);
    store->work.notify_one();
    store->finished.wait(guard, [&job] { return job.done; });
    return job.result;
}

static StoreResult sqlite_read(Store* handle, StoreTxFn fn, void* context)
{
    SqliteStore* store = sqlite_of(handle);
    Connection* connection = nullptr;
    {
        std::lock_guard<std::mutex> guard(store->readers_lock);
        if (!store->idle_readers.empty()) {
            connection = store->idle_readers.back();
            store->idle_readers.pop_back();
        }
    }
    if (!connection) {
        connection = new Connection;
        std::string ignored;
        if (!open_connection(store->path, connection, &ignored)) {
            delete connection;
            return STORE_ERROR;
        }
    }
    SqliteTx tx{{&sqlite_backend}, connection};
    StoreResult result = STORE_ERROR;
    if (exec(connection->db, "BEGIN")) {
        result = fn(reinterpret_cast<StoreTx*>(&tx), context);
        exec(connection->db, "COMMIT");
    }
    {
        std::lock_guard<std::mutex> guard(store->readers_lock);
        if (store->idle_readers.size() < max_idle_readers) {
            store->idle_readers.push_back(connection);
            connection = nullptr;
        }
    }
    if (connection) {
        close_connection(connection);
        delete connection;
    }
    return result;
}

static void sqlite_close(Store* handle)
{
    SqliteStore* store = sqlite_of(handle);
    {
        std::lock_guard<std::mutex> guard(store->lock);
        store->stopping = true;
    }
    store->work.notify_all();
    if (store->writer_thread.joinable())
        store->writer_thread.join();
    for (Connection* connection : store->idle_readers) {
        close_connection(connection);
        delete connection;
    }
    close_connection(&store->writer);
    delete store;
}

Store* store_sqlite_open(const std::string& path, std::string* error)
{
    SqliteStore* store = new SqliteStore;
    store->head.backend = &sqlite_backend;
    store->path = path;
    if (!open_connection(path, &store->writer, error)) {
        delete store;
        return nullptr;
    }
    sqlite3* db = store->writer.db;
    // WAL keeps readers off the writer's way; with synchronous = FULL every
    // commit is on disk before COMMIT returns.
    if (!exec(db, "PRAGMA journal_mode = WAL") || !exec(db, "BEGIN IMMEDIATE") ||
        !exec(db, schema) || !exec(db, "COMMIT")) {
        *error = path + ": " + sqlite3_errmsg(db);
        close_connection(&store->writer);
        delete store;
        return nullptr;
    }
    store->writer_thread = std::thread(writer_main, store);
    return reinterpret_cast<Store*>(store);
}

// ---- Users ----------------------------------------------------------------

#define USER_COLUMNS \
    "id, login, display_name, password_hash, admin, restricted, utc_offset_minutes, message"

static void read_user(sqlite3_stmt* s, StoreUser* user)
{
    user->id = sqlite3_column_int64(s, 0);
    user->login = column_text(s, 1);
    user->display_name = column_text(s, 2);
    user->password_hash = column_text(s, 3);
    user->admin = sqlite3_column_int(s, 4) != 0;
    user->restricted = sqlite3_column_int(s, 5) != 0;
    user->has_utc_offset = sqlite3_column_type(s, 6) != SQLITE_NULL;
    user->utc_offset_minutes = sqlite3_column_int(s, 6);
    user->message = column_text(s, 7);
}

// Steps a query expected to give at most one row.
static StoreResult one_row(sqlite3_stmt* s)
{
    if (!s)
        return STORE_ERROR;
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW)
        return STORE_OK;
    sqlite3_reset(s);
    return rc == SQLITE_DONE ? STORE_NOT_FOUND : STORE_ERROR;
}

static void bind_user_fields(sqlite3_stmt* s, const StoreUser& user)
{
    bind_text(s, 1, user.display_name);
    bind_text(s, 2, user.password_hash);
    sqlite3_bind_int(s, 3, user.admin);
    sqlite3_bind_int(s, 4, user.restricted);
    if (user.has_utc_offset)
        sqlite3_bind_int(s, 5, user.utc_offset_minutes);
    else
        sqlite3_bind_null(s, 5);
    bind_text(s, 6, user.message);
}

static StoreResult sqlite_user_insert(StoreTx* tx, StoreUser* user)
{
    sqlite3_stmt* s = statement(tx,
        "INSERT INTO users (display_name, password_hash, admin, restricted, utc_offset_minutes,"
        " message, login) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (!s)
        return STORE_ERROR;
    bind_user_fields(s, *user);
    bind_text(s, 7, user->login);
    StoreResult result = run(s);
    if (result == STORE_OK)
        user->id = sqlite3_last_insert_rowid(connection_of(tx)->db);
    return result;
}

static StoreResult sqlite_user_by_login(StoreTx* tx, const std::string& login, StoreUser* out)
{
    sqlite3_stmt* s = statement(tx, "SELECT " USER_COLUMNS " FROM users WHERE login = ?1");
    if (!s)
        return STORE_ERROR;
    bind_text(s, 1, login);
    StoreResult result = one_row(s);
    if (result == STORE_OK) {
        read_user(s, out);
        sqlite3_reset(s);
    }
    return result;
}

static StoreResult sqlite_user_by_id(StoreTx* tx, int64_t id, StoreUser* out)
{
    sqlite3_stmt* s = statement(tx, "SELECT " USER_COLUMNS " FROM users WHERE id = ?1");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, id);
    StoreResult result = one_row(s);
    if (result == STORE_OK) {
        read_user(s, out);
        sqlite3_reset(s);
    }
    return result;
}

static StoreResult sqlite_user_list(StoreTx* tx, std::vector<StoreUser>* out)
{
    sqlite3_stmt* s = statement(tx, "SELECT " USER_COLUMNS " FROM users ORDER BY login");
    if (!s)
        return STORE_ERROR;
    std::vector<StoreUser> users;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        users.emplace_back();
        read_user(s, &users.back());
    }
    sqlite3_reset(s);
    if (rc != SQLITE_DONE)
        return STORE_ERROR;
    *out = std::move(users);
    return STORE_OK;
}

static StoreResult sqlite_user_update(StoreTx* tx, const StoreUser& user)
{
    sqlite3_stmt* s = statement(tx,
        "UPDATE users SET display_name = ?1, password_hash = ?2, admin = ?3, restricted = ?4,"
        " utc_offset_minutes = ?5, message = ?6 WHERE id = ?7");
    if (!s)
        return STORE_ERROR;
    bind_user_fields(s, user);
    sqlite3_bind_int64(s, 7, user.id);
    return run_change(tx, s);
}

static StoreResult sqlite_user_delete(StoreTx* tx, int64_t id)
{
    sqlite3_stmt* s = statement(tx, "DELETE FROM users WHERE id = ?1");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, id);
    return run_change(tx, s);
}

// ---- Sessions -------------------------------------------------------------

static StoreResult sqlite_session_insert(StoreTx* tx, int32_t uid, int64_t user_id, int64_t now_ms)
{
    sqlite3_stmt* s = statement(tx,
        "INSERT INTO sessions (uid, user_id, created_ms, last_seen_ms) VALUES (?1, ?2, ?3, ?3)");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int(s, 1, uid);
    sqlite3_bind_int64(s, 2, user_id);
    sqlite3_bind_int64(s, 3, now_ms);
    return run(s);
}

static StoreResult sqlite_session_get(StoreTx* tx, int32_t uid, int64_t* user_id,
                                      int64_t* last_seen_ms)
{
    sqlite3_stmt* s = statement(tx, "SELECT user_id, last_seen_ms FROM sessions WHERE uid = ?1");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int(s, 1, uid);
    StoreResult result = one_row(s);
    if (result == STORE_OK) {
        *user_id = sqlite3_column_int64(s, 0);
        *last_seen_ms = sqlite3_column_int64(s, 1);
        sqlite3_reset(s);
    }
    return result;
}

static StoreResult sqlite_session_touch(StoreTx* tx, int32_t uid, int64_t now_ms)
{
    sqlite3_stmt* s = statement(tx, "UPDATE sessions SET last_seen_ms = ?2 WHERE uid = ?1");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int(s, 1, uid);
    sqlite3_bind_int64(s, 2, now_ms);
    return run_change(tx, s);
}

static StoreResult sqlite_session_delete(StoreTx* tx, int32_t uid)
{
    sqlite3_stmt* s = statement(tx, "DELETE FROM sessions WHERE uid = ?1");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int(s, 1, uid);
    return run_change(tx, s);
}

static StoreResult sqlite_session_purge(StoreTx* tx, int64_t before_ms)
{
    sqlite3_stmt* s = statement(tx, "DELETE FROM sessions WHERE last_seen_ms < ?1");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, before_ms);
    return run(s);
}

// ---- Catalogue ------------------------------------------------------------

static StoreResult sqlite_catalogue_add(StoreTx* tx, int64_t user_id, const std::string& name)
{
    sqlite3_stmt* s = statement(tx, "INSERT INTO catalogue (user_id, name) VALUES (?1, ?2)");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, user_id);
    bind_text(s, 2, name);
    return run(s);
}

static StoreResult sqlite_catalogue_remove(StoreTx* tx, int64_t user_id, const std::string& name)
{
    sqlite3_stmt* s = statement(tx, "DELETE FROM catalogue WHERE user_id = ?1 AND name = ?2");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, user_id);
    bind_text(s, 2, name);
    return run_change(tx, s);
}

static StoreResult sqlite_catalogue_has(StoreTx* tx, int64_t user_id, const std::string& name)
{
    sqlite3_stmt* s = statement(tx, "SELECT 1 FROM catalogue WHERE user_id = ?1 AND name = ?2");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, user_id);
    bind_text(s, 2, name);
    StoreResult result = one_row(s);
    sqlite3_reset(s);
    return result;
}

static StoreResult sqlite_catalogue_list(StoreTx* tx, int64_t user_id, std::vector<std::string>* out)
{
    sqlite3_stmt* s = statement(tx, "SELECT name FROM catalogue WHERE user_id = ?1 ORDER BY name");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, user_id);
    std::vector<std::string> names;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        names.push_back(column_text(s, 0));
    sqlite3_reset(s);
    if (rc != SQLITE_DONE)
        return STORE_ERROR;
    *out = std::move(names);
    return STORE_OK;
}

// ---- Tasks ----------------------------------------------------------------

#define TASK_COLUMNS "id, user_id, name, seconds, running, started_ms"

static void read_task(sqlite3_stmt* s, StoreTask* task)
{
    task->id = sqlite3_column_int64(s, 0);
    task->user_id = sqlite3_column_int64(s, 1);
    task->name = column_text(s, 2);
    task->seconds = sqlite3_column_int64(s, 3);
    task->running = sqlite3_column_int(s, 4) != 0;
    task->started_ms = sqlite3_column_int64(s, 5);
}

static StoreResult task_query_one(sqlite3_stmt* s, StoreTask* out)
{
    StoreResult result = one_row(s);
    if (result == STORE_OK) {
        read_task(s, out);
        sqlite3_reset(s);
    }
    return result;
}

static StoreResult sqlite_task_list(StoreTx* tx, int64_t user_id, std::vector<StoreTask>* out)
{
    sqlite3_stmt* s = statement(tx, "SELECT " TASK_COLUMNS " FROM tasks WHERE user_id = ?1 ORDER BY id");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, user_id);
    std::vector<StoreTask> tasks;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        tasks.emplace_back();
        read_task(s, &tasks.back());
    }
    sqlite3_reset(s);
    if (rc != SQLITE_DONE)
        return STORE_ERROR;
    *out = std::move(tasks);
    return STORE_OK;
}

static StoreResult sqlite_task_get(StoreTx* tx, int64_t user_id, const std::string& name,
                                   StoreTask* out)
{
    sqlite3_stmt* s =
        statement(tx, "SELECT " TASK_COLUMNS " FROM tasks WHERE user_id = ?1 AND name = ?2");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, user_id);
    bind_text(s, 2, name);
    return task_query_one(s, out);
}

static StoreResult sqlite_task_running(StoreTx* tx, int64_t user_id, StoreTask* out)
{
    sqlite3_stmt* s =
        statement(tx, "SELECT " TASK_COLUMNS " FROM tasks WHERE user_id = ?1 AND running = 1");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, user_id);
    return task_query_one(s, out);
}

static StoreResult sqlite_task_insert(StoreTx* tx, StoreTask* task)
{
    sqlite3_stmt* s = statement(tx,
        "INSERT INTO tasks (user_id, name, seconds, running, started_ms) VALUES (?1, ?2, ?3, ?4, ?5)");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, task->user_id);
    bind_text(s, 2, task->name);
    sqlite3_bind_int64(s, 3, task->seconds);
    sqlite3_bind_int(s, 4, task->running);
    sqlite3_bind_int64(s, 5, task->started_ms);
    StoreResult result = run(s);
    if (result == STORE_OK)
        task->id = sqlite3_last_insert_rowid(connection_of(tx)->db);
    return result;
}

static StoreResult sqlite_task_update(StoreTx* tx, const StoreTask& task)
{
    sqlite3_stmt* s = statement(tx,
        "UPDATE tasks SET seconds = ?2, running = ?3, started_ms = ?4 WHERE id = ?1");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, task.id);
    sqlite3_bind_int64(s, 2, task.seconds);
    sqlite3_bind_int(s, 3, task.running);
    sqlite3_bind_int64(s, 4, task.started_ms);
    return run_change(tx, s);
}

static StoreResult sqlite_task_delete(StoreTx* tx, int64_t task_id)
{
    sqlite3_stmt* s = statement(tx, "DELETE FROM tasks WHERE id = ?1");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, task_id);
    return run_change(tx, s);
}

// ---- Journal --------------------------------------------------------------

static StoreResult sqlite_journal_add(StoreTx* tx, StoreJournalEntry* entry)
{
    sqlite3_stmt* s = statement(tx,
        "INSERT INTO journal (user_id, kind, task, seconds, previous_seconds, run_started_ms,"
        " date_stamp, utc_ms, utc_offset_minutes) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, entry->user_id);
    sqlite3_bind_int(s, 2, entry->kind);
    bind_text(s, 3, entry->task);
    sqlite3_bind_int64(s, 4, entry->seconds);
    sqlite3_bind_int64(s, 5, entry->previous_seconds);
    sqlite3_bind_int64(s, 6, entry->run_started_ms);
    bind_text(s, 7, entry->date_stamp);
    sqlite3_bind_int64(s, 8, entry->utc_ms);
    sqlite3_bind_int(s, 9, entry->utc_offset_minutes);
    StoreResult result = run(s);
    if (result == STORE_OK)
        entry->id = sqlite3_last_insert_rowid(connection_of(tx)->db);
    return result;
}

static StoreResult sqlite_journal_between(StoreTx* tx, int64_t user_id, int64_t from_ms,
                                          int64_t to_ms, unsigned kind_mask, int64_t limit,
                                          std::vector<StoreJournalEntry>* out)
{
    sqlite3_stmt* s = statement(tx,
        "SELECT id, user_id, kind, task, seconds, previous_seconds, run_started_ms, date_stamp,"
        " utc_ms, utc_offset_minutes FROM journal"
        " WHERE user_id = ?1 AND utc_ms >= ?2 AND utc_ms < ?3 AND (?4 = 0 OR (?4 >> kind) & 1)"
        " ORDER BY utc_ms, id LIMIT ?5");
    if (!s)
        return STORE_ERROR;
    sqlite3_bind_int64(s, 1, user_id);
    sqlite3_bind_int64(s, 2, from_ms);
    sqlite3_bind_int64(s, 3, to_ms);
    sqlite3_bind_int64(s, 4, kind_mask);
    sqlite3_bind_int64(s, 5, limit > 0 ? limit : -1);
    std::vector<StoreJournalEntry> entries;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        StoreJournalEntry entry;
        entry.id = sqlite3_column_int64(s, 0);
        entry.user_id = sqlite3_column_int64(s, 1);
        entry.kind = sqlite3_column_int(s, 2);
        entry.task = column_text(s, 3);
        entry.seconds = sqlite3_column_int64(s, 4);
        entry.previous_seconds = sqlite3_column_int64(s, 5);
        entry.run_started_ms = sqlite3_column_int64(s, 6);
        entry.date_stamp = column_text(s, 7);
        entry.utc_ms = sqlite3_column_int64(s, 8);
        entry.utc_offset_minutes = sqlite3_column_int(s, 9);
        entries.push_back(std::move(entry));
    }
    sqlite3_reset(s);
    if (rc != SQLITE_DONE)
        return STORE_ERROR;
    *out = std::move(entries);
    return STORE_OK;
}

const StoreBackend sqlite_backend = {
    "sqlite",
    sqlite_close,
    sqlite_write,
    sqlite_read,
    sqlite_user_insert,
    sqlite_user_by_login,
    sqlite_user_by_id,
    sqlite_user_list,
    sqlite_user_update,
    sqlite_user_delete,
    sqlite_session_insert,
    sqlite_session_get,
    sqlite_session_touch,
    sqlite_session_delete,
    sqlite_session_purge,
    sqlite_catalogue_add,
    sqlite_catalogue_remove,
    sqlite_catalogue_has,
    sqlite_catalogue_list,
    sqlite_task_list,
    sqlite_task_get,
    sqlite_task_running,
    sqlite_task_insert,
    sqlite_task_update,
    sqlite_task_delete,
    sqlite_journal_add,
    sqlite_journal_between,
};
