// The tray menu as the program builds it from its own resource, inspected
// in the process that builds it (another process cannot read a popup menu).
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ledger/ledger.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "shell/tray.h"
#include "tests/support/manual_clock.h"

namespace {

struct Item {
    UINT id;
    std::string text;
    UINT type;
    UINT state;
    HMENU submenu;
};

Item item_at(HMENU menu, int position)
{
    char text[600] = "";
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof text;
    EXPECT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &info));
    return {info.wID, text, info.fType, info.fState, info.hSubMenu};
}

std::vector<Item> items_of(HMENU menu)
{
    std::vector<Item> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        items.push_back(item_at(menu, i));
    return items;
}

// The submenu whose item has id `id` in `popup`.
HMENU submenu_of(HMENU popup, UINT id)
{
    for (const Item& item : items_of(popup)) {
        if (item.id == id)
            return item.submenu;
    }
    return nullptr;
}

bool greyed(HMENU menu, UINT id)
{
    return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

struct TrayMenuTest : ::testing::Test {
    void SetUp() override
    {
        ledger_clear();
        g_shell = ShellState();
        TrayInit(nullptr, GetModuleHandleA(nullptr));
    }
    void TearDown() override
    {
        if (menu)
            DestroyMenu(menu);
        ledger_clear();
    }
    void build()
    {
        menu = BuildTrayMenu(&popup);
        ASSERT_NE(menu, nullptr);
        tasks = submenu_of(popup, IDC_TASK_MENU);
        ASSERT_NE(tasks, nullptr);
    }

    ManualClock clock{1000000};
    HMENU menu = nullptr;
    HMENU popup = nullptr;
    HMENU tasks = nullptr;
};

}  // namespace

TEST_F(TrayMenuTest, EmptyLedgerGreysThePlaceholderAndTheTaskCommands)
{
    build();
    auto items = items_of(tasks);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, static_cast<UINT>(IDC_ADD_TASK));
    EXPECT_EQ(items[0].text, "&Ajouter une t\xe2" "che ...");
    EXPECT_TRUE(items[1].type & MFT_SEPARATOR);
    EXPECT_EQ(items[2].id, static_cast<UINT>(IDC_NO_TASK));
    EXPECT_EQ(items[2].text, "Aucune t\xe2" "che saisie");
    EXPECT_TRUE(greyed(tasks, IDC_NO_TASK));
    for (UINT id : {IDC_STOP, IDC_RESET_ALL, IDC_REPORT})
        EXPECT_TRUE(greyed(popup, id)) << id;
    EXPECT_FALSE(greyed(popup, IDC_QUIT));
    // Without the process list option there is no process submenu at all.
    EXPECT_EQ(submenu_of(popup, IDC_PROCESS_MENU), nullptr);
    // Without a plug-in only loading one is possible.
    HMENU plugins = submenu_of(popup, IDC_PLUGIN_MENU);
    ASSERT_NE(plugins, nullptr);
    EXPECT_FALSE(greyed(plugins, IDC_PLUGIN_LOAD));
    for (UINT id : {IDC_PLUGIN_UNLOAD, IDC_PLUGIN_CONFIGURE, IDC_PLUGIN_ABOUT})
        EXPECT_TRUE(greyed(plugins, id)) << id;
}

