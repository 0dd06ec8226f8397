#include "platform/system_dialog.h"

#include <windows.h>
#include <shobjidl.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <thread>

#include "platform/windows_text.h"

namespace platform {

namespace {

// The one dialog: its thread fills in the answer, the caller's poll takes it.
struct DialogState {
  std::mutex mutex;
  bool up = false;
  bool answered = false;
  bool confirmed = false;
  std::string answer;
};
DialogState& dialog() {
  static DialogState s;
  return s;
}

void finish(bool confirmed, const std::string& text) {
  std::lock_guard<std::mutex> guard(dialog().mutex);
  dialog().answered = true;
  dialog().confirmed = confirmed;
  dialog().answer = text;
}

// The shell's dialog, shown and answered on this thread (COM wants its own apartment here).
void run_dialog(int kind, std::wstring title, std::wstring start, std::wstring name) {
  bool confirmed = false;
  std::string choice;
  if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
    IFileDialog* d = nullptr;
    const CLSID& type = kind == system_dialog_save_file ? CLSID_FileSaveDialog : CLSID_FileOpenDialog;
    if (SUCCEEDED(CoCreateInstance(type, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&d)))) {
      FILEOPENDIALOGOPTIONS options = 0;
      d->GetOptions(&options);
      options |= FOS_FORCEFILESYSTEM;
      if (kind == system_dialog_pick_folder) options |= FOS_PICKFOLDERS;
      d->SetOptions(options);
      d->SetTitle(title.c_str());
      IShellItem* folder = nullptr;
      if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(start.c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
        d->SetFolder(folder);
        folder->Release();
      }
      if (!name.empty()) d->SetFileName(name.c_str());
      IShellItem* result = nullptr;
      if (SUCCEEDED(d->Show(nullptr)) && SUCCEEDED(d->GetResult(&result))) {
        PWSTR path = nullptr;
        if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path) {
          choice = utf8_text(path);
          std::replace(choice.begin(), choice.end(), '\\', '/');
          confirmed = !choice.empty();
          CoTaskMemFree(path);
        }
        result->Release();
      }
      d->Release();
    }
    CoUninitialize();
  }
  finish(confirmed, choice);
}

}  // namespace

bool system_dialogs_available() { return true; }

int system_dialog_show(int kind, const std::string& title, const std::string& start_folder, const std::string& path) {
  {
    std::lock_guard<std::mutex> guard(dialog().mutex);
    if (dialog().up) return EBUSY;
    dialog().up = true;
    dialog().answered = false;
  }
  // A save dialog gets the file's name; the shell takes the folder apart.
  std::string name = path.substr(path.find_last_of("/\\") == std::string::npos ? 0 : path.find_last_of("/\\") + 1);
  std::string folder = start_folder;
  if (kind == system_dialog_save_file && path.find_first_of("/\\") != std::string::npos)
    folder = path.substr(0, path.find_last_of("/\\"));
  try {
    std::thread(run_dialog, kind, wide_text(title), wide_path(folder),
                kind == system_dialog_save_file ? wide_text(name) : std::wstring())
        .detach();
  } catch (...) {
    std::lock_guard<std::mutex> guard(dialog().mutex);
    dialog().up = false;
    return EAGAIN;
  }
  return 0;
}

int system_dialog_poll(std::string& path) {
  std::lock_guard<std::mutex> guard(dialog().mutex);
  if (!dialog().up) return 0;
  if (!dialog().answered) return -1;
  dialog().up = false;
  if (dialog().confirmed) path = dialog().answer;
  return dialog().confirmed ? 1 : 0;
}

bool system_dialog_up() {
  std::lock_guard<std::mutex> guard(dialog().mutex);
  return dialog().up && !dialog().answered;
}

}  // namespace platform
