// The online plug-in's window side, in this process: its dialogs (from the
// same resources, linked into this program), message boxes and the
// configuration entry point. Each modal window runs on the test's thread
// while a driver thread finds it, reads it and answers it as a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "plugins/online/http_client.h"
#include "plugins/online/online_dialogs.h"
#include "plugins/online/online_plugin.h"
#include "plugins/online/online_resource.h"
#include "plugins/online/plugin_ui.h"
#include "plugins/online/session.h"
#include "plugins/online/settings.h"
#include "tests/e2e/driver.h"
#include "tests/support/tempdir.h"

static_assert(sizeof("â") == 2, "build with -fexec-charset=CP1252");

static const char LOGON_CAPTION[] = "Talvenu Connexion ...";
static const char CHOOSER_CAPTION[] = "[KOVReport] Ajouter une tâche ...";
static const char ABOUT_CAPTION[] = "[KOVReport] A-Propos ...";
static const char EXTERNAL_CAPTION[] = "External Message - [Talvenu plug-in v1.02]";

namespace {

HINSTANCE self()
{
    return GetModuleHandleA(nullptr);
}

DWORD pid()
{
    return GetCurrentProcessId();
}

// Closes whatever dialog or box of this process is still up, so that a
// failed step ends the modal loop instead of hanging the test.
void close_leftovers()
{
    for (int round = 0; round < 20; ++round) {
        HWND window = e2e_find_window(pid(), E2E_DIALOG_CLASS, nullptr);
        if (!window)
            return;
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        e2e_wait_closed(window, 2000);
    }
}

// Runs `modal` on this thread while `script` drives it from another.
int drive(const std::function<void()>& script, const std::function<int()>& modal)
{
    std::thread driver([&] {
        script();
        close_leftovers();
    });
    int result = modal();
    driver.join();
    return result;
}

// A control's rectangle in dialog units, from its pixels on the screen.
struct Layout {
    int id;
    const char* class_name;
    std::string text;
    RECT units;
    DWORD style;  // bits that must be set
};

RECT control_units(HWND dialog, HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    // Back from pixels: one dialog unit is base/4 pixels across and base/8
    // down, with the base of the dialog's font.
    RECT unit = {0, 0, 4, 8};
    MapDialogRect(dialog, &unit);
    return RECT{MulDiv(rect.left, 4, unit.right), MulDiv(rect.top, 8, unit.bottom),
                MulDiv(rect.right - rect.left, 4, unit.right), MulDiv(rect.bottom - rect.top, 8, unit.bottom)};
}

// Checks every control of `dialog` against `expected`, in the order of the
// window list (the tab order), within one dialog unit of rounding.
void check_layout(HWND dialog, const std::vector<Layout>& expected)
{
    std::vector<HWND> controls;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        controls.push_back(c);
    ASSERT_EQ(controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Layout& want = expected[i];
        HWND control = controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + want.text + "\"");
        char class_name[64] = "";
        GetClassNameA(control, class_name, sizeof class_name);
        EXPECT_STRCASEEQ(class_name, want.class_name);
        EXPECT_EQ(static_cast<int>(static_cast<short>(GetDlgCtrlID(control))), want.id);
        const DWORD style = GetWindowLongA(control, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON && strcmp(want.class_name, "Static") == 0) {
            EXPECT_TRUE(SendMessageA(control, STM_GETICON, 0, 0)) << "the icon did not load";
        } else if (strcmp(want.class_name, "ComboBox") != 0 && strcmp(want.class_name, "Edit") != 0) {
            EXPECT_EQ(e2e_text(control), want.text);
        }
        EXPECT_EQ(style & want.style, want.style);
        // The dialog manager turns an edit box's WS_BORDER into a sunken edge.
        if (strcmp(want.class_name, "Edit") == 0) {
            EXPECT_TRUE((style & WS_BORDER) || (GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
        }
        RECT got = control_units(dialog, control);
        EXPECT_NEAR(got.left, want.units.left, 1);
        EXPECT_NEAR(got.top, want.units.top, 1);
        EXPECT_NEAR(got.right, want.units.right, 1);
        if (strcmp(want.class_name, "ComboBox") != 0) {  // a closed combo box is one line high
            EXPECT_NEAR(got.bottom, want.units.bottom, 1);
        }
    }
}

std::string font_name(HWND dialog)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    LOGFONTA info = {};
    GetObjectA(font, sizeof info, &info);
    return info.lfFaceName;
}

HWND focus_of(DWORD thread)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// What the logon handler saw, and what it answers.
struct HandlerCalls {
    std::vector<std::string> calls;  // "login|password|remember|dialog caption"
    std::vector<int> answers;        // one per call; 0 when they run out
};
HandlerCalls g_handler;

int recording_handler(HWND dialog, const char* login, char* password, int remember)
{
    g_handler.calls.push_back(std::string(login) + "|" + password + "|" + std::to_string(remember) + "|" +
                              e2e_text(dialog));
    size_t n = g_handler.calls.size() - 1;
    return n < g_handler.answers.size() ? g_handler.answers[n] : 0;
}

class OnlineDialogs : public testing::Test {
protected:
    void SetUp() override
    {
        e2e_prepare_wine();
        online_attach(self());
        g_handler = {};
        main_thread = GetCurrentThreadId();
    }
    void TearDown() override { close_leftovers(); }

