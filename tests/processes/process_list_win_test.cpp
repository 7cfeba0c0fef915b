// The process list with the operating system's sources, in a real menu, and
// termination, on a child process that the tests start (process_sleeper.exe,
// built next to this program).
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ledger/ledger.h"
#include "processes/process_menu.h"
#include "tests/processes/fake_sources.h"

namespace {

const char SLEEPER[] = "process_sleeper.exe";

struct Item {
    UINT id;
    std::string text;
    UINT type;
};

std::vector<Item> items_of(HMENU menu)
{
    std::vector<Item> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[300] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        EXPECT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &info));
        items.push_back({info.wID, text, info.fType});
    }
    return items;
}

std::string own_directory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string directory(path, length);
    return directory.substr(0, directory.rfind('\\') + 1);
}

// Returns the list index of `pid`, or -1.
int32_t index_of(DWORD pid)
{
    for (int32_t k = 0; k < process_list_count(); ++k) {
        if (process_list_entry(k)->pid == pid)
            return k;
    }
    return -1;
}

struct ProcessListWinTest : ::testing::Test {
    PROCESS_INFORMATION child = {};
    HMENU popup = nullptr;
    HMENU processes = nullptr;

    void SetUp() override
    {
        fake_sources_reset();
        start_child();
        // The tray popup's process submenu as the resource holds it, behind
        // another item: the insertion must find item 1002 inside the submenu.
        popup = CreatePopupMenu();
        processes = CreatePopupMenu();
        AppendMenuA(processes, MF_STRING | MF_GRAYED, 1001, "Terminer...");
        AppendMenuA(processes, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(processes, MF_STRING | MF_GRAYED, 1002, "vide");
        AppendMenuA(popup, MF_STRING, 10980, "&Gestionnaire des t\xE2" "ches...");
        AppendMenuA(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(processes),
                    "Liste des &Processus...");
    }
    void TearDown() override
    {
        DestroyMenu(popup);
        process_list_clear();
        if (child.hProcess) {
            TerminateProcess(child.hProcess, 1);
            CloseHandle(child.hProcess);
        }
    }

    void start_child()
    {
        std::string exe = own_directory() + SLEEPER;
        std::string command = "\"" + exe + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                                   CREATE_SUSPENDED, nullptr, nullptr, &startup, &child))
            << exe;
        std::string event_name = "ZentrikSleeper" + std::to_string(child.dwProcessId);
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, event_name.c_str());
        ResumeThread(child.hThread);
        CloseHandle(child.hThread);
        DWORD waited = WaitForSingleObject(ready, 10000);
        CloseHandle(ready);
        ASSERT_EQ(waited, WAIT_OBJECT_0) << "the child did not start";
    }
};

TEST_F(ProcessListWinTest, TheStatusLibraryListsProcessesByBaseName)
{
    process_list_refresh();
    int32_t k = index_of(child.dwProcessId);
    ASSERT_GE(k, 0);
    EXPECT_STREQ(process_list_entry(k)->name, SLEEPER);
    k = index_of(GetCurrentProcessId());
    ASSERT_GE(k, 0);
    EXPECT_STREQ(process_list_entry(k)->name, "processes_tests.exe");
}

TEST_F(ProcessListWinTest, TheSnapshotListsProcessesByBaseNameWhenTheLibraryIsMissing)
{
    g_fake_psapi.status = PROCESS_SOURCE_MISSING;
    const ProcessSources sources = {fake_psapi, process_list_system_sources.by_toolhelp};
    process_list_refresh_from(sources);
    int32_t k = index_of(child.dwProcessId);
    ASSERT_GE(k, 0);
    EXPECT_STREQ(process_list_entry(k)->name, SLEEPER);
}

TEST_F(ProcessListWinTest, TheSubmenuListsTheProcessesInOrderBeforeItemVide)
{
    process_list_fill_menu(popup, {1002, 1003});
    int32_t count = process_list_count();
    ASSERT_GE(count, 2);
    std::vector<Item> items = items_of(processes);
    ASSERT_EQ(items.size(), static_cast<size_t>(count) + 3);
    EXPECT_EQ(items[0].id, 1001u);
    EXPECT_TRUE(items[1].type & MFT_SEPARATOR);
    EXPECT_EQ(items.back().id, 1002u) << "item 1002 stays for the shell to remove";
    for (int32_t k = 0; k < count; ++k) {
        const Item& item = items[static_cast<size_t>(k) + 2];
        EXPECT_EQ(item.id, 1003u + static_cast<uint32_t>(k));
        EXPECT_EQ(item.text, process_list_entry(k)->name);
        EXPECT_EQ((item.type & MFT_MENUBARBREAK) != 0, (k + 1) % 25 == 0) << k;
        if (k > 0) {
            EXPECT_LE(ledger_compare_names(process_list_entry(k - 1)->name, item.text.c_str()), 0);
        }
    }
    EXPECT_EQ(items_of(popup).size(), 2u) << "nothing lands in the popup itself";
    ASSERT_GE(index_of(child.dwProcessId), 0);
}

TEST_F(ProcessListWinTest, SixtyProcessesStartColumnsWithABar)
{
    g_fake_psapi.processes = numbered_processes(60);
    process_list_refresh_from(fake_sources);
    process_list_insert_sorted(popup, {1002, 1003});
    std::vector<Item> items = items_of(processes);
    ASSERT_EQ(items.size(), 63u);
    std::vector<int32_t> breaks;
    for (int32_t k = 0; k < 60; ++k) {
        const Item& item = items[static_cast<size_t>(k) + 2];
        EXPECT_EQ(item.text, process_list_entry(k)->name);
        if (item.type & MFT_MENUBARBREAK)
            breaks.push_back(k);
    }
    EXPECT_EQ(breaks, (std::vector<int32_t>{24, 49}));
    EXPECT_EQ(items[9 + 2].id, 1012u);
    EXPECT_EQ(items[9 + 2].text, "p09");
}

TEST_F(ProcessListWinTest, ChoosingTheChildsItemTerminatesItWithExitCode9)
{
    process_list_fill_menu(popup, {1002, 1003});
    int32_t k = index_of(child.dwProcessId);
    ASSERT_GE(k, 0);
    // What the shell does with the chosen command id.
    UINT id = 1003 + static_cast<UINT>(k);
    char text[300] = "";
    GetMenuStringA(popup, id, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, SLEEPER);
    EXPECT_NE(process_terminate(process_list_entry(static_cast<int32_t>(id) - 1003)->pid, 9), 0);
    ASSERT_EQ(WaitForSingleObject(child.hProcess, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(child.hProcess, &code));
    EXPECT_EQ(code, 9u);
}

TEST_F(ProcessListWinTest, TerminatingWhatCannotBeOpenedFails)
{
    // Pid 0 is the idle process; 0xFFFFFFFC is a multiple of 4 that no
    // process gets.
    EXPECT_EQ(process_terminate(0, 9), 0);
    EXPECT_EQ(process_terminate(0xFFFFFFFCu, 9), 0);
    // The child is still there.
    EXPECT_EQ(WaitForSingleObject(child.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace
