// The service's web page under the base path (/KOVReport/ by default): the
// page itself and its static files, compiled into the program, and the JSON
// requests its script makes.
//
//   GET  api/me              who is signed in, with the anti-forgery token
//   POST api/signin          l, p: the plug-in's login and password
//   POST api/signout
//   GET  api/overview        tasks, running task, today's journal
//   GET  api/chart?weeks=N   seconds per task per local day, last N weeks
//   GET  timesheet.csv?weeks=N
//   administrators only:
//   GET  api/users           users with their catalogues and messages
//   POST api/users/add       login, display, password, admin
//   POST api/users/update    login, display, admin, restricted
//   POST api/users/password  login, password
//   POST api/catalogue/add   login, task
//   POST api/catalogue/remove login, task
//   POST api/messages        login, text ("" withdraws the message)
//
// Every POST must come from the page itself (Origin) and carry the
// session's anti-forgery token in the X-Zentrik-CSRF header (sign-in
// excepted, which has no session yet). Failures answer {"error": "code"}.
#pragma once

struct Server;
struct Service;

// Registers the page's routes on server under service->config.base_path,
// with service as their context. Call before server_start().
void web_register_routes(Service* service, Server* server);
