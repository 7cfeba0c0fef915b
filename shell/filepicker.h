// The platform's open and save pickers, shared by the time report and the
// plug-in loader.
#pragma once

// Runs the save (`save`) or open picker, owned by the active window, with the
// double-NUL-terminated `filter` (its first pair selected), starting in
// `folder`, with the OFN_* `flags`. Returns the chosen path as a new[]
// string that the caller delete[]s, or nullptr when nothing was chosen; a
// relative name is made absolute from the folder the picker left current.
// The current directory is restored afterwards.
char* RunFilePicker(bool save, const char* filter, const char* folder, unsigned long flags);
