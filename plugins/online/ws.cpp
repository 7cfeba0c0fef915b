#include "plugins/online/ws.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "plugins/online/http_client.h"
#include "plugins/online/plugin_clock.h"
#include "plugins/online/plugin_ui.h"
#include "plugins/online/session.h"
#include "plugins/online/settings.h"
#include "plugins/online/text.h"

enum : size_t {
    PARAMS_SIZE = 255,   // one parameter string (or one table fragment)
    PATH_SIZE = 512,
    MESSAGE_SIZE = 256,  // one outcome or status message
    WELCOME_SIZE = 1024,
};

static const unsigned INFORMATION_BOX = PLUGIN_MB_ICONINFORMATION | PLUGIN_MB_TOPMOST;

void today_stamp(char* date_stamp)
{
    time_t now = plugin_clock_now();
    const tm* local = localtime(&now);
    if (!local || strftime(date_stamp, SESSION_DATE_SIZE, "%Y%m%d", local) == 0)
        date_stamp[0] = '\0';
}

static char* copy_text(const char* text, size_t length)
{
    char* copy = new (std::nothrow) char[length + 1];
    if (!copy)
        return nullptr;
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

// The marked part of a reply, stripped, as a new[] text; nullptr without
// "--Start--".
static char* reply_body(char* reply)
{
    static const char start_mark[] = "--Start--";
    char* start = strstr(reply, start_mark);
    if (!start)
        return nullptr;
    start += sizeof start_mark - 1;
    if (char* end = strstr(start, "--End--"))
        *end = '\0';
    char* body = trim_blanks(start, 1);
    return copy_text(body, strlen(body));
}

char* ws_call(const char* script, const char* params, char* status_line, int show_connect_error,
              int use_get)
{
    const PluginSettings& s = g_plugin_settings;
    if (!script || !*script) {
        snprintf(status_line, WS_STATUS_LINE_SIZE, "%s", WS_NO_SCRIPT_STATUS);
        return nullptr;
    }
    NetSocket socket;
    if (http_connect(&socket, s.HTTPHost, s.HTTPPort) != HTTP_OK) {
        snprintf(status_line, WS_STATUS_LINE_SIZE, "%s", WS_NO_SERVER_STATUS);
        if (show_connect_error)
            show_error_box(http_last_error(), WS_CONNECT_FAILED_TEXT, nullptr);
        return nullptr;
    }
    char path[PATH_SIZE];
    // Both come from fields of at most 254 and 49 characters.
    snprintf(path, sizeof path, "%.254s%.49s", s.HTTPPathTools, script);
    char* reply = nullptr;
    char* body = nullptr;
    if (http_exchange(socket, &reply, nullptr, path, params, s.HTTPLogin, s.HTTPPassword, use_get) ==
        HTTP_OK) {
        // A reply without CR LF has no status line: it is no HTTP reply, and
        // counts as one that did not come (empty status line, no body), so
        // nothing is read past its end and no body is taken from it.
        if (const char* line_end = strstr(reply, "\r\n")) {
            size_t length = static_cast<size_t>(line_end - reply);
            if (length >= WS_STATUS_LINE_SIZE)
                length = WS_STATUS_LINE_SIZE - 1;
            memcpy(status_line, reply, length);
            status_line[length] = '\0';
            body = reply_body(reply);
        }
    }
    delete[] reply;
    http_close(&socket);
    return body;
}

bool ws_status_ok(const char* status_line, const char* body, const char* error_text,
                  int show_status_line)
{
    if (strstr(status_line, "200 OK") && body)
        return true;
    char message[MESSAGE_SIZE];
    if (show_status_line)
        snprintf(message, sizeof message, "%s\n[%s]", error_text, status_line);
    else
        snprintf(message, sizeof message, "%s", error_text);
    show_plugin_box(nullptr, message, INFORMATION_BOX);
    return false;
}

// Stores a new[] copy of `length` bytes at `text` in *out when out is given.
// Returns false when memory ran out.
static bool give_field(char** out, const char* text, size_t length)
{
    if (!out)
        return true;
    *out = copy_text(text, length);
    return *out != nullptr;
}

static void drop_field(char** out)
{
    if (out) {
        delete[] *out;
        *out = nullptr;
    }
}

bool ws_split_fields(const char* text, char** field1_out, char** field2_out, char** field3_out)
{
    char** outs[] = {field1_out, field2_out, field3_out};
    for (char** out : outs)
        if (out)
            *out = nullptr;
    const char* first = text ? strchr(text, ';') : nullptr;
    if (!first || first == text)
        return false;
    bool ok = give_field(field1_out, text, static_cast<size_t>(first - text));
    const char* rest = first + 1;
    if (ok && *rest) {
        const char* second = strchr(rest, ';');
        if (!second || second == rest) {
            ok = give_field(field2_out, rest, strlen(rest));
        } else {
            ok = give_field(field2_out, rest, static_cast<size_t>(second - rest));
            if (ok && second[1])
                ok = give_field(field3_out, second + 1, strlen(second + 1));
        }
    }
    if (!ok) {
        for (char** out : outs)
            drop_field(out);
    }
    return ok;
}

static bool same_word(const char* text, const char* word)
{
    for (; *text && *word; ++text, ++word) {
        char a = *text >= 'a' && *text <= 'z' ? static_cast<char>(*text - 'a' + 'A') : *text;
        char b = *word >= 'a' && *word <= 'z' ? static_cast<char>(*word - 'a' + 'A') : *word;
        if (a != b)
            return false;
    }
    return *text == *word;
}

bool ws_report_outcome(const char* body, const char* task_name, const char* success_format,
                       int show_success, const char* failure_format, int show_failure)
{
    char* status = nullptr;
    char* reason = nullptr;
    char message[MESSAGE_SIZE] = "";
    bool success = false;
    if (!ws_split_fields(body, &status, &reason, nullptr)) {
        if (show_failure)
            snprintf(message, sizeof message, "%s", WS_MALFORMED_TEXT);
    } else if (same_word(status, "True")) {
        success = true;
        if (show_success)
            snprintf(message, sizeof message, success_format, task_name);
    } else if (show_failure) {
        if (same_word(status, "False"))
            snprintf(message, sizeof message, failure_format, task_name, reason ? reason : "");
        else
            snprintf(message, sizeof message, "%s", WS_MALFORMED_TEXT);
    }
    if (message[0])
        show_error_box(0, message, nullptr);
    delete[] status;
    delete[] reason;
    return success;
}

bool ws_parse_task_line(const char* line, TaskLine* out)
{
    const char* first = strchr(line, ';');
    const char* second = first ? strchr(first + 1, ';') : nullptr;
    if (!second)
        return false;
    char* name = copy_text(line, static_cast<size_t>(first - line));
    if (!name)
        return false;
    out->name = name;
    // atoi stops at the second ";" by itself.
    out->seconds = atoi(first + 1);
    out->running = second[1] == '0' ? 0 : 1;
    return true;
}

size_t ws_line_length(const char* line, const char** next)
{
    const char* end = strstr(line, "\r\n");
    if (!end) {
        *next = nullptr;
        return strlen(line);
    }
    *next = end + 2;
    return static_cast<size_t>(end - line);
}

bool ws_logon(void* owner_window, const char* login, const char* password)
{
    if (!login || !*login)
        return false;
    PluginSettings& s = g_plugin_settings;
    // Both are encoded as task names are: a raw "&", "=", "%", "+" or blank
    // would split or change them on the way.
    char* encoded_login = url_encode(login);
    char* encoded_password = url_encode(password ? password : "");
    char* params = nullptr;
    if (encoded_login && encoded_password) {
        size_t size = strlen(encoded_login) + strlen(encoded_password) + sizeof "l=&p=";
        params = new (std::nothrow) char[size];
        if (params)
            snprintf(params, size, "l=%s&p=%s", encoded_login, encoded_password);
    }
    delete[] encoded_login;
    delete[] encoded_password;
    if (!params)
        return false;

    char status_line[WS_STATUS_LINE_SIZE] = "";
    char* body = ws_call(s.HTTPSCRIPT_CONNECT, params, status_line, s.DEBUG_dispHTTPError, 0);
    delete[] params;
    if (!ws_status_ok(status_line, body, WS_CONNECTION_ERROR_TEXT, s.DEBUG_dispHTTPHeader)) {
        delete[] body;
        return false;
    }
    char* uid = nullptr;
    char* name = nullptr;
    char* addition = nullptr;
    bool split = ws_split_fields(body, &uid, &name, &addition);
    delete[] body;
    if (!split) {
        show_error_box(0, WS_MALFORMED_TEXT, owner_window);
        return false;
    }
    g_session.uid = atoi(uid);
    bool logged_on = g_session.uid >= 1;
    if (logged_on) {
        snprintf(g_session.display_name, sizeof g_session.display_name, "%s",
                 name ? name : WS_ANONYMOUS_NAME);
        if (s.DEBUG_dispWelcome) {
            char welcome[WELCOME_SIZE];
            snprintf(welcome, sizeof welcome, WS_WELCOME_FORMAT, g_session.display_name,
                     addition ? "\n" : "", addition ? addition : "");
            show_plugin_box(owner_window, welcome,
                            PLUGIN_MB_ICONINFORMATION | PLUGIN_MB_SYSTEMMODAL | PLUGIN_MB_TOPMOST);
        }
    } else {
        show_error_box(0, name ? name : WS_LOGON_REFUSED_TEXT, owner_window);
    }
    delete[] uid;
    delete[] name;
    delete[] addition;
    return logged_on;
}

char* ws_get_tasks(int with_date)
{
    const PluginSettings& s = g_plugin_settings;
    char params[PARAMS_SIZE];
    if (with_date) {
        today_stamp(g_session.date_stamp);
        snprintf(params, sizeof params, "uid=%d&date=%s", static_cast<int>(g_session.uid),
                 g_session.date_stamp);
    } else {
        snprintf(params, sizeof params, "uid=%d", static_cast<int>(g_session.uid));
    }
    char status_line[WS_STATUS_LINE_SIZE] = "";
    char* body = ws_call(s.HTTPSCRIPT_GETTASK, params, status_line, s.DEBUG_dispHTTPError, 1);
    if (!with_date && !ws_status_ok(status_line, body, WS_CONNECTION_ERROR_TEXT, s.DEBUG_dispHTTPHeader)) {
        delete[] body;
        return nullptr;
    }
    return body;
}

// The pattern of the task events: one GET to the task-management script,
// the status check, then the outcome.
static bool report_task_event(const char* name, int fct, int32_t seconds, const char* success_format,
                              int show_success, const char* failure_format, int show_failure)
{
    const PluginSettings& s = g_plugin_settings;
    // The host passes no name for a slot that holds no task.
    if (!name)
        return false;
    today_stamp(g_session.date_stamp);
    char* encoded = url_encode(name);
    if (!encoded)
        return false;
    char params[PARAMS_SIZE];
    snprintf(params, sizeof params, "uid=%d&fct=%d&task=%s&time=%d&date=%s", static_cast<int>(g_session.uid),
             fct, encoded, static_cast<int>(seconds), g_session.date_stamp);
    delete[] encoded;
    char status_line[WS_STATUS_LINE_SIZE] = "";
    char* body = ws_call(s.HTTPSCRIPT_MGRTASK, params, status_line, s.DEBUG_dispHTTPError, 1);
    bool done = ws_status_ok(status_line, body, WS_CONNECTION_ERROR_TEXT, s.DEBUG_dispHTTPHeader) &&
                ws_report_outcome(body, name, success_format, show_success, failure_format, show_failure);
    delete[] body;
    return done;
}

bool ws_add_task(const char* name)
{
    const PluginSettings& s = g_plugin_settings;
    return report_task_event(name, WS_FCT_ADDED, 0, WS_ADD_SUCCESS_FORMAT, s.DEBUG_dispAddSuccess,
                             WS_ADD_FAILURE_FORMAT, s.DEBUG_dispAddFailed);
}

bool ws_remove_task(const char* name, int32_t seconds)
{
    const PluginSettings& s = g_plugin_settings;
    return report_task_event(name, WS_FCT_REMOVED, seconds, WS_REMOVE_SUCCESS_FORMAT,
                             s.DEBUG_dispRemoveSuccess, WS_REMOVE_FAILURE_FORMAT, s.DEBUG_dispRemoveFailed);
}

bool ws_set_task_running(const char* name, int32_t seconds, int started)
{
    const PluginSettings& s = g_plugin_settings;
    if (started)
        return report_task_event(name, WS_FCT_STARTED, seconds, WS_START_SUCCESS_FORMAT,
                                 s.DEBUG_dispStartSuccess, WS_START_FAILURE_FORMAT, s.DEBUG_dispStartFailed);
    return report_task_event(name, WS_FCT_STOPPED, seconds, WS_STOP_SUCCESS_FORMAT,
                             s.DEBUG_dispStopSuccess, WS_STOP_FAILURE_FORMAT, s.DEBUG_dispStopFailed);
}

// The table's form body as it is assembled.
struct FormBody {
    char* text = nullptr;
    size_t length = 0;
    size_t capacity = 0;
};

static bool form_append(FormBody* form, const char* piece, size_t length)
{
    if (form->length + length + 1 > form->capacity) {
        size_t capacity = form->capacity ? form->capacity * 2 : 1024;
        while (capacity < form->length + length + 1)
            capacity *= 2;
        char* grown = new (std::nothrow) char[capacity];
        if (!grown)
            return false;
        if (form->length)
            memcpy(grown, form->text, form->length);
        delete[] form->text;
        form->text = grown;
        form->capacity = capacity;
    }
    memcpy(form->text + form->length, piece, length);
    form->length += length;
    form->text[form->length] = '\0';
    return true;
}

// Appends one formatted piece, cut to the parameter buffer as each piece is.
template <typename... Args>
static bool form_append_piece(FormBody* form, const char* format, Args... args)
{
    char piece[PARAMS_SIZE];
    int length = snprintf(piece, sizeof piece, format, args...);
    if (length < 0)
        return false;
    size_t size = static_cast<size_t>(length) < sizeof piece ? static_cast<size_t>(length) : sizeof piece - 1;
    return form_append(form, piece, size);
}

int ws_sync_tasks(const TaskSummary* entries, int count, int fct)
{
    const PluginSettings& s = g_plugin_settings;
    if (!entries || count < 1)
        return 1;
    today_stamp(g_session.date_stamp);
    FormBody form;
    bool assembled = form_append_piece(&form, "uid=%d&fct=%d&date=%s&count=%d",
                                       static_cast<int>(g_session.uid), fct, g_session.date_stamp, count);
    for (int i = 0; assembled && i < count; ++i) {
        if (!entries[i].name)
            continue;
        char* encoded = url_encode(entries[i].name);
        if (!encoded)
            continue;
        int n = i + 1;
        assembled = form_append_piece(&form, "&task%d=%s&time%d=%d&status%d=%d", n, encoded, n,
                                      entries[i].total_seconds, n, entries[i].running);
        delete[] encoded;
    }
    if (!assembled) {
        delete[] form.text;
        return 1;
    }
    char status_line[WS_STATUS_LINE_SIZE] = "";
    char* body = ws_call(s.HTTPSCRIPT_MGRTASK, form.text, status_line, s.DEBUG_dispHTTPError, 0);
    delete[] form.text;
    if (!body)
        return 1;
    char* message = nullptr;
    bool split = ws_split_fields(body, nullptr, nullptr, &message);
    delete[] body;
    if (!split) {
        show_error_box(0, WS_MALFORMED_TEXT, nullptr);
        return 0;
    }
    if (message)
        show_message_async(message);
    delete[] message;
    return 1;
}
