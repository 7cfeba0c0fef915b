// The commands of the tray menu.
#pragma once

#include <cstdint>

// Carries out the command `id` (a menu id, 11002 + i for the task in slot i,
// 1003 + k for process k). `window` is the main window; `message`, `wparam`
// and `lparam` are passed on to the task manager. Any other id, 0 included,
// does nothing. Returns 0.
int DispatchCommand(unsigned id, void* window, unsigned message, uintptr_t wparam, intptr_t lparam);