    DWORD main_thread = 0;
};

// ------------------------------------------------------------------ logon

TEST_F(OnlineDialogs, LogonDialogLayoutAndPlace)
{
    HWND seen = nullptr;
    RECT place = {};
    std::string font;
    DWORD style = 0;
    int rc = drive(
        [&] {
            seen = e2e_wait_window(pid(), E2E_DIALOG_CLASS, LOGON_CAPTION);
            if (!seen)
                return;
            GetWindowRect(seen, &place);
            font = font_name(seen);
            style = GetWindowLongA(seen, GWL_STYLE);
            check_layout(seen, {
                {-1, "Button", "Login", {36, 7, 154, 58}, BS_GROUPBOX},
                {-1, "Static", "", {7, 7, 20, 20}, SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE},
                {-1, "Static", "User:", {63, 20, 19, 9}, 0},
                {IDC_LOGON_USER, "Edit", "", {85, 18, 97, 12}, ES_AUTOHSCROLL},
                {-1, "Static", "Password:", {45, 36, 38, 8}, 0},
                {IDC_LOGON_PASSWORD, "Edit", "", {85, 34, 97, 12}, ES_PASSWORD | ES_AUTOHSCROLL},
                {IDC_LOGON_REMEMBER, "Button", "Save this password", {85, 51, 86, 10}, BS_AUTOCHECKBOX},
                {IDOK, "Button", "Ok", {87, 69, 50, 12}, BS_DEFPUSHBUTTON},
                {IDCANCEL, "Button", "Exit", {140, 69, 50, 12}, 0},
            });
            EXPECT_EQ(IsDlgButtonChecked(seen, IDC_LOGON_REMEMBER), BST_UNCHECKED);
            e2e_click(seen, IDCANCEL);
            e2e_wait_closed(seen);
        },
        [&] { return ShowLogonDialog(self(), LogonDialogData{recording_handler, nullptr, nullptr}); });
    ASSERT_TRUE(seen);
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(g_handler.calls.empty());
    EXPECT_EQ(place.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
    EXPECT_EQ(place.top, (GetSystemMetrics(SM_CYSCREEN) - 165) / 2);
    EXPECT_EQ(font, "Arial");
    EXPECT_FALSE(style & WS_SYSMENU) << "the logon dialog has no close box";
}

// What the fields hold and where the focus is when the dialog opens.
TEST_F(OnlineDialogs, LogonPrefillAndFocus)
{
    struct Case {
        const char* login;
        const char* password;
        std::string user_text;
        std::string password_text;
        int focus;
    };
    const Case cases[] = {
        {nullptr, nullptr, "", "", IDC_LOGON_USER},
        {"marie", nullptr, "marie", "", IDC_LOGON_PASSWORD},
        {"marie", "", "marie", "", IDC_LOGON_PASSWORD},
        {"marie", "s3cret", "marie", "s3cret", IDC_LOGON_USER},
        {nullptr, "s3cret", "", "s3cret", IDC_LOGON_USER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("login ") + (c.login ? c.login : "(none)") + ", password " +
                     (c.password ? c.password : "(none)"));
        std::string user, password;
        HWND focus = nullptr, expected_focus = nullptr;
        drive(
            [&] {
                HWND dialog = e2e_wait_window(pid(), E2E_DIALOG_CLASS, LOGON_CAPTION);
                if (!dialog)
                    return;
                user = e2e_control_text(dialog, IDC_LOGON_USER);
                password = e2e_control_text(dialog, IDC_LOGON_PASSWORD);
                expected_focus = GetDlgItem(dialog, c.focus);
                e2e_poll([&] { return (focus = focus_of(main_thread)) == expected_focus; }, 2000);
                e2e_click(dialog, IDCANCEL);
                e2e_wait_closed(dialog);
            },
            [&] { return ShowLogonDialog(self(), LogonDialogData{recording_handler, c.login, c.password}); });
        EXPECT_EQ(user, c.user_text);
        EXPECT_EQ(password, c.password_text);
        EXPECT_EQ(focus, expected_focus);
    }
}

// OK hands the typed texts to the handler; the dialog stays up, texts as
// typed, until the handler says 1.
TEST_F(OnlineDialogs, LogonHandlerLoop)
{
    g_handler.answers = {0, 1};
    std::string after_refusal;
    int rc = drive(
        [&] {
            HWND dialog = e2e_wait_window(pid(), E2E_DIALOG_CLASS, LOGON_CAPTION);
            if (!dialog)
                return;
            e2e_set_control_text(dialog, IDC_LOGON_USER, "jean");
            e2e_set_control_text(dialog, IDC_LOGON_PASSWORD, "p&ss wörd");
            e2e_click(dialog, IDOK);
            e2e_poll([&] { return g_handler.calls.size() == 1; });
            Sleep(200);
            if (!IsWindowVisible(dialog))
                return;
            after_refusal = e2e_control_text(dialog, IDC_LOGON_USER) + "/" +
                            e2e_control_text(dialog, IDC_LOGON_PASSWORD);
            e2e_click(dialog, IDC_LOGON_REMEMBER);
            e2e_click(dialog, IDOK);
            e2e_wait_closed(dialog);
        },
        [&] { return ShowLogonDialog(self(), LogonDialogData{recording_handler, nullptr, nullptr}); });
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(after_refusal, "jean/p&ss wörd");
    EXPECT_EQ(g_handler.calls, (std::vector<std::string>{"jean|p&ss wörd|0|" + std::string(LOGON_CAPTION),
                                                          "jean|p&ss wörd|1|" + std::string(LOGON_CAPTION)}));
}

TEST_F(OnlineDialogs, LogonWithoutInstance)
{
    EXPECT_EQ(ShowLogonDialog(nullptr, LogonDialogData{recording_handler, nullptr, nullptr}), 0);
}

// ---------------------------------------------------------------- chooser

// The combo box's entries, in their order, with the selected one.
struct ComboState {
    std::vector<std::string> entries;
    std::string selected;
};

ComboState combo_state(HWND dialog)
{
    ComboState state;
    HWND combo = GetDlgItem(dialog, IDC_CHOOSER_LIST);
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[600] = "";
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        state.entries.push_back(text);
        if (i == selected)
            state.selected = text;
    }
    return state;
}

struct ChooserRun {
    int rc = 0;
    ComboState state;
    std::string chosen = "(null)";
    std::string list_after;
};

// Runs the chooser on `list`, selects `pick` (the placeholder when empty)
// and presses `button`.
ChooserRun run_chooser(const char* list, const std::string& pick, int button)
{
    ChooserRun run;
    std::string buffer = list ? list : "";
    ChooserData data = {list ? buffer.data() : nullptr, nullptr};
    run.rc = drive(
        [&] {
            HWND dialog = e2e_wait_window(pid(), E2E_DIALOG_CLASS, CHOOSER_CAPTION);
            if (!dialog)
                return;
            run.state = combo_state(dialog);
            if (!pick.empty()) {
                HWND combo = GetDlgItem(dialog, IDC_CHOOSER_LIST);
                SendMessageA(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(pick.c_str()));
            }
            e2e_click(dialog, button);
            e2e_wait_closed(dialog);
        },
        [&] { return ShowTaskChooser(self(), data); });
    if (data.chosen)
        run.chosen = data.chosen;
    delete[] data.chosen;
    run.list_after = buffer;
    return run;
}

TEST_F(OnlineDialogs, ChooserEntriesFromTheBorrowedList)
{
    struct Case {
        const char* list;
        std::vector<std::string> entries;  // sorted by the combo box
    };
    const Case cases[] = {
        {"Beta\r\nAlpha", {"-- Choisir une tâche --", "Alpha", "Beta"}},
        {"Beta\r\nAlpha\r\n", {"", "-- Choisir une tâche --", "Alpha", "Beta"}},
        {"Projet\rA\nB", {"-- Choisir une tâche --", "Projet\rA\nB"}},
        {nullptr, {"-- Choisir une tâche --"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list ? c.list : "(no list)");
        ChooserRun run = run_chooser(c.list, "", IDCANCEL);
        EXPECT_EQ(run.state.entries, c.entries);
        EXPECT_EQ(run.state.selected, CHOOSER_PLACEHOLDER);
        EXPECT_EQ(run.list_after, c.list ? c.list : "") << "the list is given back as it came";
        EXPECT_EQ(run.rc, IDCANCEL);
        EXPECT_EQ(run.chosen, "(null)");
    }
}

TEST_F(OnlineDialogs, ChooserChoice)
{
    ChooserRun picked = run_chooser("Alpha\r\nBeta", "Beta", IDOK);
    EXPECT_EQ(picked.rc, IDOK);
    EXPECT_EQ(picked.chosen, "Beta");

    ChooserRun placeholder = run_chooser("Alpha\r\nBeta", "", IDOK);
    EXPECT_EQ(placeholder.rc, IDOK);
    EXPECT_EQ(placeholder.chosen, "(null)");

    // A task that reads like the placeholder is still a task.
    ChooserRun lookalike = run_chooser("Alpha\r\n-- Choisir une tâche --", "", IDOK);
    EXPECT_EQ(lookalike.chosen, "(null)");

    // A name longer than the chooser hands on is cut.
    std::string long_name(600, 'x');
    ChooserRun cut = run_chooser(long_name.c_str(), long_name, IDOK);
    EXPECT_EQ(cut.chosen, std::string(515, 'x'));
}

TEST_F(OnlineDialogs, ChooserAndAboutLayout)
{
    drive(
        [&] {
            HWND dialog = e2e_wait_window(pid(), E2E_DIALOG_CLASS, CHOOSER_CAPTION);
            if (!dialog)
                return;
            EXPECT_EQ(font_name(dialog), "MS Sans Serif");
            RECT place;
            GetWindowRect(dialog, &place);
            EXPECT_EQ(place.left, 0);
            EXPECT_EQ(place.top, 0);
            EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
            check_layout(dialog, {
                {-1, "Static", "Nouvelle Tâche:", {5, 7, 58, 8}, 0},
                {IDC_CHOOSER_LIST, "ComboBox", "", {65, 5, 128, 72}, CBS_DROPDOWNLIST | CBS_SORT},
                {IDOK, "Button", "OK", {45, 26, 50, 14}, BS_DEFPUSHBUTTON},
                {IDCANCEL, "Button", "Annuler", {115, 26, 50, 14}, 0},
            });
            e2e_click(dialog, IDCANCEL);
            e2e_wait_closed(dialog);
        },
        [&] {
            ChooserData data = {nullptr, nullptr};
            return ShowTaskChooser(self(), data);
        });

    int rc = drive(
        [&] {
            HWND dialog = e2e_wait_window(pid(), E2E_DIALOG_CLASS, ABOUT_CAPTION);
            if (!dialog)
                return;
            EXPECT_EQ(font_name(dialog), "MS Sans Serif");
            EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
            check_layout(dialog, {
                {-1, "Button", "About this program...", {7, 7, 225, 65}, BS_GROUPBOX},
                {-1, "Static",
                 "Plug-in pour Zentrik\nGestion On-Line des temps\n\nplug-in Talvenu (v1,0,2,1)",
                 {16, 18, 144, 50}, SS_CENTER},
                {IDOK, "Button", "&OK", {174, 53, 50, 14}, BS_DEFPUSHBUTTON},
            });
            e2e_click(dialog, IDOK);
            e2e_wait_closed(dialog);
        },
        [&] { return ShowPluginAbout(self()); });
    EXPECT_EQ(rc, IDOK);
}

// ---------------------------------------------------------- message boxes

std::string system_text(DWORD code)
{
    char* message = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&message), 0,
                   nullptr);
    std::string text = message ? message : "";
    if (message)
        LocalFree(message);
    return text;
}

