// The user's profile under trouble: a file that cannot be read, lines the
// program cannot take, saves that fail, names the file cannot carry back.
// Nothing the user had is lost, and the user is told.
#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "shell/resource.h"
#include "tests/e2e/fixture.h"

static const char QUIT_QUESTION[] = "Êtes-vous sûr de vouloir quitter ?";
static const char UNREADABLE[] =
    "Impossible de lire le fichier Zentrik.cnf !\nIl ne sera pas remplacé : les tâches et les "
    "temps de cette session ne seront pas enregistrés.\n";
static const char SAVE_FAILED[] = "Echec de la sauvegarde du fichier Zentrik.cnf.\n";
static const char RETRY[] =
    "\nVoulez-vous réessayer ? Sinon, les changements depuis la dernière sauvegarde seront perdus.";

static const std::vector<E2eTask> SEED = {
    e2e_task(0, "Client A", 3725),
    e2e_task(1, "Mail", 60),
};

// Waits for a box that joins `text` with the system's message (and, for a
// question, ends with `question`), presses `button` and waits until it is
// gone. Returns "" when all went so, else what went wrong.
static std::string answer_error_box(const E2eProcess& app, const std::string& text, int button,
                                    const std::string& question = "")
{
    HWND box = e2e_wait_box(app.pid);
    if (!box)
        return "no box appeared (expected '" + text + "...')";
    std::string shown = e2e_box_text(box);
    e2e_click(box, button);
    if (!e2e_wait_closed(box))
        return "the box stayed open after the click";
    bool system_text = shown.size() > text.size() + question.size();
    if (!shown.starts_with(text) || !shown.ends_with(question) || !system_text)
        return "the box said '" + shown + "', expected '" + text + "<system's message>" + question + "'";
    return "";
}

// The main timer tick, posted: a tick that shows a box would keep a sent
// message waiting.
static void post_tick(const E2eProcess& app)
{
    PostMessageA(app.window, WM_TIMER, E2E_MAIN_TIMER, 0);
}

// No box of the program is up once it went back to its queue.
static bool no_box_after_settling(const E2eProcess& app)
{
    return e2e_settle(app) && !e2e_find_window(app.pid, E2E_DIALOG_CLASS, E2E_BOX_CAPTION);
}

static void start_quit(const E2eProcess& app)
{
    ASSERT_TRUE(e2e_post_command(app, IDC_QUIT));
    ASSERT_EQ(e2e_answer_box(app.pid, QUIT_QUESTION, app.window, IDYES), "");
}

// A save with Mail running whose file cannot be written: the tick tells once,
// the next ticks say nothing, the exit asks until `clear` made room.
static void check_failing_saves(E2eProcess& app, const std::function<void()>& clear)
{
    ASSERT_TRUE(e2e_tick(app));  // the tick that first sees Mail running
    post_tick(app);
    ASSERT_EQ(answer_error_box(app, SAVE_FAILED, IDOK), "");
    post_tick(app);
    post_tick(app);
    EXPECT_TRUE(no_box_after_settling(app)) << "the same failure was told again";

    start_quit(app);
    // Yes with the obstacle still there: the save fails and is offered again.
    ASSERT_EQ(answer_error_box(app, SAVE_FAILED, IDYES, RETRY), "") << "the exit save was not offered";
    ASSERT_TRUE(e2e_wait_box(app.pid)) << "the exit save was not offered again";
    clear();
    ASSERT_EQ(answer_error_box(app, SAVE_FAILED, IDYES, RETRY), "");
    int code = 1;
    ASSERT_TRUE(e2e_wait_exit(app, &code)) << "the retry after making room did not save";
    EXPECT_EQ(code, 0);
}

