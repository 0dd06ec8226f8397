#include "io/preferences_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/alert.h"
#include "core/log.h"
#include "core/options.h"
#include "core/preferences.h"
#include "core/user_text.h"
#include "io/file_ops.h"
#include "io/mapped_file.h"
#include "platform/child_process.h"
#include "platform/fs.h"

namespace {

const char k_file_name[] = "Zephiro Installer.prf";
const int k_version = 10;

// The file the preferences are written to: a preferences file that is a link to another
// place is updated there.
std::string written_preferences_path() {
  std::string path = preferences_file_path();
  std::error_code ec;
  if (is_symbolic_link(path)) {
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
    if (!ec) path = target.string();
  }
  return path;
}

// The new preferences are written to "<file>.<process id>.tmp" first.
std::string temporary_path(const std::string& path, int process) {
  return path + "." + std::to_string(process) + ".tmp";
}

// A run killed while it wrote the preferences left its temporary file beside them; the
// process id in the name tells whether that run is still going.
void remove_stale_temporary_files() {
  const std::string path = written_preferences_path();
  const size_t cut = path.rfind('/');
  if (cut == std::string::npos) return;
  const std::string folder = path.substr(0, cut + 1), prefix = path.substr(cut + 1) + ".", suffix = ".tmp";
  std::vector<std::string> names;
  std::vector<int> is_folder;
  const int count = list_folder(folder, names, is_folder);
  for (int i = 0; i < count; ++i) {
    const std::string& name = names[i];
    if (is_folder[i] || name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    const std::string number = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) continue;
    const int process = std::atoi(number.c_str());
    if (process == current_process_id() || platform::process_alive(process)) continue;
    if (delete_file_or_empty_folder(folder + name) == 0)
      LOG << "Removed the preferences a killed run left unfinished: " << folder + name << "\n";
  }
}

void read_preferences() {
  remove_stale_temporary_files();
  MappedFile file(preferences_file_path());
  const int accepted[] = {k_version, 0};
  if (file.has_view() && check_file(file, kind_text, accepted, nullptr, nullptr) != 0)
    apply_preference_lines(file.pos, file.end());
  else
    apply_preference_lines(nullptr, nullptr);
}

void write_preferences() {
  if (has_option("--fps_test") || has_option("--qa_script")) return;
  const std::string path = written_preferences_path();
  // Written beside the old file and renamed over it, so a write that fails (a full disk)
  // or a kill half-way leaves the old preferences whole instead of a cut-off file.
  const std::string temp = temporary_path(path, current_process_id());
  if (!ouf_open(temp, kind_text, k_version, "no-copyright-string")) return;
  const std::string lines = preference_lines();
  errno = 0;
  std::fwrite(lines.data(), 1, lines.size(), ouf_stream());
  int code = ouf_close();
  // On the disk before the rename: after a power cut the name holds the old file or the
  // new one, never an empty one.
  if (code == 0) code = platform::sync_to_disk(temp);
  if (code == 0) code = platform::rename_path(temp, path);
  if (code == 0) {
    platform::sync_to_disk(path.substr(0, path.rfind('/') + 1));  // the rename itself
    return;
  }
  delete_file_or_empty_folder(temp);
  LOG << "Could not write the preferences file " << path << "\n";
  ALERT(alert_info, user_text("I could not save the file!"), path, error_message_for_code(code),
        user_text("The preferences saved before are kept."));
}

}  // namespace

void exchange_preferences(int mode) {
  if (mode == prefs_read)
    read_preferences();
  else if (mode == prefs_write)
    write_preferences();
}

std::string preferences_file_path() { return special_folder(folder_prefs) + k_file_name; }
