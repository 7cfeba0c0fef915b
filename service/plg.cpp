#include "service/plg.h"

#include <sodium.h>

#include <climits>
#include <cstring>

#include "service/auth.h"
#include "service/server.h"
#include "service/service.h"
#include "service/sheet.h"
#include "service/text.h"

// A session's last use is written at most this often (a read otherwise
// costs a write).
static const int64_t touch_interval_ms = 60 * 1000;
// The whole table of one synchronisation.
static const long long max_rows = 10000;
static const long long max_seconds = 1000000000LL;

static const char unknown_session[] = "Session inconnue ou expirée : reconnectez-vous";
static const char too_many_failures[] = "Trop d'échecs : réessayez dans une minute";
static const char database_failed[] = "Erreur de la base de données";

std::string plg_frame(const std::string& body)
{
    return "--Start--\r\n" + text_utf8_to_cp1252_lossy(body) + "\r\n--End--\r\n";
}

static void answer(HttpResponse* response, const std::string& body, int status = 200)
{
    response->status = status;
    response->content_type = "text/plain; charset=windows-1252";
    response->body = plg_frame(body);
}

// ---- Checks common to the three scripts ------------------------------------

static std::string basic_value(const std::string& login, const std::string& password)
{
    // The plug-in encodes the Windows-1252 bytes of its settings.
    std::string pair = text_utf8_to_cp1252_lossy(login + ":" + password);
    std::string encoded(sodium_base64_encoded_len(pair.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(encoded.data(), encoded.size(), reinterpret_cast<const unsigned char*>(pair.data()),
                      pair.size(), sodium_base64_VARIANT_ORIGINAL);
    encoded.resize(encoded.size() - 1);
    return "Basic " + encoded;
}

// True when the request may go on; otherwise *response holds the refusal.
// refused_head is the first field of a refusal ("0" for the logon).
static bool admit(Service* service, const HttpRequest& request, HttpResponse* response,
                  const char* refused_head)
{
    const ServiceConfig& config = service->config;
    if (!config.http_login.empty() || !config.http_password.empty()) {
        const std::string* given = http_header(request, "Authorization");
        if (!given || !auth_same(*given, basic_value(config.http_login, config.http_password))) {
            answer(response, std::string(refused_head) + ";Authentification requise", 401);
            response->headers.emplace_back("WWW-Authenticate", "Basic realm=\"Zentrik\"");
            return false;
        }
    }
    if (!limit_allowed(service->limiter, request.client_address, service->now_ms())) {
        answer(response, std::string(refused_head) + ";" + too_many_failures, 429);
        return false;
    }
    return true;
}

static bool parse_uid(const std::string* text, int32_t* uid)
{
    long long value;
    if (!text || !text_parse_int(*text, 1, INT32_MAX, &value))
        return false;
    *uid = static_cast<int32_t>(value);
    return true;
}

// A task name as the plug-in sends it: percent-encoded Windows-1252, given
// back in UTF-8. False when it does not decode or is no usable name.
static bool parse_name(const std::string& raw, std::string* name)
{
    std::string bytes;
    return text_percent_decode(raw, &bytes) && text_cp1252_to_utf8(bytes, name) &&
           text_task_name_ok(*name);
}

// "YYYYMMDD" with a possible month and day.
static bool date_ok(const std::string* date)
{
    long long value;
    if (!date || date->size() != 8 || !text_parse_int(*date, 0, 99991231, &value))
        return false;
    int month = static_cast<int>(value / 100 % 100), day = static_cast<int>(value % 100);
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// The user behind a session, inside a transaction. STORE_NOT_FOUND when
// the uid is unknown or has been idle too long. With touch, the session's
// last use is brought up to date.
static StoreResult find_caller(StoreTx* tx, Service* service, int32_t uid, int64_t now_ms,
                               bool touch, StoreUser* user, int64_t* last_seen_out = nullptr)
{
    int64_t user_id, last_seen_ms;
    StoreResult result = store_session_get(tx, uid, &user_id, &last_seen_ms);
    if (result != STORE_OK)
        return result;
    if (last_seen_out)
        *last_seen_out = last_seen_ms;
    if (now_ms - last_seen_ms > service->config.session_idle_seconds * 1000)
        return STORE_NOT_FOUND;
    if (touch && now_ms - last_seen_ms >= touch_interval_ms) {
        result = store_session_touch(tx, uid, now_ms);
        if (result != STORE_OK)
            return result;
    }
    return store_user_by_id(tx, user_id, user);
}

// ---- Logon -----------------------------------------------------------------

// The forms a logon field may have come in: our plug-in percent-encodes the
// login and password, while older plug-ins send them as typed (so "%41" or
// "+" may be literal). Both are tried, encoded first; each in Windows-1252,
// given back in UTF-8.
static std::vector<std::string> logon_candidates(const std::string& raw)
{
    std::vector<std::string> candidates;
    std::string decoded, wide;
    if (raw.find_first_of("%+") != std::string::npos && text_percent_decode(raw, &decoded) &&
        text_cp1252_to_utf8(decoded, &wide))
        candidates.push_back(wide);
    if (text_cp1252_to_utf8(raw, &wide) && (candidates.empty() || candidates[0] != wide))
        candidates.push_back(wide);
    return candidates;
}

// True when some form of the login names a user whose password is some form
// of the password; *user is then that user.
static bool check_logon(Service* service, const std::string& login_raw,
                        const std::string& password_raw, StoreUser* user)
{
    std::vector<std::string> passwords = logon_candidates(password_raw);
    for (const std::string& login : logon_candidates(login_raw)) {
        StoreResult found = store_read_with(service->store, [&](StoreTx* tx) {
            return store_user_by_login(tx, login, user);
        });
        if (found != STORE_OK)
            continue;
        for (const std::string& password : passwords)
            if (auth_check_password(user->password_hash, password))
                return true;
        return false;
    }
    return false;
}

static void handle_connect(const HttpRequest& request, HttpResponse* response, void* context)
{
    Service* service = static_cast<Service*>(context);
    if (!admit(service, request, response, "0"))
        return;
    if (request.method != "POST") {
        answer(response, "0;Requête invalide", 405);
        return;
    }
    TextFields fields = text_split_form(request.body);
    const std::string* login_raw = text_field(fields, "l");
    const std::string* password_raw = text_field(fields, "p");
    if (!login_raw || !password_raw || login_raw->empty()) {
        answer(response, "0;Identifiant ou mot de passe manquant");
        return;
    }
    StoreUser user;
    bool known = check_logon(service, *login_raw, *password_raw, &user);
    int64_t now_ms = service->now_ms();
    if (!known) {
        limit_failure(service->limiter, request.client_address, now_ms);
        answer(response, "0;Identifiant ou mot de passe incorrect");
        return;
    }
    int32_t uid = 0;
    StoreResult result = store_write_with(service->store, [&](StoreTx* tx) {
        StoreResult r = store_session_purge(tx, now_ms - service->config.session_idle_seconds * 1000);
        for (int attempt = 0; r == STORE_OK && attempt < 8; attempt++) {
            uid = auth_random_uid();
            r = store_session_insert(tx, uid, user.id, now_ms);
            if (r != STORE_EXISTS)
                return r;
            r = STORE_OK;
        }
        return r == STORE_OK ? STORE_ERROR : r;
    });
    if (result != STORE_OK) {
        answer(response, std::string("0;") + database_failed, 500);
        return;
    }
    // ';' separates the reply's fields.
    std::string display = user.display_name.empty() ? user.login : user.display_name;
    for (char& c : display)
        if (c == ';')
            c = ',';
    answer(response, std::to_string(uid) + ";" + display + ";" + service->config.welcome);
}

// ---- Task list ---------------------------------------------------------------

static void refuse_session(Service* service, const HttpRequest& request, HttpResponse* response)
{
    limit_failure(service->limiter, request.client_address, service->now_ms());
    answer(response, std::string("False;") + unknown_session);
}

static void handle_get_tasks(const HttpRequest& request, HttpResponse* response, void* context)
{
    Service* service = static_cast<Service*>(context);
    if (!admit(service, request, response, "False"))
        return;
    TextFields fields = text_split_form(request.query);
    int32_t uid;
    if (!parse_uid(text_field(fields, "uid"), &uid)) {
        answer(response, "False;Paramètre uid manquant ou invalide");
        return;
    }
    bool with_date = text_field(fields, "date") != nullptr;
    int64_t now_ms = service->now_ms();
    StoreUser user;
    std::string body;
    int64_t last_seen_ms = now_ms;
    StoreResult result = store_read_with(service->store, [&](StoreTx* tx) {
        body.clear();
        StoreResult r = find_caller(tx, service, uid, now_ms, false, &user, &last_seen_ms);
        if (r != STORE_OK)
            return r;
        if (with_date) {
            std::vector<StoreTask> tasks;
            r = store_task_list(tx, user.id, &tasks);
            for (const StoreTask& task : tasks) {
                body += body.empty() ? "" : "\r\n";
                body += task.name + ";" + std::to_string(task.seconds) + ";" + (task.running ? "1" : "0");
            }
            return r;
        }
        std::vector<std::string> names;
        r = store_catalogue_list(tx, user.id, &names);
        for (const std::string& name : names)
            body += (body.empty() ? "" : "\r\n") + name;
        return r;
    });
    if (result == STORE_NOT_FOUND) {
        refuse_session(service, request, response);
        return;
    }
    if (result != STORE_OK) {
        answer(response, std::string("False;") + database_failed, 500);
        return;
    }
    // Keep the idle expiry counting from the last use.
    if (now_ms - last_seen_ms >= touch_interval_ms)
        store_write_with(service->store, [&](StoreTx* tx) { return store_session_touch(tx, uid, now_ms); });
    answer(response, body);
}

// ---- Task management -----------------------------------------------------

struct ManageRequest {
    int32_t uid = 0;
    int fct = 0;
    std::string name;
    int64_t seconds = 0;
    std::string date;
    std::vector<SheetRow> rows;
};

// Reads and checks every field; returns "" or the reason of the refusal.
static std::string parse_manage(const TextFields& fields, ManageRequest* out)
{
    long long value;
    if (!parse_uid(text_field(fields, "uid"), &out->uid))
        return "Paramètre uid manquant ou invalide";
    const std::string* fct = text_field(fields, "fct");
    if (!fct || !text_parse_int(*fct, 0, 6, &value) || value == 2)
        return "Paramètre fct manquant ou invalide";
    out->fct = static_cast<int>(value);
    const std::string* date = text_field(fields, "date");
    if (!date_ok(date))
        return "Paramètre date manquant ou invalide";
    out->date = *date;

    if (out->fct <= 4) {
        const std::string* task = text_field(fields, "task");
        if (!task || !parse_name(*task, &out->name))
            return "Nom de tâche manquant ou invalide";
        const std::string* time = text_field(fields, "time");
        if (!time || !text_parse_int(*time, 0, max_seconds, &value))
            return "Paramètre time manquant ou invalide";
        out->seconds = value;
        return "";
    }

    const std::string* count = text_field(fields, "count");
    long long rows;
    if (!count || !text_parse_int(*count, 0, max_rows, &rows))
        return "Paramètre count manquant ou invalide";
    // Numbered fields past count, or with no number at all, mean the table
    // and its count disagree.
    for (const auto& field : fields) {
        for (const char* prefix : {"task", "time", "status"}) {
            size_t length = strlen(prefix);
            if (field.first.compare(0, length, prefix) != 0 || field.first.size() == length)
                continue;
            std::string number = field.first.substr(length);
            if (number[0] == '0' || !text_parse_int(number, 1, rows, &value))
                return "Le nombre de tâches ne correspond pas à count";
        }
    }
    for (long long n = 1; n <= rows; n++) {
        std::string suffix = std::to_string(n);
        const std::string* task = text_field(fields, ("task" + suffix).c_str());
        const std::string* time = text_field(fields, ("time" + suffix).c_str());
        const std::string* status = text_field(fields, ("status" + suffix).c_str());
        // The plug-in keeps the number of an entry it could not send.
        if (!task && !time && !status)
            continue;
        SheetRow row;
        long long seconds, running;
        if (!task || !parse_name(*task, &row.name))
            return "Nom de tâche manquant ou invalide (" + suffix + ")";
        if (!time || !text_parse_int(*time, 0, max_seconds, &seconds))
            return "Temps manquant ou invalide (" + suffix + ")";
        if (!status || !text_parse_int(*status, 0, 1, &running))
            return "Statut manquant ou invalide (" + suffix + ")";
        row.seconds = seconds;
        row.running = running == 1;
        out->rows.push_back(std::move(row));
    }
    return "";
}

static void handle_manage(const HttpRequest& request, HttpResponse* response, void* context)
{
    Service* service = static_cast<Service*>(context);
    if (!admit(service, request, response, "False"))
        return;
    ManageRequest manage;
    std::string invalid =
        parse_manage(text_split_form(request.method == "POST" ? request.body : request.query), &manage);
    if (!invalid.empty()) {
        answer(response, "False;" + invalid);
        return;
    }
    int64_t now_ms = service->now_ms();
    bool session_unknown = false;
    std::string reason, message;
    StoreResult result = store_write_with(service->store, [&](StoreTx* tx) {
        session_unknown = false;
        reason.clear();
        message.clear();
        StoreUser user;
        StoreResult r = find_caller(tx, service, manage.uid, now_ms, true, &user);
        if (r == STORE_NOT_FOUND)
            session_unknown = true;
        if (r != STORE_OK)
            return r;
        SheetEvent event{&user, now_ms, service_user_offset(user, now_ms), manage.date};
        switch (manage.fct) {
        case 0: r = sheet_start(tx, event, manage.name, manage.seconds, &reason); break;
        case 1: r = sheet_stop(tx, event, manage.name, manage.seconds, &reason); break;
        case 3: r = sheet_add(tx, event, manage.name, &reason); break;
        case 4: r = sheet_remove(tx, event, manage.name, manage.seconds, &reason); break;
        default:
            r = sheet_sync(tx, event, manage.fct == 5 ? JOURNAL_AUTOSAVE : JOURNAL_REPORT,
                           manage.rows, &reason);
            // An administrator's message goes out once, with this reply.
            if (r == STORE_OK && !user.message.empty()) {
                message = user.message;
                user.message.clear();
                r = store_user_update(tx, user);
            }
        }
        return r;
    });
    if (session_unknown)
        refuse_session(service, request, response);
    else if (result == STORE_OK)
        answer(response, message.empty() ? "True;ok" : "True;ok;" + message);
    else if (result == STORE_REFUSED)
        answer(response, "False;" + reason);
    else if (result == STORE_EXISTS)
        answer(response, "False;Une autre tâche est déjà en cours");
    else
        answer(response, std::string("False;") + database_failed, 500);
}

static void handle_fixed(const HttpRequest&, HttpResponse* response, void*)
{
    answer(response, "True;ok");
}

void plg_register_routes(Service* service, Server* server)
{
    const ServiceConfig& config = service->config;
    server_add_route(server, "*", (config.tools_path + config.script_connect).c_str(),
                     handle_connect, service);
    server_add_route(server, "*", (config.tools_path + config.script_get_tasks).c_str(),
                     handle_get_tasks, service);
    server_add_route(server, "*", (config.tools_path + config.script_manage).c_str(),
                     handle_manage, service);
    if (config.fixed_route)
        server_add_route(server, "*", (config.tools_path + "plg_fixed.asp").c_str(), handle_fixed,
                         service);
}
