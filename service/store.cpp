#include "service/store.h"

static const StoreBackend* backend_of(StoreTx* tx)
{
    return reinterpret_cast<StoreHead*>(tx)->backend;
}

const char* store_journal_kind_name(int kind)
{
    static const char* const names[JOURNAL_KIND_COUNT] = {
        "start", "stop", "add", "remove", "autosave", "report", "lowered"};
    return kind >= 0 && kind < JOURNAL_KIND_COUNT ? names[kind] : "?";
}

Store* store_open(const std::string& url, std::string* error)
{
    if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0)
        return store_pg_open(url, error);
    return store_sqlite_open(url, error);
}

#ifndef ZENTRIK_SERVICE_PG
Store* store_pg_open(const std::string&, std::string* error)
{
    *error = "this build has no PostgreSQL support";
    return nullptr;
}
#endif

void store_close(Store* store)
{
    if (store)
        reinterpret_cast<StoreHead*>(store)->backend->close(store);
}

StoreResult store_write(Store* store, StoreTxFn fn, void* context)
{
    return reinterpret_cast<StoreHead*>(store)->backend->write(store, fn, context);
}

StoreResult store_read(Store* store, StoreTxFn fn, void* context)
{
    return reinterpret_cast<StoreHead*>(store)->backend->read(store, fn, context);
}

#define DISPATCH(name, params, args) \
    StoreResult store_##name params { return backend_of(tx)->name args; }

DISPATCH(user_insert, (StoreTx* tx, StoreUser* user), (tx, user))
DISPATCH(user_by_login, (StoreTx* tx, const std::string& login, StoreUser* out), (tx, login, out))
DISPATCH(user_by_id, (StoreTx* tx, int64_t id, StoreUser* out), (tx, id, out))
DISPATCH(user_list, (StoreTx* tx, std::vector<StoreUser>* out), (tx, out))
DISPATCH(user_update, (StoreTx* tx, const StoreUser& user), (tx, user))
DISPATCH(user_delete, (StoreTx* tx, int64_t id), (tx, id))
DISPATCH(session_insert, (StoreTx* tx, int32_t uid, int64_t user_id, int64_t now_ms),
         (tx, uid, user_id, now_ms))
DISPATCH(session_get, (StoreTx* tx, int32_t uid, int64_t* user_id, int64_t* last_seen_ms),
         (tx, uid, user_id, last_seen_ms))
DISPATCH(session_touch, (StoreTx* tx, int32_t uid, int64_t now_ms), (tx, uid, now_ms))
DISPATCH(session_delete, (StoreTx* tx, int32_t uid), (tx, uid))
DISPATCH(session_purge, (StoreTx* tx, int64_t before_ms), (tx, before_ms))
DISPATCH(catalogue_add, (StoreTx* tx, int64_t user_id, const std::string& name), (tx, user_id, name))
DISPATCH(catalogue_remove, (StoreTx* tx, int64_t user_id, const std::string& name),
         (tx, user_id, name))
DISPATCH(catalogue_has, (StoreTx* tx, int64_t user_id, const std::string& name), (tx, user_id, name))
DISPATCH(catalogue_list, (StoreTx* tx, int64_t user_id, std::vector<std::string>* out),
         (tx, user_id, out))
DISPATCH(task_list, (StoreTx* tx, int64_t user_id, std::vector<StoreTask>* out), (tx, user_id, out))
DISPATCH(task_get, (StoreTx* tx, int64_t user_id, const std::string& name, StoreTask* out),
         (tx, user_id, name, out))
DISPATCH(task_running, (StoreTx* tx, int64_t user_id, StoreTask* out), (tx, user_id, out))
DISPATCH(task_insert, (StoreTx* tx, StoreTask* task), (tx, task))
DISPATCH(task_update, (StoreTx* tx, const StoreTask& task), (tx, task))
DISPATCH(task_delete, (StoreTx* tx, int64_t task_id), (tx, task_id))
DISPATCH(journal_add, (StoreTx* tx, StoreJournalEntry* entry), (tx, entry))
DISPATCH(journal_between,
         (StoreTx* tx, int64_t user_id, int64_t from_ms, int64_t to_ms, unsigned kind_mask,
          int64_t limit, std::vector<StoreJournalEntry>* out),
         (tx, user_id, from_ms, to_ms, kind_mask, limit, out))
