#include "app/startup.h"

#include "app/app_state.h"
#include "app/command_line_mode.h"
#include "app/log.h"
#include "app/options.h"
#include "app/preferences.h"
#include "engine/registry.h"
#include "io/dvd_discovery.h"
#include "io/file_ops.h"
#include "io/threads.h"

namespace {

const char k_log_name[] = "Zephiro Installer Log.txt";

}  // namespace

int target_platform_from_options() {
  int platform = host_platform();
  if (!has_option("--os")) return platform;
  const std::string value = option_value("--os");
  const char* names[] = {"ALL", "APL", "IBM", "LIN"};
  for (int i = 0; i < 4; ++i)
    if (value == names[i]) return i;
  return platform;
}

void log_folder_lines() {
  LOG << "os_dir_this_app\t\t=" << special_folder(folder_program) << "\n";
  LOG << "os_dir_desktop\t\t=" << special_folder(folder_desktop) << "\n";
  LOG << "os_dir_default_apps\t=" << special_folder(folder_default_apps) << "\n";
  LOG << "os_dir_temp\t\t\t=" << special_folder(folder_temp) << "\n";
  LOG << "os_dir_prefs\t\t\t=" << special_folder(folder_prefs) << "\n\n";
  log_flush();
}

void start_up(int argc, char** argv) {
  // The log exists before the command line is read, so even --version leaves one.
  set_program_folder(special_folder(folder_program));
  log_open(special_folder(folder_desktop) + k_log_name);
  log_write_header(program_folder());
  parse_command_line(argc, argv);
  if (has_option("--dvd_drives")) set_dvd_drives(option_value("--dvd_drives"));
  threads_init();
  app().orderly_shutdown = [] { shut_down(true); };

  log_folder_lines();
  app().temp_folder = special_folder(folder_temp);
  app().target_platform = target_platform_from_options();

  prefs().stream_count = 0;
  exchange_preferences(prefs_read);
  read_installed_copies();
}

void shut_down(bool save_preferences) {
  if (save_preferences && !has_option("--fps_test") && !has_option("--qa_script"))
    exchange_preferences(prefs_write);
  if (save_preferences && threads_state().initialised) threads_shutdown();
  log_flush();
  log_close();
}

int run_installer(int argc, char** argv) {
  start_up(argc, argv);
  if (is_command_line_mode()) {
    int code = run_command_line_mode();
    shut_down(true);
    return code;
  }
  // The window and its main loop come later; until then a run is start-up and shutdown.
  shut_down(true);
  return 0;
}
