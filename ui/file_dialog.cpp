#include "ui/file_dialog.h"

#include "core/alert.h"
#include "core/log.h"
#include "platform/child_process.h"
#include "platform/system_dialog.h"
#include "ui/localization.h"

namespace {

// The one dialog: up (a child runs), or answered and waiting for its owner's poll.
struct OpenDialog {
  const void* owner = nullptr;
  int kind = dialog_pick_folder;
  std::string prefilled;  // the path given when it opened
  CapturedChild child;
  bool system = false;  // the system's own dialog instead of a dialog program
  bool answered = false;
  bool confirmed = false;
  std::string answer;
};

FileDialogState g_state;
OpenDialog g_dialog;

std::string with_slash(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

// The prefilled name of a save dialog: the path, inside the start folder when it has
// no folder of its own.
std::string save_name(const std::string& start, const std::string& path) {
  if (path.find('/') != std::string::npos || start.empty()) return path;
  return with_slash(start) + path;
}

void answer(bool confirmed, const std::string& text) {
  g_dialog.answered = true;
  g_dialog.confirmed = confirmed;
  g_dialog.answer = text;
}

// The dialog's output is the chosen path on its first line.
void take_output(int exit_status) {
  std::string result = g_dialog.child.output;
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  const size_t nl = result.find('\n');
  if (nl != std::string::npos) result.resize(nl);
  answer(exit_status == 0 && !result.empty(), result);
}

}  // namespace

FileDialogState& file_dialog_state() { return g_state; }

void reset_file_dialog() {
  close_file_dialog();
  g_state = FileDialogState();
}

std::vector<std::string> file_dialog_arguments(const std::string& program, int kind, const std::string& prompt,
                                               const std::string& start, const std::string& path) {
  std::vector<std::string> a;
  const std::string all_files = localize("All Files");
  const std::string disc_images = localize("Disc Images");
  if (program == "zenity") {
    a = {"--file-selection", "--title=" + prompt};
    if (kind == dialog_pick_folder) a.push_back("--directory");
    if (kind == dialog_save_file) a.push_back("--save");
    if (kind == dialog_open_disc_image) a.push_back("--file-filter=" + disc_images + " | *.iso *.ISO");
    if (kind != dialog_pick_folder) a.push_back("--file-filter=" + all_files + " | *");
    if (kind == dialog_save_file) {
      if (!save_name(start, path).empty()) a.push_back("--filename=" + save_name(start, path));
    } else if (!start.empty()) {
      a.push_back("--filename=" + with_slash(start));
    }
  } else {
    a = {"--title", prompt};
    const std::string where = start.empty() ? "." : with_slash(start);
    if (kind == dialog_pick_folder) {
      a.insert(a.end(), {"--getexistingdirectory", where});
    } else if (kind == dialog_open_file) {
      a.insert(a.end(), {"--getopenfilename", where, "*|" + all_files});
    } else if (kind == dialog_open_disc_image) {
      a.insert(a.end(), {"--getopenfilename", where, "*.iso *.ISO|" + disc_images + "\n*|" + all_files});
    } else {
      const std::string name = save_name(start, path);
      a.insert(a.end(), {"--getsavefilename", name.empty() ? where : name, "*|" + all_files});
    }
  }
  return a;
}

bool open_file_dialog(int kind, const std::string& prompt, const std::string& button_label,
                      const std::string& start, const std::string& path, const void* owner) {
  if (file_dialog_open()) return false;
  g_dialog = OpenDialog();
  g_dialog.owner = owner;
  g_dialog.kind = kind;
  g_dialog.prefilled = path;
  if (g_state.scripted) {
    g_state.scripted = false;
    const bool fits = g_state.scripted_kind < 0 || g_state.scripted_kind == kind;
    if (!fits) LOG << "The scripted answer was for another kind of dialog than " << kind << ": cancelled.\n";
    answer(fits && g_state.scripted_confirm, g_state.scripted_path);
    return true;
  }
  if (platform::system_dialogs_available()) {
    g_dialog.system = true;
    const std::string filled = kind == dialog_save_file ? save_name(start, path) : std::string();
    const int r = platform::system_dialog_show(kind, prompt, start, filled);
    if (r != 0) {
      LOG << "Could not show the system's file dialog: error " << r << ".\n";
      answer(false, "");
    }
    return true;
  }
  std::string program = "zenity";
  std::string exe = find_program(program, g_state.search_path);
  if (exe.empty()) {
    program = "kdialog";
    exe = find_program(program, g_state.search_path);
  }
  if (exe.empty()) {
    g_dialog = OpenDialog();
    LOG << "No file dialog is available: neither zenity nor kdialog was found.\n";
    ALERT(alert_info, localize("I cannot show a folder or file picker on this computer."),
          localize("Neither zenity nor kdialog is installed."),
          localize("Please install one of them (the package zenity, for example) and try again."), "");
    return false;
  }
  std::vector<std::string> argv = {exe};
  const std::vector<std::string> args = file_dialog_arguments(program, kind, prompt, start, path);
  argv.insert(argv.end(), args.begin(), args.end());
  const int r = start_captured(argv, g_dialog.child);
  if (r != 0) {
    LOG << "Could not run " << exe << ": error " << r << ".\n";
    answer(false, "");
  }
  return true;
}

int poll_file_dialog(const void* owner, std::string& path) {
  if (!owner || g_dialog.owner != owner) return dialog_idle;
  if (!g_dialog.answered && g_dialog.system) {
    std::string choice;
    const int r = platform::system_dialog_poll(choice);
    if (r < 0) return dialog_waiting;
    answer(r == 1, choice);
  } else if (!g_dialog.answered) {
    int status = -1;
    if (!poll_captured(g_dialog.child, status)) return dialog_waiting;
    take_output(status);
  }
  const OpenDialog done = g_dialog;
  g_dialog = OpenDialog();
  if (done.confirmed) {
    path = done.kind == dialog_pick_folder ? with_slash(done.answer) : done.answer;
    return dialog_confirmed;
  }
  if (done.kind == dialog_open_file || done.kind == dialog_open_disc_image) path.clear();
  if (done.kind == dialog_save_file) path = done.prefilled;
  return dialog_cancelled;
}

bool file_dialog_open() { return g_dialog.child.pid > 0 || (g_dialog.system && platform::system_dialog_up()); }

void close_file_dialog() {
  stop_captured(g_dialog.child);
  g_dialog = OpenDialog();
}
