// The exchanges with the web service's three scripts (logon, task list, task
// management): the parameter strings, the reply framing, the outcomes and
// the messages that the settings switch on. Each exchange is one HTTP/1.0
// request (http_client.h) to HTTPHost:HTTPPort, under HTTPPathTools.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pluginhost/vorn_plugin.h"

// Fixed texts of the exchanges.
#define WS_CONNECTION_ERROR_TEXT \
    "Une erreur s'est produite lors de la connexion.\nMerci de réessayer ultérieurement."
#define WS_MALFORMED_TEXT "Mauvais format du message de retour."
#define WS_LOGON_REFUSED_TEXT "Echec de l'identification au service Web."
#define WS_ANONYMOUS_NAME "A. Nonymous"
#define WS_WELCOME_FORMAT "Bienvenue %s sur Talvenu-OnLine%s%s"
#define WS_NO_SCRIPT_STATUS "404.1 No file specified"
#define WS_NO_SERVER_STATUS "500 No Server Found"
#define WS_CONNECT_FAILED_TEXT "Connexion to WebService"
#define WS_ADD_SUCCESS_FORMAT "La tâche %s a bien été ajoutée."
#define WS_ADD_FAILURE_FORMAT "Echec de l'ajout de la tâche %s.\n%s"
#define WS_REMOVE_SUCCESS_FORMAT "La tâche %s a bien été supprimée."
#define WS_REMOVE_FAILURE_FORMAT "Echec lors de la suppression de la tâche %s.\n%s"
#define WS_START_SUCCESS_FORMAT "La tâche %s a bien été démarrée."
#define WS_START_FAILURE_FORMAT "Echec lors du démarrage de la tâche %s.\n%s"
#define WS_STOP_SUCCESS_FORMAT "La tâche %s a bien été stoppée."
#define WS_STOP_FAILURE_FORMAT "Echec lors de l'arrêt de la tâche %s.\n%s"

// Operation codes of the task-management script's "fct" parameter.
enum : int {
    WS_FCT_STARTED = 0,
    WS_FCT_STOPPED = 1,
    WS_FCT_ADDED = 3,
    WS_FCT_REMOVED = 4,
    WS_FCT_AUTOSAVE = 5,
    WS_FCT_REPORT = 6,
};

enum : int {
    WS_STATUS_LINE_SIZE = 50,  // status line buffer, terminator included
};

// Writes today's local date (from plugin_clock_now) as "%Y%m%d" into the
// 9-byte `date_stamp`.
void today_stamp(char* date_stamp);

// One whole exchange with `script` (a name under HTTPPathTools): connects,
// sends `params` (GET when use_get is non-zero, else POST), reads the reply,
// closes. `status_line` (WS_STATUS_LINE_SIZE bytes, emptied by the caller)
// receives the reply's text before its first CR LF, at most 49 characters
// (empty when the reply holds no CR LF), or WS_NO_SCRIPT_STATUS for an
// absent or empty script, or WS_NO_SERVER_STATUS when the connection failed;
// then, when `show_connect_error` is set, the box "Connexion to WebService"
// shows the system's error. Returns the body (the text after the first
// "--Start--" up to the next "--End--" or the end, stripped of spaces, CR
// and LF) as a new[] text that the caller delete[]s, or nullptr when the
// reply holds no "--Start--", holds no CR LF at all (no HTTP reply: it
// counts as one that did not come), or the exchange failed (time-outs and
// oversized replies included).
char* ws_call(const char* script, const char* params, char* status_line,
              int show_connect_error, int use_get);

// Returns true when `status_line` contains "200 OK" and `body` is present
// (empty counts). Otherwise shows `error_text` (followed by "\n[<status
// line>]" when `show_status_line` is set) in a box without owner and returns
// false.
bool ws_status_ok(const char* status_line, const char* body, const char* error_text,
                  int show_status_line);

// Splits a record "field1;field2;field3" (field 3 holds the rest, ";" and
// line breaks included; ";;" after field 1 does not split, field 2 then
// starts with ";"). Returns false, producing nothing, when `text` has no ";"
// or starts with it. Each out that is given receives a new[] text that the
// caller delete[]s, or nullptr when the field is absent. `text` is not
// changed.
bool ws_split_fields(const char* text, char** field1_out, char** field2_out, char** field3_out);

// Reads an outcome record "True;..." or "False;reason" (case ignored).
// Returns true for True. Shows, with show_error_box (code 0, no owner),
// `success_format` filled with `task_name` when `show_success` is set, or,
// when `show_failure` is set, `failure_format` filled with `task_name` and
// the reason, or WS_MALFORMED_TEXT for a body that does not split or whose
// first field is neither True nor False. Messages are cut to 255 characters.
bool ws_report_outcome(const char* body, const char* task_name, const char* success_format,
                       int show_success, const char* failure_format, int show_failure);

// One line of the task list sent at logon: "name;seconds;flag".
struct TaskLine {
    char* name;       // new[] text that the caller delete[]s (may be empty)
    int32_t seconds;  // as atoi reads it
    int running;      // 1 unless the flag's first character is '0'
};

// Parses `line`. Returns true and fills *out, or false (nothing allocated)
// when the line holds fewer than two ";" or memory runs out.
bool ws_parse_task_line(const char* line, TaskLine* out);

// The line that starts at `line` in a list whose lines are separated by
// "\r\n" (the text after the last separator is a line too): returns its
// length, and sets *next to the start of the following line, or to nullptr
// when this line is the last.
size_t ws_line_length(const char* line, const char** next);

// Logs on with the login and password the user typed (both URL-encoded in
// the POST "l=...&p=..."). Returns false at once for an empty login. On a
// well-formed reply sets g_session.uid to its first field; when that is 1 or
// more sets g_session.display_name (second field, or WS_ANONYMOUS_NAME),
// shows the welcome box when DEBUG_dispWelcome is set (owned by
// `owner_window`) and returns true. Otherwise shows the reason (or the
// connection or malformed-reply message) and returns false.
bool ws_logon(void* owner_window, const char* login, const char* password);

// Fetches the service's task list: "uid=..&date=.." with `with_date` (the
// logon restore; the status line is not checked), "uid=.." without (the task
// chooser; the status is checked and a failure shown). Returns the body as a
// new[] text that the caller delete[]s, or nullptr.
char* ws_get_tasks(int with_date);

// Reports an added task (fct 3, time 0). Returns true when the service
// answered True; shows the outcome messages the switches allow. These three
// return false without a request for a null name.
bool ws_add_task(const char* name);

// Reports a removed task (fct 4) with its seconds. Returns true on True.
bool ws_remove_task(const char* name, int32_t seconds);

// Reports a start (started non-zero, fct 0) or a stop (fct 1) with the
// task's seconds. Returns true on True.
bool ws_set_task_running(const char* name, int32_t seconds, int started);

// Posts the whole task table (fct 5 at autosave, 6 at a report). Returns 1,
// also without entries (nothing sent) and when the service cannot be
// reached; 0 when the reply's body is malformed (a box says so). A third
// field in the reply is shown with show_message_async.
int ws_sync_tasks(const TaskSummary* entries, int count, int fct);