TEST_F(TrayMenuTest, AllTasksRemovedLeavesNoTaskItemAndNoPlaceholder)
{
    ledger_add_task("a", 0);
    ledger_add_task("b", 0);
    ledger_remove_task(0);
    ledger_remove_task(1);
    build();
    auto items = items_of(tasks);
    ASSERT_EQ(items.size(), 2u);  // "Ajouter" and the separator
    EXPECT_EQ(GetMenuState(tasks, IDC_NO_TASK, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_TRUE(greyed(popup, IDC_RESET_ALL));
    EXPECT_TRUE(greyed(popup, IDC_REPORT));
}

TEST_F(TrayMenuTest, FortyFiveTasksInThreeColumnsWithTheRunningOneChecked)
{
    for (int i = 0; i < 45; ++i) {
        char name[16];
        snprintf(name, sizeof name, "Task %02d", i);
        ledger_add_task(name, 3600 * i + 61);
    }
    ledger_start_task(7);
    clock.advance(5);
    build();
    auto items = items_of(tasks);
    ASSERT_EQ(items.size(), 2u + 45u);
    for (int i = 0; i < 45; ++i) {
        const Item& item = items[2 + i];
        char label[64];
        int seconds = 3600 * i + 61 + (i == 7 ? 5 : 0);
        snprintf(label, sizeof label, "Task %02d - [%dh %dm %ds]", i, seconds / 3600,
                 seconds % 3600 / 60, seconds % 60);
        EXPECT_EQ(item.id, static_cast<UINT>(IDC_TASK_FIRST + i));
        EXPECT_EQ(item.text, label);
        EXPECT_EQ((item.state & MFS_CHECKED) != 0, i == 7) << i;
        // Slots 19 and 39 start the second and third columns.
        EXPECT_EQ((item.type & MFT_MENUBARBREAK) != 0, i == 19 || i == 39) << i;
    }
    EXPECT_FALSE(greyed(popup, IDC_STOP));
    EXPECT_FALSE(greyed(popup, IDC_RESET_ALL));
    EXPECT_FALSE(greyed(popup, IDC_REPORT));
}

TEST_F(TrayMenuTest, ProcessListOptionListsTheProcesses)
{
    g_shell.process_list_option = 1;
    build();
    HMENU processes = submenu_of(popup, IDC_PROCESS_MENU);
    ASSERT_NE(processes, nullptr);
    EXPECT_EQ(item_at(processes, 0).text, "Terminer...");
    EXPECT_TRUE(item_at(processes, 1).type & MFT_SEPARATOR);
    // The machine's processes follow, and "vide" is gone.
    EXPECT_EQ(GetMenuState(processes, IDC_PROCESS_EMPTY, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_GT(GetMenuItemCount(processes), 2);
    EXPECT_EQ(item_at(processes, 2).id, static_cast<UINT>(IDC_PROCESS_FIRST));
}

TEST_F(TrayMenuTest, NoMenuWhileAModalWindowIsUp)
{
    g_shell.busy = 1;
    EXPECT_EQ(ShowTrayMenu(GetModuleHandleA(nullptr), nullptr, WM_TRAY_CALLBACK, 0, WM_LBUTTONUP, 0), -1);
}

TEST(TrayMouseTable, RoutesRegisteredMessagesOnly)
{
    static int calls;
    static LPARAM seen;
    calls = 0;
    auto handler = [](HINSTANCE, HWND, UINT, WPARAM, LPARAM lparam, int user) {
        ++calls;
        seen = lparam;
        return user;
    };
    EXPECT_EQ(TrayRegisterHandler(WM_MBUTTONUP, handler, 7), 1);
    EXPECT_EQ(TrayRegisterHandler(WM_KEYDOWN, handler, 7), 0);  // no slot for it
    EXPECT_EQ(TrayDispatch(nullptr, WM_TRAY_CALLBACK, 0, WM_MBUTTONUP), 7);
    EXPECT_EQ(seen, WM_MBUTTONUP);
    EXPECT_EQ(TrayDispatch(nullptr, WM_TRAY_CALLBACK, 0, WM_MBUTTONDOWN), 0);  // no handler
    EXPECT_EQ(TrayDispatch(nullptr, WM_COMMAND, 0, WM_MBUTTONUP), -1);
    EXPECT_EQ(calls, 1);
}

// An icon that cannot be loaded leaves the one shown: a blank tray icon would
// leave the user nothing to click.
TEST_F(TrayMenuTest, IconThatCannotBeLoadedKeepsTheOneShown)
{
    TrayAdd("tip", IDI_IDLE);
    HICON idle = TrayIcon();
    ASSERT_NE(idle, nullptr);
    TraySetIcon(4242);  // no such resource
    EXPECT_EQ(TrayIcon(), idle);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(idle, &info)) << "the icon shown was destroyed";
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    TraySetIcon(IDI_RUNNING);
    EXPECT_NE(TrayIcon(), idle);
    EXPECT_NE(TrayIcon(), nullptr);
}
