#include "io/preferences_file.h"

#include <cerrno>
#include <filesystem>

#include "core/alert.h"
#include "core/log.h"
#include "core/options.h"
#include "core/preferences.h"
#include "core/user_text.h"
#include "io/file_ops.h"
#include "io/mapped_file.h"
#include "platform/child_process.h"

namespace {

const char k_file_name[] = "Zephiro Installer.prf";
const int k_version = 10;

void read_preferences() {
  MappedFile file(preferences_file_path());
  const int accepted[] = {k_version, 0};
  if (file.has_view() && check_file(file, kind_text, accepted, nullptr, nullptr) != 0)
    apply_preference_lines(file.pos, file.end());
  else
    apply_preference_lines(nullptr, nullptr);
}

void write_preferences() {
  if (has_option("--fps_test") || has_option("--qa_script")) return;
  std::string path = preferences_file_path();
  // A preferences file that is a link to another place is updated there.
  std::error_code ec;
  if (is_symbolic_link(path)) {
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
    if (!ec) path = target.string();
  }
  // Written beside the old file and renamed over it, so a write that fails (a full disk)
  // or a kill half-way leaves the old preferences whole instead of a cut-off file.
  const std::string temp = path + "." + std::to_string(current_process_id()) + ".tmp";
  if (!ouf_open(temp, kind_text, k_version, "no-copyright-string")) return;
  std::ofstream& out = ouf_stream();
  errno = 0;
  out << preference_lines();
  out.close();
  int code = out.fail() ? (errno != 0 ? errno : EIO) : 0;
  if (code == 0) {
    std::filesystem::rename(temp, path, ec);
    code = ec.value();
  }
  if (code == 0) return;
  std::filesystem::remove(temp, ec);
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
