#include "service/web.h"

#include <map>
#include <mutex>

#include "service/auth.h"
#include "service/server.h"
#include "service/service.h"
#include "service/sheet.h"
#include "service/text.h"
#include "service/web_assets.h"
#include "service/web_report.h"
#include "service/web_session.h"

static const char COOKIE_NAME[] = "zentrik_web";
static const char CSRF_HEADER[] = "X-Zentrik-CSRF";
static const int MAX_WEEKS = 53;
// The latest events of the day the page shows; a busier day says how many
// it leaves out.
static const size_t JOURNAL_DAY_LIMIT = 2000;
static const size_t MESSAGE_MAX_CHARS = 2000;

// Who made the request, once the session cookie has been checked.
struct WebCaller {
    StoreUser user;
    WebSessionToken token;
};

typedef void (*WebHandler)(Service* service, const HttpRequest& request, const WebCaller& caller,
                           HttpResponse* response);

// Sessions ended by "Se déconnecter" on this instance, by nonce, with their
// expiry (after which the cookie is refused anyway). The cookie is cleared
// in the browser too; this only stops a copy of it from being replayed.
static std::mutex revoked_lock;
static std::map<std::string, int64_t> revoked_nonces;

static void revoke(const WebSessionToken& token, int64_t now_s)
{
    std::lock_guard<std::mutex> hold(revoked_lock);
    for (auto it = revoked_nonces.begin(); it != revoked_nonces.end();)
        it = it->second <= now_s ? revoked_nonces.erase(it) : std::next(it);
    revoked_nonces[token.nonce] = token.expires_s;
}

static bool is_revoked(const WebSessionToken& token)
{
    std::lock_guard<std::mutex> hold(revoked_lock);
    return revoked_nonces.count(token.nonce) != 0;
}

// ---- Replies ------------------------------------------------------------

static void add_security_headers(HttpResponse* response)
{
    response->headers.emplace_back(
        "Content-Security-Policy",
        "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
        "connect-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'");
    response->headers.emplace_back("X-Content-Type-Options", "nosniff");
    response->headers.emplace_back("X-Frame-Options", "DENY");
    response->headers.emplace_back("Referrer-Policy", "same-origin");
}

static void reply_json(HttpResponse* response, int status, const std::string& json)
{
    response->status = status;
    response->content_type = "application/json; charset=utf-8";
    response->headers.emplace_back("Cache-Control", "no-store");
    response->body = json;
}

static void reply_error(HttpResponse* response, int status, const char* code)
{
    reply_json(response, status, std::string("{\"error\":\"") + code + "\"}");
}

static std::string session_cookie(const Service* service, const std::string& value,
                                  int64_t max_age)
{
    std::string cookie = std::string(COOKIE_NAME) + "=" + value +
                         "; Path=" + service->config.base_path +
                         "; Max-Age=" + std::to_string(max_age) + "; HttpOnly; SameSite=Strict";
    if (service->config.cookie_secure)
        cookie += "; Secure";
    return cookie;
}

static void set_session_cookie(const Service* service, const WebCaller& caller, int64_t now_s,
                               HttpResponse* response)
{
    response->headers.emplace_back(
        "Set-Cookie",
        session_cookie(service, web_session_encode(caller.token, caller.user.password_hash),
                       caller.token.expires_s - now_s));
}

// ---- Request values -------------------------------------------------------

// The decoded value of field name of a form or query, or false when it is
// missing or its escapes are broken.
static bool field(const TextFields& fields, const char* name, std::string* out)
{
    const std::string* raw = text_field(fields, name);
    return raw && text_percent_decode(*raw, out);
}

static bool flag_field(const TextFields& fields, const char* name)
{
    std::string value;
    return field(fields, name, &value) && value == "1";
}

static int weeks_of(const HttpRequest& request)
{
    std::string text;
    long long weeks = 4;
    if (field(text_split_form(request.query), "weeks", &text))
        text_parse_int(text, 1, MAX_WEEKS, &weeks);
    return static_cast<int>(weeks);
}

