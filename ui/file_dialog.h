#pragma once
// The system's folder picker and open/save dialogs: zenity, else kdialog, run as a
// child process while the caller waits.

#include <string>
#include <vector>

enum FileDialogKind { dialog_open_file = 0, dialog_save_file = 1, dialog_pick_folder = 2 };

// Shows the dialog and returns true when the user confirmed. On confirmation `path`
// gets the choice (a folder ends with "/"). On cancel a folder pick leaves `path` as
// it was, an open dialog empties it and a save dialog leaves the prefilled path.
// `button_label` is accepted for all kinds; the system dialogs do not show it.
bool file_dialog(int kind, const std::string& prompt, const std::string& button_label,
                 const std::string& start_folder, std::string& path);

// The command line for one of the dialog programs ("zenity" or "kdialog"), without
// the program's own path.
std::vector<std::string> file_dialog_arguments(const std::string& program, int kind, const std::string& prompt,
                                               const std::string& start_folder, const std::string& path);

struct FileDialogState {
  std::string search_path;  // where the dialog programs are looked for; empty = PATH
  // An answer given in advance (the QA script's pick_folder / pick_cancel): the next
  // dialog takes it instead of showing anything, once.
  bool scripted = false;
  bool scripted_confirm = false;
  std::string scripted_path;
};
FileDialogState& file_dialog_state();
void reset_file_dialog();
