#include "app/startup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/alert_panel.h"
#include "core/alert.h"
#include "core/app_state.h"
#include "app/command_line_mode.h"
#include "core/crash_log.h"
#include "core/log.h"
#include "app/main_loop.h"
#include "core/options.h"
#include "core/preferences.h"
#include "io/preferences_file.h"
#include "io/run_folder.h"
#include "app/qa_script.h"
#include "engine/registry.h"
#include "engine/dvd_discovery.h"
#include "io/file_ops.h"
#include "io/threads.h"
#include "platform/child_process.h"
#include "platform/host.h"
#include "platform/termination.h"
#include "platform/window_sdl.h"
#include "ui/window.h"
#include "wizards/dvd_install.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/file_dialog.h"
#include "ui/localization.h"
#include "ui/page_framework.h"
#include "ui/sprites.h"
#include "ui/text_render.h"
#include "ui/texture_slots.h"
#include "ui/texture_workers.h"
#include "ui/ui_context.h"

namespace {

const char k_log_name[] = "Zephiro Installer Log.txt";

struct StartupState {
  int status_messages = 0;
};

StartupState& state() {
  static StartupState s;
  return s;
}

// Options that make the run a tool for a script or a terminal: such a run reports
// through its exit code and its output, so it never hands over to a copy of itself.
bool runs_without_window(int argc, char** argv) {
  const char* const kOptions[] = {"--install", "--modify", "--repair", "--verify",
                                  "--version", "--help",   "-h",       "--cmnds"};
  for (const char* option : kOptions)
    if (early_option(argc, argv, option, nullptr)) return true;
  // A mistyped option is refused by this run, where the user sees it.
  for (int i = 1; i < argc; ++i) {
    const std::string name = std::string(argv[i]).substr(0, std::string(argv[i]).find('='));
    if (!name.empty() && !is_known_option(name)) return true;
  }
  return false;
}

// The alerts that end the start-up before the translation is loaded speak the language the
// user asked for, when one was.
void load_asked_language() {
  if (language_available(app().language) && !translation_loaded()) set_language(app().language);
}

// Without a window the run could not do what it was started for: it says how to work
// without one, and ends as a run that could not start.
[[noreturn]] void graphics_failed() {
  load_asked_language();
  alert(app().ui_mode,
        localize("I could not set up the graphics for Zephiro! I hope your monitor is at 1024x768 or higher! It must "
                 "be!"),
        localize("You do not meet the system requirements or you do not have OpenGL drivers or you entered a bad "
                 "resolution in Zephiro!"),
        localize("You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D accelerator "
                 "card!"),
        localize("If you reset the resolution, you can try launching Zephiro again, since I am resetting Zephiro to "
                 "default resolution now."),
        alert_info, "hl_init", 805);
  const std::string hint = "The installer's window could not be opened. Without a window it works from the command "
                           "line: " + program_name() + " --install=DIR (or --modify, --repair, --verify or "
                           "--uninstall with the folder of a copy); \"" + program_name() +
                           " --help\" lists the options.";
  std::fprintf(stderr, "%s\n", hint.c_str());
  LOG << hint << "\n";
  shut_down(false);
  std::exit(cli_not_started);
}

[[noreturn]] void interface_image_failed() {
  load_asked_language();
  alert(app().ui_mode, localize("I cannot open the graphics interface file!"),
        localize("It seems that you have moved this program out of the Nimbrel folder!"),
        localize("NO! NO! Create a shortcut if you want, but do not move the Zephiro application itself out of the "
                 "Nimbrel folder that it came in!"),
        "", alert_quit, "hl_init", 868);
  shut_down(false);
  std::exit(0);
}

// Only a window on the user's desktop will do: without one, an off-screen stand-in would
// leave the program running where nobody can see it, so the graphics alert is the answer.
// A driver the user names is taken as asked.
void choose_desktop_video() {
  if (!get_environment("SDL_VIDEODRIVER").empty()) return;
  set_environment("SDL_VIDEODRIVER", platform::desktop_video_drivers());
}

}  // namespace

// ---------------------------------------------------------------- early options, relocation

bool early_option(int argc, char** argv, const std::string& name, std::string* value) {
  bool found = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, name.c_str(), name.size()) != 0) continue;
    const char next = arg[name.size()];
    if (next != '\0' && next != '=') continue;
    found = true;
    if (value) *value = next == '=' ? std::string(arg + name.size() + 1) : std::string();
  }
  return found;
}

bool runs_from_disc(const std::string& program_path, const std::string& dvd_root) {
  if (dvd_root.empty() || program_path.empty()) return false;
  // The whole root, up to a folder boundary: /media/cd is not inside /media/cdrom/.
  std::string root = dvd_root;
  if (root.back() != '/' && root.back() != '\\') root += '/';
  return program_path.size() > root.size() && program_path.compare(0, root.size(), root) == 0;
}

