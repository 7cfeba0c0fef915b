// The rules of the time sheet, on top of the store: what a start, a stop, an
// addition, a removal and a synchronisation of the whole table do to a
// user's tasks and journal. Each runs inside the caller's write transaction
// (store_write), so the whole event commits or nothing does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/store.h"

// Who and when: the context of every event.
struct SheetEvent {
    const StoreUser* user;
    int64_t now_ms;
    int utc_offset_minutes;      // the user's offset at now_ms
    std::string date_stamp;      // as the plug-in sent it, "" for none
};

// The outcome of one event: STORE_OK, or STORE_REFUSED with a reason for the
// user in *reason (French, UTF-8), or STORE_ERROR.
//
// sheet_start: starts name (adding it when it is not in the list and the
// user may track it) with seconds; the task running before is stopped in
// the same transaction and journalled.
StoreResult sheet_start(StoreTx* tx, const SheetEvent& event, const std::string& name,
                        int64_t seconds, std::string* reason);
// sheet_stop: stops name, setting its seconds.
StoreResult sheet_stop(StoreTx* tx, const SheetEvent& event, const std::string& name,
                       int64_t seconds, std::string* reason);
// sheet_add: adds name with 0 seconds (refused for a restricted user when
// it is not in the catalogue; an existing task is left as it is).
StoreResult sheet_add(StoreTx* tx, const SheetEvent& event, const std::string& name,
                      std::string* reason);
// sheet_remove: removes name, journalling its last seconds.
StoreResult sheet_remove(StoreTx* tx, const SheetEvent& event, const std::string& name,
                         int64_t seconds, std::string* reason);

struct SheetRow {
    std::string name;
    int64_t seconds = 0;
    bool running = false;
};

// sheet_sync: makes the user's list hold rows' seconds and running flags
// (kind JOURNAL_AUTOSAVE or JOURNAL_REPORT). Tasks missing from the list are
// added; a task whose seconds go down is journalled (JOURNAL_LOWERED); at
// most one task ends up running (the last row flagged). Rows are not
// refused for the catalogue restriction here: they already exist on the
// user's desktop.
StoreResult sheet_sync(StoreTx* tx, const SheetEvent& event, int kind,
                       const std::vector<SheetRow>& rows, std::string* reason);

// Seconds per task per local day, from the stop entries of the journal.
struct SheetDayHours {
    std::string task;
    int64_t local_day;           // days since 1970-01-01 in the user's time
    int64_t seconds;
};

// Adds up the runs of user_id that overlap the local days [first_day,
// first_day + days) into *out (sorted by day then task). A run is cut at the
// local midnights of the offset recorded at its stop. Returns STORE_OK or
// STORE_ERROR.
StoreResult sheet_hours_per_day(StoreTx* tx, int64_t user_id, int64_t first_day, int days,
                                std::vector<SheetDayHours>* out);