// Logins and passwords come from the plug-in in Windows-1252: refuse what
// it could not send (the command line's rule for logins).
static bool plugin_text_ok(const std::string& text, size_t max_chars)
{
    std::string cp1252;
    if (text.empty() || !text_utf8_to_cp1252(text, &cp1252) || cp1252.size() > max_chars)
        return false;
    for (unsigned char c : cp1252)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

// A display name goes back to the plug-in in the logon reply's second field.
static bool display_ok(const std::string& display)
{
    return display.empty() || text_task_name_ok(display);
}

// ---- Sessions -------------------------------------------------------------

static bool load_user_by_id(Service* service, int64_t id, StoreUser* user)
{
    return store_read_with(service->store, [&](StoreTx* tx) {
               return store_user_by_id(tx, id, user);
           }) == STORE_OK;
}

// Fills *caller from the session cookie. Returns false when there is none,
// or it is forged, expired, ended, or its user is gone or has a new
// password.
static bool signed_in(Service* service, const HttpRequest& request, WebCaller* caller)
{
    const std::string* cookie = http_cookie(request, COOKIE_NAME);
    if (!cookie || !web_session_parse(*cookie, &caller->token) || is_revoked(caller->token))
        return false;
    int64_t now_s = service->now_ms() / 1000;
    return load_user_by_id(service, caller->token.user_id, &caller->user) &&
           web_session_check(*cookie, caller->token, caller->user.password_hash, now_s);
}

// The host part of an origin or of a Host header: "127.0.0.1:8080".
static std::string authority_of(const std::string& text)
{
    size_t start = text.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t end = text.find('/', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A state-changing request must come from a page of this service: its
// Origin (which browsers send with every POST) must name the host it was
// sent to, as the Host header says or, behind a proxy that rewrites Host,
// X-Forwarded-Host (a page of another site cannot set either). A request
// without Origin, from a client that is no browser, is judged by its
// anti-forgery token alone.
static bool same_origin(const HttpRequest& request)
{
    const std::string* origin = http_header(request, "Origin");
    if (!origin)
        return true;
    if (*origin == "null")
        return false;
    std::string authority = authority_of(*origin);
    for (const char* name : {"Host", "X-Forwarded-Host"}) {
        const std::string* host = http_header(request, name);
        if (host && authority == *host)
            return true;
    }
    return false;
}

static std::string me_json(const WebCaller& caller)
{
    return "{\"login\":" + web_json_string(caller.user.login) +
           ",\"display\":" + web_json_string(caller.user.display_name) +
           ",\"admin\":" + (caller.user.admin ? "true" : "false") +
           ",\"csrf\":\"" + web_session_csrf(caller.token, caller.user.password_hash) + "\"}";
}

// A hash that no password matches, checked for unknown logins so that they
// take as long as wrong passwords.
static const std::string& decoy_hash(const Service* service)
{
    static std::once_flag once;
    static std::string hash;
    std::call_once(once, [service] {
        auth_hash_password(auth_random_password(), service->config.password_cost, &hash);
    });
    return hash;
}

// ---- Handlers -------------------------------------------------------------

static void handle_me(Service*, const HttpRequest&, const WebCaller& caller,
                      HttpResponse* response)
{
    reply_json(response, 200, me_json(caller));
}

static void handle_signin(Service* service, const HttpRequest& request, const WebCaller&,
                          HttpResponse* response)
{
    int64_t now_ms = service->now_ms();
    if (!limit_allowed(service->limiter, request.client_address, now_ms))
        return reply_error(response, 429, "limited");
    TextFields fields = text_split_form(request.body);
    std::string login, password;
    if (!field(fields, "l", &login) || !field(fields, "p", &password))
        return reply_error(response, 400, "form");

    WebCaller caller;
    StoreResult found = store_read_with(service->store, [&](StoreTx* tx) {
        return store_user_by_login(tx, login, &caller.user);
    });
    if (found == STORE_ERROR)
        return reply_error(response, 503, "database");
    bool good = auth_check_password(
                    found == STORE_OK ? caller.user.password_hash : decoy_hash(service), password) &&
                found == STORE_OK;
    if (!good) {
        limit_failure(service->limiter, request.client_address, now_ms);
        return reply_error(response, 401, "credentials");
    }
    int64_t now_s = now_ms / 1000;
    caller.token = web_session_new(caller.user.id, now_s + service->config.web_session_idle_seconds);
    set_session_cookie(service, caller, now_s, response);
    reply_json(response, 200, me_json(caller));
}

static void handle_signout(Service* service, const HttpRequest&, const WebCaller& caller,
                           HttpResponse* response)
{
    revoke(caller.token, service->now_ms() / 1000);
    response->headers.emplace_back("Set-Cookie", session_cookie(service, "", 0));
    reply_json(response, 200, "{}");
}

static void handle_overview(Service* service, const HttpRequest&, const WebCaller& caller,
                            HttpResponse* response)
{
    int64_t now_ms = service->now_ms();
    int offset = service_user_offset(caller.user, now_ms);
    int64_t today = web_local_day(now_ms, offset);
    int64_t from_ms, to_ms;
    web_day_window(today, &from_ms, &to_ms);
    std::vector<StoreTask> tasks;
    std::vector<StoreJournalEntry> entries;
    StoreResult result = store_read_with(service->store, [&](StoreTx* tx) {
        StoreResult r = store_task_list(tx, caller.user.id, &tasks);
        return r != STORE_OK ? r
                             : store_journal_between(tx, caller.user.id, from_ms, to_ms, 0, 0,
                                                     &entries);
    });
    if (result != STORE_OK)
        return reply_error(response, 503, "database");

    std::string json = "{\"day\":\"" + web_day_text(today) + "\",\"offset\":\"" +
                       web_offset_text(offset) + "\",\"tasks\":[";
    for (size_t i = 0; i < tasks.size(); ++i) {
        const StoreTask& task = tasks[i];
        // The seconds are the desktop's last word: a start, then every
        // autosave while the task runs. Adding the time since the start
        // would count again what an autosave already brought in.
        json += std::string(i ? "," : "") + "{\"name\":" + web_json_string(task.name) +
                ",\"seconds\":" + std::to_string(task.seconds) +
                ",\"running\":" + (task.running ? "true" : "false");
        if (task.running && task.started_ms > 0)
            json += ",\"since\":\"" + web_clock_text(task.started_ms, offset, false) + "\"";
        json += "}";
    }
    // The window holds the neighbouring days too: the day's own events are
    // known only once each is placed by its own offset. The page shows the
    // latest of them.
    std::vector<StoreJournalEntry> day = web_entries_of_day(entries, today);
    size_t skipped = day.size() > JOURNAL_DAY_LIMIT ? day.size() - JOURNAL_DAY_LIMIT : 0;
    json += "],\"skipped\":" + std::to_string(skipped) + ",\"journal\":[";
    bool first = true;
    for (auto entry = day.begin() + skipped; entry != day.end(); ++entry) {
        json += std::string(first ? "" : ",") + "{\"time\":\"" +
                web_clock_text(entry->utc_ms, entry->utc_offset_minutes, false) +
                "\",\"utc\":\"" + web_clock_text(entry->utc_ms, 0, true) +
                "\",\"kind\":\"" + store_journal_kind_name(entry->kind) +
                "\",\"task\":" + web_json_string(entry->task) +
                ",\"seconds\":" + std::to_string(entry->seconds) + "}";
        first = false;
    }
    reply_json(response, 200, json + "]}");
}

// Seconds per task per local day over the last weeks, today included, with
// the run under way counted up to now.
static bool hours_of(Service* service, const WebCaller& caller, int weeks, int64_t* first_day,
                     int* days, std::vector<SheetDayHours>* rows)
{
    int64_t now_ms = service->now_ms();
    int offset = service_user_offset(caller.user, now_ms);
    *days = 7 * weeks;
    *first_day = web_local_day(now_ms, offset) - *days + 1;
    StoreTask running;
    StoreResult running_result = STORE_NOT_FOUND;
    StoreResult result = store_read_with(service->store, [&](StoreTx* tx) {
        rows->clear();
        StoreResult r = sheet_hours_per_day(tx, caller.user.id, *first_day, *days, rows);
        if (r != STORE_OK)
            return r;
        running_result = store_task_running(tx, caller.user.id, &running);
        return running_result == STORE_ERROR ? STORE_ERROR : STORE_OK;
    });
    if (result != STORE_OK)
        return false;
    if (running_result == STORE_OK && running.started_ms > 0)
        web_add_run(rows, running.name, running.started_ms, now_ms, offset, *first_day, *days);
    return true;
}

static void handle_chart(Service* service, const HttpRequest& request, const WebCaller& caller,
                         HttpResponse* response)
{
    int64_t first_day;
    int days;
    std::vector<SheetDayHours> rows;
    if (!hours_of(service, caller, weeks_of(request), &first_day, &days, &rows))
        return reply_error(response, 503, "database");
    std::string json = "{\"days\":[";
    for (int i = 0; i < days; ++i)
        json += std::string(i ? "," : "") + "\"" + web_day_text(first_day + i) + "\"";
    json += "],\"rows\":[";
    for (size_t i = 0; i < rows.size(); ++i)
        json += std::string(i ? "," : "") + "{\"day\":\"" + web_day_text(rows[i].local_day) +
                "\",\"task\":" + web_json_string(rows[i].task) +
                ",\"seconds\":" + std::to_string(rows[i].seconds) + "}";
    reply_json(response, 200, json + "]}");
}

static void handle_timesheet(Service* service, const HttpRequest& request,
                             const WebCaller& caller, HttpResponse* response)
{
    int64_t first_day;
    int days;
    std::vector<SheetDayHours> rows;
    if (!hours_of(service, caller, weeks_of(request), &first_day, &days, &rows))
        return reply_error(response, 503, "database");
    response->content_type = "text/csv; charset=utf-8";
    response->headers.emplace_back("Cache-Control", "no-store");
    response->headers.emplace_back("Content-Disposition",
                                   "attachment; filename=\"zentrik-" + web_day_text(first_day) +
                                       "-" + web_day_text(first_day + days - 1) + ".csv\"");
    response->body = web_timesheet_csv(rows);
}

static void handle_users(Service* service, const HttpRequest&, const WebCaller&,
                         HttpResponse* response)
{
    std::vector<StoreUser> users;
    std::vector<std::vector<std::string>> catalogues;
    StoreResult result = store_read_with(service->store, [&](StoreTx* tx) {
        catalogues.clear();
        StoreResult r = store_user_list(tx, &users);
        for (size_t i = 0; r == STORE_OK && i < users.size(); ++i) {
            catalogues.emplace_back();
            r = store_catalogue_list(tx, users[i].id, &catalogues.back());
        }
        return r;
    });
    if (result != STORE_OK)
        return reply_error(response, 503, "database");
    std::string json = "{\"users\":[";
    for (size_t i = 0; i < users.size(); ++i) {
        const StoreUser& user = users[i];
        json += std::string(i ? "," : "") + "{\"login\":" + web_json_string(user.login) +
                ",\"display\":" + web_json_string(user.display_name) +
                ",\"admin\":" + (user.admin ? "true" : "false") +
                ",\"restricted\":" + (user.restricted ? "true" : "false") +
                ",\"message\":" + web_json_string(user.message) + ",\"catalogue\":[";
        for (size_t k = 0; k < catalogues[i].size(); ++k)
            json += (k ? "," : "") + web_json_string(catalogues[i][k]);
        json += "]}";
    }
    reply_json(response, 200, json + "]}");
}

// Answers a store result of an administrator's change.
static void reply_change(HttpResponse* response, StoreResult result)
{
    switch (result) {
    case STORE_OK: return reply_json(response, 200, "{}");
    case STORE_NOT_FOUND: return reply_error(response, 404, "unknown");
    case STORE_EXISTS: return reply_error(response, 409, "exists");
    case STORE_REFUSED: return reply_error(response, 409, "refused");
    default: return reply_error(response, 503, "database");
    }
}

// Runs change on the user named by the form's login, in one write.
template <typename F>
static void change_user(Service* service, const TextFields& fields, HttpResponse* response,
                        F&& change)
{
    std::string login;
    if (!field(fields, "login", &login))
        return reply_error(response, 400, "form");
    reply_change(response, store_write_with(service->store, [&](StoreTx* tx) {
                     StoreUser user;
                     StoreResult r = store_user_by_login(tx, login, &user);
                     return r != STORE_OK ? r : change(tx, user);
                 }));
}

static void handle_user_add(Service* service, const HttpRequest& request, const WebCaller&,
                            HttpResponse* response)
{
    TextFields fields = text_split_form(request.body);
    StoreUser user;
    std::string password;
    if (!field(fields, "login", &user.login) || !field(fields, "password", &password) ||
        !field(fields, "display", &user.display_name))
        return reply_error(response, 400, "form");
    if (!plugin_text_ok(user.login, 100))
        return reply_error(response, 400, "login");
    if (!plugin_text_ok(password, 200))
        return reply_error(response, 400, "password");
    if (!display_ok(user.display_name))
        return reply_error(response, 400, "display");
    if (user.display_name.empty())
        user.display_name = user.login;
    user.admin = flag_field(fields, "admin");
    if (!auth_hash_password(password, service->config.password_cost, &user.password_hash))
        return reply_error(response, 503, "hash");
    reply_change(response, store_write_with(service->store, [&](StoreTx* tx) {
                     StoreUser row = user;
                     return store_user_insert(tx, &row);
                 }));
}

static void handle_user_update(Service* service, const HttpRequest& request,
                               const WebCaller& caller, HttpResponse* response)
{
    TextFields fields = text_split_form(request.body);
    std::string display;
    if (!field(fields, "display", &display))
        return reply_error(response, 400, "form");
    if (!display_ok(display))
        return reply_error(response, 400, "display");
    bool admin = flag_field(fields, "admin"), restricted = flag_field(fields, "restricted");
    change_user(service, fields, response, [&](StoreTx* tx, StoreUser& user) {
        // An administrator cannot take their own rights away and lock
        // everyone out.
        if (user.id == caller.user.id && !admin)
            return STORE_REFUSED;
        user.display_name = display.empty() ? user.login : display;
        user.admin = admin;
        user.restricted = restricted;
        return store_user_update(tx, user);
    });
}

static void handle_user_password(Service* service, const HttpRequest& request, const WebCaller&,
                                 HttpResponse* response)
{
    TextFields fields = text_split_form(request.body);
    std::string password, hash;
    if (!field(fields, "password", &password))
        return reply_error(response, 400, "form");
    if (!plugin_text_ok(password, 200))
        return reply_error(response, 400, "password");
    if (!auth_hash_password(password, service->config.password_cost, &hash))
        return reply_error(response, 503, "hash");
    change_user(service, fields, response, [&](StoreTx* tx, StoreUser& user) {
        user.password_hash = hash;
        return store_user_update(tx, user);
    });
}

static void catalogue_change(Service* service, const HttpRequest& request, HttpResponse* response,
                             bool add)
{
    TextFields fields = text_split_form(request.body);
    std::string task;
    if (!field(fields, "task", &task))
        return reply_error(response, 400, "form");
    if (!text_task_name_ok(task))
        return reply_error(response, 400, "task");
    change_user(service, fields, response, [&](StoreTx* tx, StoreUser& user) {
        return add ? store_catalogue_add(tx, user.id, task)
                   : store_catalogue_remove(tx, user.id, task);
    });
}

static void handle_catalogue_add(Service* service, const HttpRequest& request, const WebCaller&,
                                 HttpResponse* response)
{
    catalogue_change(service, request, response, true);
}

static void handle_catalogue_remove(Service* service, const HttpRequest& request,
                                    const WebCaller&, HttpResponse* response)
{
    catalogue_change(service, request, response, false);
}

// The message goes to the plug-in, in Windows-1252, in the third field of
// its next synchronisation reply, which may hold line breaks and ';'.
static bool message_ok(const std::string& text)
{
    std::string cp1252;
    if (!text_utf8_to_cp1252(text, &cp1252) || cp1252.size() > MESSAGE_MAX_CHARS)
        return false;
    for (unsigned char c : cp1252)
        if ((c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7F)
            return false;
    return cp1252.find("--End--") == std::string::npos;
}

static void handle_message(Service* service, const HttpRequest& request, const WebCaller&,
                           HttpResponse* response)
{
    TextFields fields = text_split_form(request.body);
    std::string text;
    if (!field(fields, "text", &text))
        return reply_error(response, 400, "form");
    if (!message_ok(text))
        return reply_error(response, 400, "message");
    change_user(service, fields, response, [&](StoreTx* tx, StoreUser& user) {
        user.message = text;
        return store_user_update(tx, user);
    });
}

// ---- Routing --------------------------------------------------------------

enum WebAccess { WEB_PUBLIC, WEB_SIGNED_IN, WEB_ADMIN };

struct WebRoute {
    const char* method;
    const char* name;  // below the base path
    WebAccess access;
    WebHandler handler;
};

static const WebRoute web_routes[] = {
    {"GET", "api/me", WEB_SIGNED_IN, handle_me},
    {"POST", "api/signin", WEB_PUBLIC, handle_signin},
    {"POST", "api/signout", WEB_SIGNED_IN, handle_signout},
    {"GET", "api/overview", WEB_SIGNED_IN, handle_overview},
    {"GET", "api/chart", WEB_SIGNED_IN, handle_chart},
    {"GET", "timesheet.csv", WEB_SIGNED_IN, handle_timesheet},
    {"GET", "api/users", WEB_ADMIN, handle_users},
    {"POST", "api/users/add", WEB_ADMIN, handle_user_add},
    {"POST", "api/users/update", WEB_ADMIN, handle_user_update},
    {"POST", "api/users/password", WEB_ADMIN, handle_user_password},
    {"POST", "api/catalogue/add", WEB_ADMIN, handle_catalogue_add},
    {"POST", "api/catalogue/remove", WEB_ADMIN, handle_catalogue_remove},
    {"POST", "api/messages", WEB_ADMIN, handle_message},
};

static bool serve_asset(const std::string& name, HttpResponse* response)
{
    for (int i = 0; i < web_asset_count; ++i) {
        if (name != web_assets[i].name)
            continue;
        response->content_type = web_assets[i].content_type;
        response->headers.emplace_back("Cache-Control", "no-cache");
        response->body.assign(reinterpret_cast<const char*>(web_assets[i].data),
                              web_assets[i].size);
        return true;
    }
    return false;
}

static void serve_api(Service* service, const HttpRequest& request, const WebRoute& route,
                      HttpResponse* response)
{
    bool writes = route.method[0] == 'P';
    if (writes && !same_origin(request))
        return reply_error(response, 403, "origin");
    WebCaller caller;
    if (route.access != WEB_PUBLIC) {
        if (!signed_in(service, request, &caller))
            return reply_error(response, 401, "signin");
        const std::string* token = http_header(request, CSRF_HEADER);
        if (writes && (!token || !auth_same(*token, web_session_csrf(
                                                        caller.token, caller.user.password_hash))))
            return reply_error(response, 403, "csrf");
        if (route.access == WEB_ADMIN && !caller.user.admin)
            return reply_error(response, 403, "admin");
        // Idle expiry: each use moves the end of the session forward (at most
        // once a minute, to keep the cookie traffic down).
        int64_t now_s = service->now_ms() / 1000;
        int64_t idle = service->config.web_session_idle_seconds;
        if (caller.token.expires_s - now_s < idle - 60 && route.handler != handle_signout) {
            caller.token.expires_s = now_s + idle;
            set_session_cookie(service, caller, now_s, response);
        }
    }
    route.handler(service, request, caller, response);
}

static void web_handle(const HttpRequest& request, HttpResponse* response, void* context)
{
    Service* service = static_cast<Service*>(context);
    const std::string& base = service->config.base_path;
    add_security_headers(response);
    if (request.path + "/" == base) {
        response->status = 301;
        response->headers.emplace_back("Location", base);
        return;
    }
    std::string name = request.path.substr(base.size());
    if (request.method == "GET" || request.method == "HEAD") {
        if ((name.empty() && serve_asset("index.html", response)) ||
            (name.rfind("static/", 0) == 0 && serve_asset(name.substr(7), response)))
            return;
    }
    bool known = false;
    for (const WebRoute& route : web_routes) {
        if (name != route.name)
            continue;
        known = true;
        if (request.method == route.method)
            return serve_api(service, request, route, response);
    }
    response->status = known ? 405 : 404;
    response->body = known ? "Method not allowed\n" : "Not found\n";
}

void web_register_routes(Service* service, Server* server)
{
    // Idempotent; the page's tokens and password checks need it.
    if (!auth_init())
        return;
    const std::string& base = service->config.base_path;
    server_add_route(server, "*", base.c_str(), web_handle, service);
    if (base.size() > 1)
        server_add_route(server, "*", base.substr(0, base.size() - 1).c_str(), web_handle, service);
}
