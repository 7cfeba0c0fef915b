// The online plug-in's entry points and the start of its session: the logon
// from inside _vorn_init, then the offer to restore the service's task list
// into the host.
#include "plugins/online/online_plugin.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "plugins/online/http_client.h"
#include "plugins/online/online_dialogs.h"
#include "plugins/online/plugin_ui.h"
#include "plugins/online/session.h"
#include "plugins/online/settings.h"
#include "plugins/online/ws.h"

static const char RESTORE_QUESTION[] =
    "Désirez-vous restaurez la liste des tâches obtenue\nà partir des informations de la base de données ?";
static const char GOODBYE_FORMAT[] = "Au revoir %s, et à bientôt sur Talvenu-OnLine";
static const char REMOVE_QUESTION_FORMAT[] = "Désirez-vous supprimer la tâche %s ?";

// The goodbye text is cut to this, terminator included.
enum { GOODBYE_SIZE = 256 };

static INT_PTR ShellOpen(const char* address)
{
    return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL));
}

static ShellOpenFn g_shell_open = ShellOpen;

ShellOpenFn online_set_shell_open(ShellOpenFn open)
{
    ShellOpenFn previous = g_shell_open;
    g_shell_open = open ? open : ShellOpen;
    return previous;
}

void online_attach(HINSTANCE instance)
{
    g_session = OnlineSession{};
    g_session.module_instance = instance;
}

static char* CopyText(const char* text)
{
    size_t length = strlen(text);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy)
        memcpy(copy, text, length + 1);
    return copy;
}

static int CallHost(unsigned code, const char* name, int* value)
{
    return g_session.host_callback ? g_session.host_callback(code, name, value) : 0;
}

// Adds each task line of the service's list to the host with its seconds,
// and starts those flagged running (the last one started keeps running).
static void RestoreTasks(const char* body)
{
    if (g_plugin_settings.PRGM_UserListClear)
        CallHost(HOST_CMD_CLEAR_TASKS, nullptr, nullptr);
    for (const char* line = body; line;) {
        const char* next = nullptr;
        size_t length = ws_line_length(line, &next);
        std::string text(line, length);
        TaskLine task;
        if (ws_parse_task_line(text.c_str(), &task)) {
            // The host reads no value for an add; the name's length goes
            // with it as it always has.
            int name_length = static_cast<int>(strlen(task.name));
            CallHost(HOST_CMD_ADD_TASK, task.name, &name_length);
            int seconds = task.seconds;
            CallHost(HOST_CMD_SET_TASK_SECONDS, task.name, &seconds);
            if (task.running)
                CallHost(HOST_CMD_START_TASK, task.name, nullptr);
            delete[] task.name;
        }
        line = next;
    }
}

int begin_session(HWND owner, const char* login, char* password, int remember)
{
    if (!ws_logon(owner, login, password))
        return 0;
    char* body = ws_get_tasks(1);
    if (body && body[0] &&
        show_plugin_box(owner, RESTORE_QUESTION, PLUGIN_QUESTION) == PLUGIN_IDYES)
        RestoreTasks(body);
    delete[] body;
    if (remember == 1)
        save_user_credentials(PLUGIN_SETTINGS_FILE, login, password);
    return 1;
}

// The longest wait for a silent service that HTTPTimeout may ask for.
enum { MAX_TIMEOUT_SECONDS = 600 };

// HTTPTimeout in WEBSERVICE: the seconds of silence after which a request
// is given up (the HTTP client's own bound when absent or not a number from
// 1 to MAX_TIMEOUT_SECONDS).
static void LoadReadTimeout()
{
    char* value = read_profile_value("WEBSERVICE", "HTTPTimeout", PLUGIN_SETTINGS_FILE);
    if (!value)
        return;
    int seconds = atoi(value);
    if (seconds >= 1 && seconds <= MAX_TIMEOUT_SECONDS)
        g_http_limits.read_timeout_ms = seconds * 1000;
    delete[] value;
}

static void FreePrefills()
{
    delete[] g_session.prefill_login;
    delete[] g_session.prefill_password;
    g_session.prefill_login = nullptr;
    g_session.prefill_password = nullptr;
}