// The text of the box with `caption` that `show` puts up, closed with OK.
std::string box_text(const char* caption, const std::function<void()>& show)
{
    std::string text = "(no box)";
    drive(
        [&] {
            HWND box = e2e_wait_window(pid(), E2E_DIALOG_CLASS, caption);
            if (!box)
                return;
            text = e2e_box_text(box);
            e2e_click(box, IDOK);
            e2e_wait_closed(box);
        },
        [&] {
            show();
            return 0;
        });
    return text;
}

TEST_F(OnlineDialogs, ErrorBoxTexts)
{
    ASSERT_FALSE(system_text(ERROR_FILE_NOT_FOUND).empty());
    const DWORD unknown = 0x2000ABCD;
    ASSERT_TRUE(system_text(unknown).empty());
    struct Case {
        int code;
        const char* text;
        std::string shown;
    };
    const Case cases[] = {
        {0, "Connexion to WebService", "Connexion to WebService"},
        {ERROR_FILE_NOT_FOUND, "Connexion to WebService",
         "Connexion to WebService\n" + system_text(ERROR_FILE_NOT_FOUND)},
        {static_cast<int>(unknown), "Connexion to WebService", "Connexion to WebService\nError n°" + std::to_string(unknown)},
        {ERROR_FILE_NOT_FOUND, nullptr, system_text(ERROR_FILE_NOT_FOUND)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        // The box shows the text with its line breaks as CR LF gone to LF
        // only where the system text has them; compare what the box holds.
        EXPECT_EQ(box_text(PLUGIN_TITLE, [&] { show_error_box(c.code, c.text, nullptr); }), c.shown);
    }
    EXPECT_EQ(box_text("Error Logon", [&] { show_logon_error(static_cast<int>(unknown)); }),
              "Error n°" + std::to_string(unknown));
    EXPECT_EQ(box_text("Error Logon", [&] { show_logon_error(ERROR_ACCESS_DENIED); }),
              system_text(ERROR_ACCESS_DENIED));
}

// The call returns while its box is up; each call has its own box, which
// holds its own copy of the text.
TEST_F(OnlineDialogs, MessageAsyncReturnsAtOnce)
{
    char text[] = "Sauvegarde reçue";
    show_message_async(text);
    show_message_async("Deuxième message");
    text[0] = 'X';
    ASSERT_TRUE(e2e_poll([] { return e2e_count_windows(pid(), E2E_DIALOG_CLASS, EXTERNAL_CAPTION) == 2; }));
    std::vector<std::string> texts;
    for (int i = 0; i < 2; ++i) {
        HWND box = e2e_find_window(pid(), E2E_DIALOG_CLASS, EXTERNAL_CAPTION);
        ASSERT_TRUE(box);
        texts.push_back(e2e_box_text(box));
        EXPECT_TRUE(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST);
        e2e_click(box, IDOK);
        ASSERT_TRUE(e2e_wait_closed(box));
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"Deuxième message", "Sauvegarde reçue"}));
}

