#include "ui/file_dialog.h"

#include "core/log.h"
#include "platform/child_process.h"

namespace {

FileDialogState g_state;

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

}  // namespace

FileDialogState& file_dialog_state() { return g_state; }

void reset_file_dialog() { g_state = FileDialogState(); }

std::vector<std::string> file_dialog_arguments(const std::string& program, int kind, const std::string& prompt,
                                               const std::string& start, const std::string& path) {
  std::vector<std::string> a;
  if (program == "zenity") {
    a = {"--file-selection", "--title=" + prompt};
    if (kind == dialog_pick_folder) a.push_back("--directory");
    if (kind == dialog_save_file) a.push_back("--save");
    if (kind != dialog_pick_folder) a.push_back("--file-filter=All Files | *");
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
      a.insert(a.end(), {"--getopenfilename", where, "*|All Files"});
    } else {
      const std::string name = save_name(start, path);
      a.insert(a.end(), {"--getsavefilename", name.empty() ? where : name, "*|All Files"});
    }
  }
  return a;
}

bool file_dialog(int kind, const std::string& prompt, const std::string& button_label, const std::string& start,
                 std::string& path) {
  if (g_state.scripted) {
    g_state.scripted = false;
    if (!g_state.scripted_confirm) {
      if (kind == dialog_open_file) path.clear();
      return false;
    }
    path = g_state.scripted_path;
    if (kind == dialog_pick_folder && (path.empty() || path.back() != '/')) path += '/';
    return true;
  }
  std::string program = "zenity";
  std::string exe = find_program(program, g_state.search_path);
  if (exe.empty()) {
    program = "kdialog";
    exe = find_program(program, g_state.search_path);
  }
  bool chosen = false;
  std::string result;
  if (exe.empty()) {
    LOG << "No file dialog is available: neither zenity nor kdialog was found.\n";
  } else {
    std::vector<std::string> argv = {exe};
    const std::vector<std::string> args = file_dialog_arguments(program, kind, prompt, start, path);
    argv.insert(argv.end(), args.begin(), args.end());
    int status = -1;
    const int r = run_and_capture(argv, result, status);
    if (r != 0) LOG << "Could not run " << exe << ": error " << r << ".\n";
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
    // A multi-line answer is not a single path: take the first line.
    const size_t nl = result.find('\n');
    if (nl != std::string::npos) result.resize(nl);
    chosen = r == 0 && status == 0 && !result.empty();
  }
  if (chosen) {
    path = kind == dialog_pick_folder ? with_slash(result) : result;
  } else if (kind == dialog_open_file) {
    path.clear();
  }
  return chosen;
}
