#pragma once
// The system's folder picker and open/save dialogs: the system's own where it has them
// (Windows), else zenity or kdialog run as a child process beside the window. The window
// keeps drawing while a dialog is up; the caller polls for the answer each frame.

#include <string>
#include <vector>

// A disc image pick is an open dialog that shows the ".iso" files first.
enum FileDialogKind { dialog_open_file = 0, dialog_save_file = 1, dialog_pick_folder = 2, dialog_open_disc_image = 3 };

enum FileDialogStatus {
  dialog_idle = 0,       // the caller has no dialog
  dialog_waiting = 1,    // its dialog is up
  dialog_confirmed = 2,  // the user chose: the path holds the choice
  dialog_cancelled = 3,
};

// Shows the dialog without waiting for it; `owner` names the caller (any address it
// owns), who then polls. One dialog at a time: a second one is not opened while the
// first is up. With neither dialog program on the machine the user gets an information
// Alert that says so, and nothing opens. True when the dialog is up (or its scripted
// answer is ready).
bool open_file_dialog(int kind, const std::string& prompt, const std::string& button_label,
                      const std::string& start_folder, const std::string& path, const void* owner);
// For the owner: dialog_waiting while the dialog is up, then once the answer. On
// confirmation `path` gets the choice (a folder ends with "/"). On cancel a folder pick
// leaves `path` as it is, an open dialog empties it and a save dialog gets the prefilled
// path back. dialog_idle when the owner has no dialog. `button_label` is accepted for
// all kinds; the system dialogs do not show it.
int poll_file_dialog(const void* owner, std::string& path);
// Whether a dialog program is running now: the page under it takes no input meanwhile.
bool file_dialog_open();
// Ends an open dialog unanswered (the program is closing).
void close_file_dialog();

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
  // The kind of dialog the scripted answer is for (-1: any); another kind gets a cancel.
  int scripted_kind = -1;
};
FileDialogState& file_dialog_state();
// Ends an open dialog and forgets everything (tests).
void reset_file_dialog();
