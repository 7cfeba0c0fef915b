#include "ledger/keeper.h"

#include <new>
#include <string>

#include "ledger/profile.h"
#include "platform/safefile.h"

// The one profile of the process.
struct Keeper {
    std::string path;
    std::string backup_path;
    bool may_replace = false;
    // The file as it was, while its backup is still to be written.
    std::string original;
    bool backup_due = false;
    bool last_failed = false;
};

static Keeper g_keeper;

KeeperOpen keeper_open(const char* path)
{
    keeper_close();
    ProfileLoad load;
    profile_read(path, load);
    KeeperOpen opened{load.result, load.error, load.unread_lines};
    try {
        g_keeper.path = path ? path : "";
        g_keeper.backup_path = g_keeper.path + ".bak";
    } catch (const std::bad_alloc&) {
        // Without the path nothing is saved, so nothing is replaced.
        keeper_close();
        return opened;
    }
    g_keeper.may_replace = load.result != -1 && path;
    g_keeper.backup_due = load.unread_lines > 0;
    g_keeper.original.swap(load.original);
    return opened;
}

const char* keeper_backup_path()
{
    return g_keeper.backup_path.c_str();
}

KeeperSave keeper_save()
{
    KeeperSave saved{-1, 0, g_keeper.last_failed};
    if (!g_keeper.may_replace)
        return saved;
    saved.result = 0;
    if (g_keeper.backup_due) {
        if (!safefile_write(g_keeper.backup_path.c_str(), g_keeper.original.data(),
                            g_keeper.original.size(), &saved.error)) {
            g_keeper.last_failed = true;
            return saved;
        }
        g_keeper.backup_due = false;
        std::string().swap(g_keeper.original);
    }
    saved.result = profile_save(g_keeper.path.c_str(), &saved.error);
    g_keeper.last_failed = saved.result != 1;
    return saved;
}

void keeper_close()
{
    std::string().swap(g_keeper.path);
    std::string().swap(g_keeper.backup_path);
    std::string().swap(g_keeper.original);
    g_keeper.may_replace = false;
    g_keeper.backup_due = false;
    g_keeper.last_failed = false;
}