TEST_F(E2e, AProfileThatCannotBeReadIsToldAndNeverReplaced)
{
    struct Case {
        const char* what;
        std::function<HANDLE()> block;  // returns a handle to close at the end, or nullptr
        bool directory;
    } cases[] = {
        {"held open by another program that shares nothing",
         [&] {
             return CreateFileA(profile_path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
         },
         false},
        {"a directory",
         [&] {
             std::filesystem::remove(profile_path());
             std::filesystem::create_directory(profile_path());
             return static_cast<HANDLE>(nullptr);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seed(SEED);
        const std::string before = profile();
        HANDLE held = c.block();
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(e2e_start(app, folder()));
        EXPECT_EQ(answer_error_box(app, UNREADABLE, IDOK), "");
        // The session's work goes nowhere, even with a task that ran.
        ASSERT_TRUE(e2e_command(app, IDC_TASK_FIRST + 0)) << "no task to start";
        ASSERT_TRUE(e2e_tick(app));
        ASSERT_TRUE(e2e_tick(app));
        start_quit(app);
        int code = 1;
        ASSERT_TRUE(e2e_wait_exit(app, &code)) << "the exit asked something";
        EXPECT_EQ(code, 0);
        if (held)
            CloseHandle(held);
        if (c.directory) {
            EXPECT_TRUE(std::filesystem::is_directory(profile_path()));
            std::filesystem::remove(profile_path());
        } else {
            EXPECT_EQ(profile(), before);
        }
        e2e_end(app);
    }
}

TEST_F(E2e, LinesThatCannotBeReadAreToldOnceAndTheFileIsKeptBesideTheProfile)
{
    const std::string damaged = e2e_profile_bytes(SEED) + "1\tMail\t999\r\r\n\x01\x02 garbage\r\r\n";
    write_bytes(profile_path(), damaged);
    ASSERT_TRUE(e2e_start(app, folder()));
    EXPECT_EQ(e2e_answer_box(app.pid,
                             "2 lignes du fichier Zentrik.cnf n'ont pas pu être lues.\n"
                             "Le fichier tel qu'il était sera gardé sous Zentrik.cnf.bak.",
                             nullptr, IDOK),
              "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("Zentrik.cnf.bak"))) << "kept before any save";
    start_quit(app);
    int code = 1;
    ASSERT_TRUE(e2e_wait_exit(app, &code));
    EXPECT_EQ(read_bytes(dir.file("Zentrik.cnf.bak")), damaged);
    EXPECT_EQ(profile(), e2e_profile_bytes(SEED));

    // Read whole now: nothing to tell.
    ASSERT_TRUE(e2e_start(app, folder()));
    EXPECT_TRUE(no_box_after_settling(app));
}

TEST_F(E2e, AddTaskDialogTakesOnlyNamesTheProfileCarriesBack)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));
    ASSERT_TRUE(e2e_post_command(app, IDC_ADD_TASK));
    HWND dialog = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, E2E_ADD_CAPTION);
    ASSERT_TRUE(dialog);

    // Typing stops at the 79 characters that are kept.
    HWND field = GetDlgItem(dialog, IDC_ADD_NAME);
    for (int i = 0; i < 100; ++i)
        PostMessageA(field, WM_CHAR, 'x', 0);
    EXPECT_TRUE(e2e_poll([&] { return e2e_control_text(dialog, IDC_ADD_NAME).size() >= 79; }));
    Sleep(500);  // for the keys still queued
    EXPECT_EQ(e2e_control_text(dialog, IDC_ADD_NAME), std::string(79, 'x'));

    // Refused with a word; the dialog stays for the user to mend the name.
    struct Refused {
        const char* name;
        const char* told;
    } refused[] = {
        {"a\tb", "Le nom d'une tâche ne peut pas contenir de tabulation !"},
        {"Client_A", "Ce nom se confond avec celui d'une autre tâche : les espaces et les « _ » "
                     "s'écrivent de même dans Zentrik.cnf !"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.name);
        e2e_set_control_text(dialog, IDC_ADD_NAME, r.name);
        e2e_click(dialog, IDOK);
        EXPECT_EQ(e2e_answer_box(app.pid, r.told, nullptr, IDOK), "");
        EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog)) << "the dialog closed";
    }
    e2e_set_control_text(dialog, IDC_ADD_NAME, "Client B");
    e2e_click(dialog, IDOK);
    ASSERT_TRUE(e2e_wait_closed(dialog));

    start_quit(app);
    int code = 1;
    ASSERT_TRUE(e2e_wait_exit(app, &code));
    EXPECT_EQ(profile(), e2e_profile_bytes({e2e_task(0, "Client A", 3725), e2e_task(1, "Client B", 0),
                                            e2e_task(2, "Mail", 60)}));
}

