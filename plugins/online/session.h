// The online plug-in's session with the web service: one per loaded library,
// shared by the entry points, the exchanges and the dialogs.
#pragma once

#include <cstdint>

#include "pluginhost/vorn_plugin.h"

enum : int {
    SESSION_NAME_SIZE = 255,  // display_name, terminator included
    SESSION_DATE_SIZE = 9,    // date_stamp: "YYYYMMDD" and the terminator
};

struct OnlineSession {
    HostCallback host_callback = nullptr;  // from _vorn_init
    int32_t uid = -1;                      // logged on when 1 or more
    char display_name[SESSION_NAME_SIZE] = "";
    char date_stamp[SESSION_DATE_SIZE] = "";  // refreshed before each dated request
    // new[] copies of the remembered login and unscrambled password for the
    // logon dialog; nullptr when empty; delete[]d when the dialog closes.
    char* prefill_login = nullptr;
    char* prefill_password = nullptr;
    // new[] text: the service's task list going into the chooser, the chosen
    // name coming out; nullptr for none.
    char* chooser_list = nullptr;
    void* module_instance = nullptr;  // the library's HINSTANCE
};

extern OnlineSession g_session;