extern "C" int VORN_CALL vorn_init(HostCallback host)
{
    g_session.host_callback = host;
    if (load_plugin_settings(PLUGIN_SETTINGS_FILE) != 1)
        return 0;
    LoadReadTimeout();
    FreePrefills();
    if (g_plugin_settings.KOVLogin[0])
        g_session.prefill_login = CopyText(g_plugin_settings.KOVLogin);
    unscramble_password(g_plugin_settings.KOVPassword);
    if (g_plugin_settings.KOVPassword[0])
        g_session.prefill_password = CopyText(g_plugin_settings.KOVPassword);
    LogonDialogData data = {begin_session, g_session.prefill_login, g_session.prefill_password};
    int rc = ShowLogonDialog(static_cast<HINSTANCE>(g_session.module_instance), data);
    FreePrefills();
    return rc == 1 ? 1 : 0;
}

extern "C" int VORN_CALL vorn_shutdown(void)
{
    if (g_plugin_settings.DEBUG_dispWelcome) {
        char text[GOODBYE_SIZE];
        snprintf(text, sizeof text, GOODBYE_FORMAT, g_session.display_name);
        show_plugin_box(nullptr, text,
                        PLUGIN_MB_ICONINFORMATION | PLUGIN_MB_SYSTEMMODAL | PLUGIN_MB_SETFOREGROUND);
    }
    return 1;
}

char* config_page_address()
{
    const PluginSettings& s = g_plugin_settings;
    std::string address = s.HTTPPathConfig;
    if (address.find("://") == std::string::npos)
        address = "http://" + std::string(s.HTTPHost) + ":" + std::to_string(s.HTTPPort) + address;
    return CopyText(address.c_str());
}

// The setting alone ("/KOVReport/" by default) names no page the shell can
// open: without a scheme it is taken as a path on the service's own server.
extern "C" int VORN_CALL vorn_configuration(void)
{
    char* address = config_page_address();
    if (address)
        g_shell_open(address);
    delete[] address;
    return 1;
}

extern "C" int VORN_CALL vorn_about(void)
{
    ShowPluginAbout(static_cast<HINSTANCE>(g_session.module_instance));
    return 1;
}

extern "C" int VORN_CALL vorn_addtask(char* buffer)
{
    if (g_session.uid < 1)
        return 1;
    memset(buffer, 0, VORN_ADDTASK_BUFFER_SIZE);
    char* list = ws_get_tasks(0);
    if (!list)
        return 0;
    ChooserData data = {list, nullptr};
    ShowTaskChooser(static_cast<HINSTANCE>(g_session.module_instance), data);
    if (data.chosen) {
        if (ws_add_task(data.chosen)) {
            strncpy(buffer, data.chosen, VORN_ADDTASK_BUFFER_SIZE - 1);
            buffer[VORN_ADDTASK_BUFFER_SIZE - 1] = '\0';
        }
        delete[] data.chosen;
    }
    delete[] list;
    return 0;
}

extern "C" int VORN_CALL vorn_removetask(const char* name, int total_seconds)
{
    int length = snprintf(nullptr, 0, REMOVE_QUESTION_FORMAT, name);
    char* question = length >= 0 ? new (std::nothrow) char[length + 1] : nullptr;
    if (question) {
        snprintf(question, length + 1, REMOVE_QUESTION_FORMAT, name);
        int answer = show_plugin_box(nullptr, question, PLUGIN_QUESTION);
        delete[] question;
        if (answer != PLUGIN_IDYES)
            return 0;
    }
    return ws_remove_task(name, total_seconds) ? 1 : 0;
}

extern "C" int VORN_CALL vorn_taskstarted(const char* name, int total_seconds, int started)
{
    if (started == 0 || !name)
        return 0;
    return ws_set_task_running(name, total_seconds, 1) ? 1 : 0;
}

extern "C" int VORN_CALL vorn_taskstopped(const char* name, int total_seconds, int stopped)
{
    if (stopped == 0 || !name)
        return 0;
    return ws_set_task_running(name, total_seconds, 0) ? 1 : 0;
}

extern "C" int VORN_CALL vorn_autosave(const TaskSummary* tasks, int count)
{
    return ws_sync_tasks(tasks, count, WS_FCT_AUTOSAVE);
}

extern "C" int VORN_CALL vorn_savereport(const TaskSummary* tasks, int count)
{
    return ws_sync_tasks(tasks, count, WS_FCT_REPORT);
}