// What stands in the way of a save, put there while the program runs, and how
// the user clears it.
TEST_F(E2e, AFailedSaveIsToldOnceAndTheExitOffersToTryAgain)
{
    const std::string tmp = profile_path() + ".tmp";
    struct Case {
        const char* what;
        std::function<void()> block;
        std::function<void()> clear;
    } cases[] = {
        {"Zentrik.cnf.tmp is a directory", [&] { std::filesystem::create_directory(tmp); },
         [&] { std::filesystem::remove(tmp); }},
        {"Zentrik.cnf became a directory",
         [&] {
             std::filesystem::remove(profile_path());
             std::filesystem::create_directory(profile_path());
         },
         [&] { std::filesystem::remove(profile_path()); }},
        {"Zentrik.cnf is marked read-only",
         [&] { SetFileAttributesA(profile_path().c_str(), FILE_ATTRIBUTE_READONLY); },
         [&] {
             EXPECT_EQ(profile(), e2e_profile_bytes(SEED)) << "the read-only file was replaced";
             SetFileAttributesA(profile_path().c_str(), FILE_ATTRIBUTE_NORMAL);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seed(SEED);
        ASSERT_TRUE(e2e_start(app, folder()));
        ASSERT_TRUE(e2e_command(app, IDC_TASK_FIRST + 1));
        Sleep(1100);
        c.block();
        check_failing_saves(app, c.clear);
        EXPECT_GT(e2e_profile_seconds(profile(), e2e_task(1, "Mail", 60)), 60) << profile();
        e2e_end(app);
    }
}

// ---- As an ordinary user, whose file permissions apply, and on a full disk.
//
// CTest runs these through tests/e2e/as_user.sh, which drops the
// capabilities that let root pass permission bits and mounts a small tmpfs;
// run otherwise, they skip.

// The Unix path of a Windows path, through Wine's own call; "" outside Wine.
static std::string unix_path(const std::string& path)
{
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto to_unix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!to_unix)
        return "";
    std::wstring wide(path.begin(), path.end());
    char* unix = to_unix(wide.c_str());
    if (!unix)
        return "";
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Sets Unix permission bits: Windows has no call for them, and Wine starts
// Unix programs. Wine's handle of a Unix process does not wait for its end,
// so the command leaves a mark beside `path` when done. Returns false when
// the mark did not come.
static bool unix_chmod(const char* mode, const std::string& path)
{
    const std::string mark = path + ".chmod-done";
    DeleteFileA(mark.c_str());
    std::string command = "/bin/sh -c \"chmod " + std::string(mode) + " '" + unix_path(path) +
                          "' && touch '" + unix_path(mark) + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return false;
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    bool done = e2e_poll([&] { return GetFileAttributesA(mark.c_str()) != INVALID_FILE_ATTRIBUTES; });
    DeleteFileA(mark.c_str());
    return done;
}

class E2eAsUser : public E2e {
protected:
    void SetUp() override
    {
        E2e::SetUp();
        if (unix_path(folder()).empty())
            GTEST_SKIP() << "sets Unix permissions under Wine";
        const std::string probe = dir.file("probe");
        write_bytes(probe, "x");
        ASSERT_TRUE(unix_chmod("000", probe));
        if (read_bytes(probe) == "x")
            GTEST_SKIP() << "permission bits stop nothing here: run through tests/e2e/as_user.sh";
    }
    void TearDown() override
    {
        if (!unix_path(folder()).empty())
            unix_chmod("-R u+rwX", folder());
        E2e::TearDown();
    }
};

TEST_F(E2eAsUser, AProfileWithoutReadPermissionIsToldAndLeftAlone)
{
    seed(SEED);
    ASSERT_TRUE(unix_chmod("000", profile_path()));
    ASSERT_TRUE(e2e_start(app, folder()));
    EXPECT_EQ(answer_error_box(app, UNREADABLE, IDOK), "");
    start_quit(app);
    int code = 1;
    ASSERT_TRUE(e2e_wait_exit(app, &code));
    EXPECT_EQ(code, 0);
    ASSERT_TRUE(unix_chmod("644", profile_path()));
    EXPECT_EQ(profile(), e2e_profile_bytes(SEED));
}

TEST_F(E2eAsUser, AReadOnlyFolderFailsTheSavesUntilItIsWritableAgain)
{
    seed(SEED);
    ASSERT_TRUE(e2e_start(app, folder()));
    ASSERT_TRUE(e2e_command(app, IDC_TASK_FIRST + 1));
    Sleep(1100);
    ASSERT_TRUE(unix_chmod("555", folder()));
    check_failing_saves(app, [&] { unix_chmod("755", folder()); });
    EXPECT_GT(e2e_profile_seconds(profile(), e2e_task(1, "Mail", 60)), 60) << profile();
}

TEST_F(E2eAsUser, AFullDiskFailsTheSavesUntilThereIsRoomAgain)
{
    const char* disk = getenv("ZENTRIK_E2E_FULL_DISK");
    if (!disk || !*disk)
        GTEST_SKIP() << "needs a small file system of its own (ZENTRIK_E2E_FULL_DISK)";
    std::string place = std::string("Z:") + disk;
    for (char& c : place) {
        if (c == '/')
            c = '\\';
    }
    const std::string profile_there = place + "\\Zentrik.cnf";
    const std::string filler = place + "\\filler";
    write_bytes(profile_there, e2e_profile_bytes(SEED));
    ASSERT_TRUE(e2e_start(app, place));
    ASSERT_TRUE(e2e_command(app, IDC_TASK_FIRST + 1));
    Sleep(1100);

    HANDLE fill = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(fill, INVALID_HANDLE_VALUE);
    const std::string block(4096, 'f');
    DWORD written = 0;
    while (WriteFile(fill, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written > 0) {
    }
    CloseHandle(fill);

    check_failing_saves(app, [&] { DeleteFileA(filler.c_str()); });
    const std::string saved = read_bytes(profile_there);
    DeleteFileA(profile_there.c_str());
    DeleteFileA((profile_there + ".tmp").c_str());
    EXPECT_GT(e2e_profile_seconds(saved, e2e_task(1, "Mail", 60)), 60) << saved;
}
