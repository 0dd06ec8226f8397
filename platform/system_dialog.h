#pragma once
// The system's own folder picker and open/save dialogs, where the system has them (Windows).
// A dialog runs on a thread of its own, so the window keeps drawing; the caller polls.

#include <string>

namespace platform {

enum { system_dialog_open_file = 0, system_dialog_save_file = 1, system_dialog_pick_folder = 2 };

// False where the system has none: the program runs a dialog program instead.
bool system_dialogs_available();
// Shows a dialog of `kind` starting in `start_folder`, a save dialog with `path` filled in.
// 0, or an errno value (EBUSY while another is up).
int system_dialog_show(int kind, const std::string& title, const std::string& start_folder, const std::string& path);
// -1 while the dialog is up; 1 when the user chose (`path` gets the choice, with '/'
// separators), 0 when it was cancelled or failed. Each answer is given once.
int system_dialog_poll(std::string& path);
bool system_dialog_up();

}  // namespace platform
