// The rules the shell and the slot share about notification results, and the
// addition of a named task with its notification.
#include "pluginhost/notify.h"

#include "ledger/ledger.h"
#include "pluginhost/plugin_host.h"

bool notify_allowed(int32_t result)
{
    return result == 1 || result == PLUGIN_NOT_AVAILABLE;
}

bool notify_reports_failure(int32_t told, int32_t ok)
{
    return told == PLUGIN_NOT_AVAILABLE ? ok == 0 : told == 0;
}

int32_t notify_add_named_task(const char* name)
{
    int32_t ok = ledger_add_task(name, 0) != -1;
    if (notify_reports_failure(notify_task_added(name, ok), ok))
        plugin_show_error(0, "Echec de l'ajout de la tâche.");
    return ok;
}
