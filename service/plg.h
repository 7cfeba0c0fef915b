// The three scripts the desktop plug-in calls, under the tools path
// (/KOVReport/PluginTools/ by default):
//   plg_connect.asp   POST l, p            -> "uid;display name;welcome" or "0;reason"
//   plg_getTasks.asp  GET uid&date         -> "name;seconds;flag" lines
//                     GET uid              -> the catalogue, one name a line
//   plg_mgrTasks.asp  GET uid&fct&task&time&date (fct 0 start, 1 stop, 3 add,
//                     4 remove), POST uid&fct&date&count&taskN&timeN&statusN
//                     (fct 5 autosave, 6 report)  -> "True;ok[;message]" or
//                     "False;reason"
// Every reply is framed "--Start--\r\n" body "\r\n--End--\r\n" in
// Windows-1252 (the plug-in drops the last byte it receives, here the final
// LF). The plug-in sends names in Windows-1252, percent-encoded; the logon's
// login and password come percent-encoded from our plug-in and as typed
// from older ones, and both forms are accepted.
#pragma once

#include <string>

struct Server;
struct Service;

// Registers the three scripts (and, when the configuration asks for it, the
// fixed-reply route used to measure the server without the database).
void plg_register_routes(Service* service, Server* server);

// The reply bytes for a body in UTF-8: converted to Windows-1252 and framed.
std::string plg_frame(const std::string& body);
