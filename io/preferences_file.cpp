#include "io/preferences_file.h"

#include "core/log.h"
#include "core/options.h"
#include "core/preferences.h"
#include "io/file_ops.h"
#include "io/mapped_file.h"

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
  if (!ouf_open(path, kind_text, k_version, "no-copyright-string")) return;
  std::ofstream& out = ouf_stream();
  out << preference_lines();
  out.close();
  // A half-written file (a full disk) is reported rather than thrown at the shutdown.
  if (out.fail()) LOG << "Could not write the preferences file " << path << "\n";
}

}  // namespace

void exchange_preferences(int mode) {
  if (mode == prefs_read)
    read_preferences();
  else if (mode == prefs_write)
    write_preferences();
}

std::string preferences_file_path() { return special_folder(folder_prefs) + k_file_name; }
