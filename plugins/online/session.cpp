#include "plugins/online/session.h"

OnlineSession g_session;