std::string program_file_name(const std::string& program_path) {
  std::string path = program_path;
  if (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string command_line_text(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (!text.empty()) text += " ";
    text += quote_parameter(argv[i]);
  }
  return text;
}

void relocate_off_disc(int argc, char** argv) {
  std::string root = dvd_root();
  if (root.empty()) return;
  // A drive named by a relative folder still has to be compared as a full path.
  make_absolute(root);
  const std::string program = special_folder(folder_program_file);
  if (!runs_from_disc(program, root)) return;
  const std::string copy = special_folder(folder_temp) + program_file_name(program);
  // A failed copy must not start an older program left there by an earlier run.
  if (copy_tree(program, copy) != 0) return;
  // Ends this process with exit code 1 when the copy started; otherwise run on from the disc.
  open_and_quit(copy, command_line_text(argc, argv), false);
}

// ---------------------------------------------------------------- start-up

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

void start_log_and_options(int argc, char** argv) {
  // The log exists before the command line is read, so even --version leaves one.
  set_program_folder(special_folder(folder_program));
  log_open(special_folder(folder_desktop) + k_log_name);
  log_write_header(program_folder());
  parse_command_line(argc, argv);
  if (has_option("--dvd_drives")) set_dvd_drives(option_value("--dvd_drives"));
  threads_init();
  app().orderly_shutdown = [] { shut_down(true); };
  set_alert_shutdown([] { shut_down(false); });
}

void finish_start_up() {
  log_folder_lines();
  // Scratch files go to a folder of this run's own; what killed runs left there goes first.
  const std::string temp = special_folder(folder_temp);
  remove_stale_run_folders(temp);
  app().temp_folder = open_run_folder(temp);
  if (app().temp_folder.empty()) app().temp_folder = temp;
  app().target_platform = target_platform_from_options();
  prefs().stream_count = 0;
  exchange_preferences(prefs_read);
  read_installed_copies();
}

void start_up(int argc, char** argv) {
  start_log_and_options(argc, argv);
  finish_start_up();
}

void start_graphics() {
  app().language = choose_initial_language();
  choose_desktop_video();
  if (open_window(window_settings_from_options()) != window_ok) graphics_failed();
  install_alert_panel();
  window_clear(0, 0, 0);
  const int workers = workers_init(swarm_graphics_possible());
  swarm_start(workers, true);
  reset_colour_table();  // the start-up colours, until the interface image gives its own
  if (load_artwork(app().language) != texture_ok) interface_image_failed();
  // The language the user's system asked for may not be on offer: ask in the window.
  confirm_language();
  show_startup_status("Will init plugins.");
  set_language(app().language);
  show_startup_status("Starting application.");
  load_button_atlas(app().language);
  install_window_prompts();
  set_first_page(welcome_page);
}

// ---------------------------------------------------------------- Start-up Status

float startup_status_fraction() {
  const float f = state().status_messages / 100.0f;
  return std::max(0.02f, std::min(1.0f, f));
}

void reset_startup_status() { state() = StartupState(); }

void show_startup_status(const std::string& message) {
  ++state().status_messages;
  if (!window_exists() || !texture_slot(slot_interface)) return;
  fill_window(colour_modal_fill);
  draw_full_window_frame(false);
  draw_text(colour_label, 400, 320, localize(message), 720, weight_regular, align_centre);
  draw_progress_bar(400, 290, 400, startup_status_fraction());
  window_swap();
  window_clear(0, 0, 0);
}

// ---------------------------------------------------------------- shutdown and the whole run

void shut_down(bool save_preferences) {
  close_file_dialog();
  if (save_preferences && !has_option("--fps_test") && !has_option("--qa_script"))
    exchange_preferences(prefs_write);
  if (save_preferences && threads_state().initialised) threads_shutdown();
  // The window goes only once no worker can hold a context shared with it; a fatal end
  // leaves it to the process's end.
  if (window_exists() && !threads_state().initialised) {
    qa_script_release_notes();
    close_window();
  }
  remove_run_folder();
  log_flush();
  log_close();
}

int run_installer(int argc, char** argv) {
  install_crash_handler();
  // A run for a script reports every fatal alert through its exit code, from the first one
  // on (the DVD scan below may raise one).
  if (asks_for_command_line_mode(argc, argv)) prepare_command_line_mode();
  // The drives are needed before the command line is read: the program may have to
  // leave the disc first.
  std::string drives;
  if (early_option(argc, argv, "--dvd_drives", &drives)) set_dvd_drives(drives);
  dvd_scan(false);
  if (!runs_without_window(argc, argv)) relocate_off_disc(argc, argv);

  start_log_and_options(argc, argv);
  if (is_command_line_mode()) {
    finish_start_up();
    int code = run_command_line_mode();
    shut_down(true);
    return code;
  }
  // From here on a request to end is answered like a closed window (the command-line
  // mode has its own answer: it stops its work in order).
  platform::catch_termination_requests();
  start_graphics();
  finish_start_up();
  if (has_option("--qa_script")) qa_script_load_file(option_value("--qa_script"));
  run_main_loop();
  shut_down(true);
  return 0;
}