// ------------------------------------------------------- configuration page

std::vector<std::string> g_opened;

INT_PTR recording_open(const char* address)
{
    g_opened.push_back(address);
    return 42;
}

TEST(OnlineConfiguration, OpensTheServicePage)
{
    struct Case {
        std::string ini;
        std::string address;
    };
    const Case cases[] = {
        {"", "http://127.0.0.1:80/KOVReport/"},
        {"[WEBSERVICE]\r\nHTTPHost=kov.example\r\nHTTPPort=8080\r\nHTTPPathConfig=/conf/index.asp\r\n",
         "http://kov.example:8080/conf/index.asp"},
        {"[WEBSERVICE]\r\nHTTPHost=kov.example\r\nHTTPPathConfig=https://autre.example/config?x=1\r\n",
         "https://autre.example/config?x=1"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        std::string ini = dir.file("vorn_KovReport.ini");
        write_bytes(ini, c.ini);
        load_plugin_settings(ini.c_str());
        g_opened.clear();
        ShellOpenFn previous = online_set_shell_open(recording_open);
        EXPECT_EQ(vorn_configuration(), 1);
        online_set_shell_open(previous);
        EXPECT_EQ(g_opened, std::vector<std::string>{c.address});
    }
}

}  // namespace

// The settings file we ship, read by the Windows functions, gives the
// built-in values: nothing in it is misspelt or out of step.
TEST(OnlineConfiguration, ShippedSettingsAreTheDefaults)
{
    std::string path = "Z:" ZENTRIK_SOURCE_DIR "/plugins/online/vorn_KovReport.ini";
    ASSERT_NE(read_bytes(path), "<missing>");
    load_plugin_settings(path.c_str());
    const PluginSettings loaded = g_plugin_settings;
    const PluginSettings defaults;
    const int switches[][2] = {
        {loaded.PRGM_UserListClear, defaults.PRGM_UserListClear},
        {loaded.DEBUG_dispWelcome, defaults.DEBUG_dispWelcome},
        {loaded.DEBUG_dispHTTPError, defaults.DEBUG_dispHTTPError},
        {loaded.DEBUG_dispHTTPHeader, defaults.DEBUG_dispHTTPHeader},
        {loaded.DEBUG_dispHTTPMessage, defaults.DEBUG_dispHTTPMessage},
        {loaded.DEBUG_dispAddSuccess, defaults.DEBUG_dispAddSuccess},
        {loaded.DEBUG_dispAddFailed, defaults.DEBUG_dispAddFailed},
        {loaded.DEBUG_dispRemoveSuccess, defaults.DEBUG_dispRemoveSuccess},
        {loaded.DEBUG_dispRemoveFailed, defaults.DEBUG_dispRemoveFailed},
        {loaded.DEBUG_dispStartSuccess, defaults.DEBUG_dispStartSuccess},
        {loaded.DEBUG_dispStartFailed, defaults.DEBUG_dispStartFailed},
        {loaded.DEBUG_dispStopSuccess, defaults.DEBUG_dispStopSuccess},
        {loaded.DEBUG_dispStopFailed, defaults.DEBUG_dispStopFailed},
        {loaded.HTTPPort, defaults.HTTPPort},
    };
    for (size_t i = 0; i < std::size(switches); ++i)
        EXPECT_EQ(switches[i][0], switches[i][1]) << "value " << i;
    const char* const texts[][2] = {
        {loaded.HTTPHost, defaults.HTTPHost},
        {loaded.HTTPPathConfig, defaults.HTTPPathConfig},
        {loaded.HTTPPathTools, defaults.HTTPPathTools},
        {loaded.HTTPSCRIPT_CONNECT, defaults.HTTPSCRIPT_CONNECT},
        {loaded.HTTPSCRIPT_GETTASK, defaults.HTTPSCRIPT_GETTASK},
        {loaded.HTTPSCRIPT_MGRTASK, defaults.HTTPSCRIPT_MGRTASK},
        {loaded.HTTPLogin, defaults.HTTPLogin},
        {loaded.HTTPPassword, defaults.HTTPPassword},
        {loaded.KOVLogin, defaults.KOVLogin},
        {loaded.KOVPassword, defaults.KOVPassword},
    };
    for (const auto& text : texts)
        EXPECT_STREQ(text[0], text[1]);
    char* timeout = read_profile_value("WEBSERVICE", "HTTPTimeout", path.c_str());
    ASSERT_TRUE(timeout);
    EXPECT_EQ(atoi(timeout) * 1000, HttpLimits{}.read_timeout_ms);
    delete[] timeout;
}
