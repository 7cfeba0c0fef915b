// No plug-in can be loaded yet: no plug-in handles any event.
#include "pluginhost/notify.h"

int32_t notify_add_task() { return PLUGIN_NOT_AVAILABLE; }
int32_t notify_task_added(const char*, int32_t) { return PLUGIN_NOT_AVAILABLE; }
int32_t notify_remove_task(int32_t) { return PLUGIN_NOT_AVAILABLE; }
int32_t notify_task_removed(int32_t, int32_t) { return PLUGIN_NOT_AVAILABLE; }
int32_t notify_reset_task(int32_t) { return PLUGIN_NOT_AVAILABLE; }
int32_t notify_task_started(int32_t, int32_t) { return PLUGIN_NOT_AVAILABLE; }
int32_t notify_task_stopped(int32_t, int32_t) { return PLUGIN_NOT_AVAILABLE; }
int32_t notify_autosave() { return PLUGIN_NOT_AVAILABLE; }
int32_t notify_save_report() { return PLUGIN_NOT_AVAILABLE; }
void plugin_timer_tick() {}
void plugin_command(unsigned) {}
int32_t activate_plugin(const char*) { return -1; }
void unload_plugin() {}
void plugin_shutdown() {}
void update_plugin_menu(void*) {}
