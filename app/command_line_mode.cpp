#include "app/command_line_mode.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "core/options.h"
#include "core/user_text.h"
#include "app/startup.h"
#include "engine/disk_space.h"
#include "engine/executor.h"
#include "engine/install_plan.h"
#include "engine/copy_removal.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "engine/menu_entry.h"
#include "engine/registry.h"
#include "engine/dvd_discovery.h"
#include "engine/work_record.h"
#include "io/disc_drive.h"
#include "io/file_ops.h"
#include "io/run_folder.h"
#include "io/threads.h"
#include "platform/fs.h"
#include "platform/host.h"
#include "platform/terminal.h"
#include "platform/termination.h"
#include "wizards/copy_selection.h"

namespace {

enum class Action { install, modify, repair, verify, uninstall };

struct CommandLineRun {
  Action action = Action::install;
  std::string folder;
  bool terminal_progress = false;
  int last_percent = -1;
  std::string last_caption;
  int failed_files = 0;
};

const char* const kActionOptions[] = {"--install", "--modify", "--repair", "--verify", "--uninstall"};
const int kActionCount = 5;

std::string replace_parameter(std::string text, int number, const std::string& value) {
  std::string key = "%" + std::to_string(number) + ":";
  size_t start = text.find(key);
  if (start == std::string::npos) return text;
  size_t end = text.find('%', start + key.size());
  if (end == std::string::npos) return text;
  return text.replace(start, end - start + 1, value);
}

// A terminal does not wrap the program's lines: sizes keep plain spaces there.
void say(const std::string& text) {
  const std::string line = with_plain_spaces(text);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  LOG << line << "\n";
}

int fail_to_start(const std::string& why) {
  say("ERROR: " + why);
  return cli_not_started;
}

// Progress on standard error: a redrawn bar on a terminal, a plain line otherwise.
void show_progress(CommandLineRun& run, float share, const std::string& caption) {
  int percent = static_cast<int>(share * 100.0f + 0.5f);
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  if (percent == run.last_percent && caption == run.last_caption) return;
  run.last_percent = percent;
  run.last_caption = caption;
  if (run.terminal_progress) {
    const int width = 30;
    int filled = percent * width / 100;
    std::string text = caption.size() > 60 ? "..." + caption.substr(caption.size() - 57) : caption;
    std::fprintf(stderr, "\r[%s%s] %3d%% %-60s", std::string(filled, '#').c_str(),
                 std::string(width - filled, ' ').c_str(), percent, text.c_str());
  } else {
    std::fprintf(stderr, "%3d%% %s\n", percent, caption.c_str());
  }
  std::fflush(stderr);
}

void end_progress(CommandLineRun& run) {
  if (run.terminal_progress && run.last_percent >= 0) std::fputc('\n', stderr);
  run.last_percent = -1;
  run.last_caption.clear();
}

// SIGINT or SIGTERM came: the work is to stop in order.
bool stop_requested() { return platform::termination_requested(); }

int stopped_by_signal(CommandLineRun& run) {
  end_progress(run);
  int signal_number = platform::termination_signal();
  say("Stopped by signal " + std::to_string(signal_number) + " before the work on " + run.folder +
      " was done: run the same command again to finish it.");
  return cli_signalled + signal_number;
}

// The answer to a changed file: --conflicts, else the user at the terminal, else keep it.
int answer_conflict(const std::string& location, bool delete_form) {
  if (stop_requested()) return 3;
  if (has_option("--conflicts")) {
    std::string v = option_value("--conflicts");
    return v == "overwrite" ? 1 : v == "cancel" ? 3 : 2;
  }
  if (!platform::stdin_is_terminal()) {
    say("Keeping the changed file " + location);
    return 2;
  }
  std::fprintf(stderr, "\n%s\n%s\n%s\n", delete_form ? "I am about to DELETE:" : "I am about to install:",
               location.c_str(),
               delete_form ? "because we no longer use this file, but it appears you have modified it. What to do?"
                           : "but it appears you have modified this file. What to do?");
  std::fprintf(stderr, "  1) %s\n  2) KEEP THE OLD FILE\n  3) CANCEL THE WHOLE INSTALLATION!\n  4) %s\n"
                       "  5) KEEP EVERY OLD FILE IN THIS DIRECTORY\n",
               delete_form ? "DELETE THE OLD FILE" : "OVERWRITE THE OLD FILE",
               delete_form ? "DELETE EVERY OLD FILE IN THIS DIRECTORY" : "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY");
  for (;;) {
    std::fprintf(stderr, "Answer 1-5: ");
    std::fflush(stderr);
    std::string line;
    if (!platform::read_stdin_line(line)) return stop_requested() ? 3 : 2;
    if (line.size() == 1 && line[0] >= '1' && line[0] <= '5') return line[0] - '0';
  }
}

// Alerts have no window here: their lines go to standard error and the log; a fatal
// one ends the run.
void command_line_alert(const AlertRequest& req) {
  std::string text;
  for (const std::string& line : req.lines)
    if (!line.empty()) text += line + "\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  // Where the alert was raised is for the log's readers, not for the user at the terminal.
  LOG << "\n" << text << alert_location(req.file, req.line) << "\n";
  log_flush();
  if (req.kind == alert_quit || req.kind == alert_crash) {
    shut_down(false);
    std::fflush(nullptr);
    // Workers may still be running: end without running the destructors of what they use.
    std::_Exit(cli_not_started);
  }
}

void pause_briefly() { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }

// Reads a tile name such as "+40-080" (latitude then longitude of the south-west corner).
bool parse_tile(const std::string& name, int* column, int* row) {
  if (name.size() != 7) return false;
  auto number = [](const std::string& s, int* out) {
    if (s[0] != '+' && s[0] != '-') return false;
    int v = 0;
    for (size_t i = 1; i < s.size(); ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      v = v * 10 + (s[i] - '0');
    }
    *out = s[0] == '-' ? -v : v;
    return true;
  };
  int lat, lon;
  if (!number(name.substr(0, 3), &lat) || !number(name.substr(3), &lon)) return false;
  if (lat < -90 || lat >= 90 || lon < -180 || lon >= 180) return false;
  *row = (lat + 90) / 10;
  *column = (lon + 180) / 10;
  return true;
}

// The tiles the discs hold, for a user who named another: ten to a line, south to north.
std::string discs_tiles_text() {
  const TileGrid& available = install_manifest().available_tiles;
  std::string list;
  int count = 0;
  for (int row = 0; row < tile_rows; ++row)
    for (int column = 0; column < tile_columns; ++column) {
      if (!available.get(column, row)) continue;
      list += (count == 0 ? "" : count % 10 == 0 ? ",\n  " : ",") + tile_name(column, row);
      ++count;
    }
  if (count == 0) return "The discs hold no scenery tiles at all (use --scenery=none).";
  return "The discs hold " + std::to_string(count) + (count == 1 ? " tile" : " tiles") + ":\n  " + list;
}

// Applies --scenery to the tile selection. False (after saying why) for a bad list.
// Without --scenery the selection stays when `keep_when_absent`, else every tile is chosen.
bool select_scenery(bool keep_when_absent) {
  TileGrid& selected = install_scope().selected_tiles;
  if (!has_option("--scenery")) {
    if (keep_when_absent) return true;
    selected = install_manifest().available_tiles;
    return true;
  }
  std::string list = option_value("--scenery");
  if (list == "all") {
    selected = install_manifest().available_tiles;
    return true;
  }
  selected.clear();
  if (list == "none") return true;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string name = list.substr(start, end - start);
    int column, row;
    if (!parse_tile(name, &column, &row)) {
      say("ERROR: \"" + name + "\" is not a scenery tile name (use all, none, or tiles such as +40-080,-10+110).");
      return false;
    }
    if (!install_manifest().available_tiles.get(column, row)) {
      say("ERROR: the discs hold no scenery for the tile " + name + ". " + discs_tiles_text());
      return false;
    }
    selected.set(column, row, true);
    start = end + 1;
  }
  return true;
}

// False when a signal stopped it.
bool scan_copy(CommandLineRun& run, bool quick) {
  int cursor = 0;
  float progress = 0;
  // The files counted are those the scan looks at: wanted by the scope (which the first
  // step widens to any recorded work) and the Target Platform, not every path of the manifest.
  std::vector<int> wanted_before;
  while (!checksum_step(cursor, quick, progress)) {
    drain_main_thread_queues();
    if (stop_requested()) {
      abort_checksum();
      return false;
    }
    if (wanted_before.empty()) {
      wanted_before.push_back(0);
      for (int g = 0; g < manifest_group_count(); ++g)
        wanted_before.push_back(wanted_before.back() + (is_entry_wanted(g, manifest_entry_count(g) - 1) ? 1 : 0));
    }
    std::string caption =
        replace_parameter(replace_parameter("Scanning %1:number% of %2:total% files.", 1,
                                            std::to_string(wanted_before[static_cast<size_t>(cursor)])),
                          2, std::to_string(wanted_before.back()));
    show_progress(run, progress, caption);
    pause_briefly();
  }
  end_progress(run);
  return true;
}

// What a drive holds instead of the first disc, in words.
std::string what_the_drive_holds(const std::string& root) {
  const std::string shown = root.size() > 1 && root.back() == '/' ? root.substr(0, root.size() - 1) : root;
  uint64_t size = 0;
  const bool marker = drive_file_size(root + "dvd_version.txt", &size) == 0;
  if (!path_exists(shown)) return shown + ": there is no such folder or disc image.";
  if (is_disc_image(root)) {
    std::string detail;
    if (int code = check_disc_image(shown, &detail))
      return shown + ": the disc image cannot be read (" + error_message_for_code(code) + ").";
  }
  if (is_disc_image(root))
    return marker ? shown + ": its dvd_version.txt is not that of a Zephiro 9 disc."
                  : shown + ": a disc image without dvd_version.txt, so not the first disc of a Zephiro 9 set.";
  if (!folder_exists(root)) return shown + ": neither a folder nor a disc image.";
  std::vector<std::string> names;
  std::vector<int> folders;
  if (list_folder(root, names, folders) == 0) return shown + ": the folder is empty.";
  return marker ? shown + ": its dvd_version.txt is not that of a Zephiro 9 disc."
                : shown + ": the folder holds no dvd_version.txt, so it is not the first disc of a Zephiro 9 set.";
}

void say_why_no_drive_holds_the_disc() {
  const std::vector<std::string> roots = dvd_drive_roots();
  if (roots.empty()) {
    say(has_option("--dvd_drives") ? "--dvd_drives names no folder."
                                   : "No disc is mounted. Give the discs' folders or images with "
                                     "--dvd_drives=DIR[" + std::string(1, platform::path_list_separator()) +
                                         "DIR...].");
    return;
  }
  for (const std::string& root : roots) say("  " + what_the_drive_holds(root));
}

// Waits for the disc that holds `group`: every drive is searched; then a terminal user is
// asked to insert it. False when it cannot be had.
bool change_disc(int group) {
  if (find_needed_disc(group)) return true;
  std::string wanted = disc_number_text(current_entry(group).disc_number);
  if (!platform::stdin_is_terminal()) {
    say("ERROR: DVD number " + wanted + " is needed: put it in a drive and run the command again.");
    return false;
  }
  if (eject_drive(dvd_root()) != 0)
    std::fprintf(stderr, "\nThe DVD could not be ejected. Please take it out of the drive yourself.\n");
  set_dvd_root("");
  for (;;) {
    std::fprintf(stderr, "\nPlease insert DVD number %s and press Enter (or type q to stop): ", wanted.c_str());
    std::fflush(stderr);
    std::string line;
    if (!platform::read_stdin_line(line) || line == "q") return false;
    if (find_needed_disc(group)) return true;
    std::fprintf(stderr, "That is not the DVD I need.\n");
  }
}

// Runs the executor over the plan, disc after disc. cli_ok, cli_failed_files,
// cli_not_started when a needed disc could not be had, or the code of a stopping signal.
int carry_out_plan(CommandLineRun& run) {
  int cursor = 0;
  int disc = current_disc_number();
  const int groups = manifest_group_count();
  for (;;) {
    int r = install_step(cursor, disc);
    drain_main_thread_queues();
    if (stop_requested()) {
      // The copies and extractions in flight finish; nothing new starts.
      abort_install();
      return stopped_by_signal(run);
    }
    if (r == install_done) break;
    if (r == install_failed) {
      std::string message;
      int code = take_install_error(message);
      end_progress(run);
      say("ERROR: " + message + " (" + error_message_for_code(code) + ")");
      ++run.failed_files;
      continue;
    }
    if (r == install_needs_disc) {
      end_progress(run);
      if (current_entry(cursor).disc_number == disc)
        say("DVD number " + disc_number_text(disc) + " is no longer in " + dvd_root() +
            ": its archives will be copied once it is back.");
      if (!change_disc(cursor)) {
        abort_install();
        return stop_requested() ? stopped_by_signal(run) : cli_not_started;
      }
      disc = current_disc_number();
      say("Using DVD number " + disc_number_text(disc) + " in " + dvd_root());
      continue;
    }
    // Only a file the plan works on is named, and the end only once nothing is in flight.
    const int at = install_position(cursor);
    if (at < groups)
      show_progress(run, current_entry(at).progress_start,
                    replace_parameter("Installing: %1:file%", 1, current_entry(at).path));
    else
      show_progress(run, 1.0f, "Finishing up...");
    pause_briefly();
  }
  show_progress(run, 1.0f, "Finishing up...");
  end_progress(run);
  return run.failed_files ? cli_failed_files : cli_ok;
}

int verify_copy(CommandLineRun& run) {
  set_install_scope(true, true);
  if (!scan_copy(run, false)) return stopped_by_signal(run);
  const InstallScopeState& scope = install_scope();
  int checked = 0, missing = 0, damaged = 0;
  for (int g = 0; g < manifest_group_count(); ++g) {
    const ManifestEntry& e = current_entry(g);
    if (!is_entry_wanted(g, manifest_entry_count(g) - 1) || e.expected_signature == "GONE") continue;
    // Scenery is wanted where it is installed or where unfinished work is to install it; a
    // tile the user never chose is not missing.
    bool recorded = scope.has_recorded_work && scope.recorded_tiles.get(e.tile_column, e.tile_row);
    if (e.is_scenery_tile && e.found_signature == "NONE" && !recorded) continue;
    ++checked;
    if (e.signature_matches) continue;
    bool absent = e.found_signature == "NONE";
    (absent ? missing : damaged) += 1;
    std::printf("%s\t%s\n", absent ? "missing" : "damaged", install_relative_path(e.path).c_str());
  }
  WorkRecord record;
  bool unfinished = read_work_record(install_path(), &record);
  if (unfinished)
    std::printf("unfinished\tan interrupted %s of this copy has not been finished: %s finishes it.\n",
                work_kind_name(record).c_str(), record.removal ? "--uninstall=DIR" : "--repair=DIR");
  std::printf("%d files checked: %d missing, %d damaged.\n", checked, missing, damaged);
  std::fflush(stdout);
  return missing + damaged || unfinished ? cli_failed_files : cli_ok;
}

// Removes the copy: the files the manifest names, unless the user changed them; the
// registry line and menu entry last. Kept files are listed on standard error.
int remove_copy(CommandLineRun& run) {
  CopyRemoval removal;
  if (int code = start_removal(removal, install_path()))
    return fail_to_start("cannot start removing " + install_path() + " (" + error_message_for_code(code) + ").");
  while (!removal_step(removal, 1)) {
    if (stop_requested()) return stopped_by_signal(run);
    show_progress(run, removal_progress(removal), replace_parameter("Removing: %1:file%", 1, removal_current_item(removal)));
  }
  end_progress(run);
  for (const std::string& rel : removal.kept) say("Kept: " + install_path() + rel);
  if (removal.failed) {
    say("ERROR: " + removal.first_error);
    say("Finished with errors (" + std::to_string(removal.failed) + " could not be removed); " + install_path() +
        " stays registered: run the same command again to finish.");
    return cli_failed_files;
  }
  say("Removed " + std::to_string(removal.removed) + " files: " + install_path());
  return cli_ok;
}

}  // namespace

bool is_command_line_mode() {
  for (const char* option : kActionOptions)
    if (has_option(option)) return true;
  return false;
}

bool asks_for_command_line_mode(int argc, char** argv) {
  for (const char* option : kActionOptions)
    if (early_option(argc, argv, option, nullptr)) return true;
  return false;
}

void prepare_command_line_mode() {
  app().command_line_mode = true;
  set_alert_handler(command_line_alert);
  // The work loops, and the questions asked at the terminal, look for such a request.
  platform::catch_termination_requests();
}

int run_command_line_mode() {
  CommandLineRun run;
  int actions = 0;
  for (int i = 0; i < kActionCount; ++i) {
    if (!has_option(kActionOptions[i])) continue;
    ++actions;
    run.action = static_cast<Action>(i);
    run.folder = option_value(kActionOptions[i]);
  }
  prepare_command_line_mode();
  run.terminal_progress = platform::stderr_is_terminal();
  if (actions != 1)
    return fail_to_start("give exactly one of --install, --modify, --repair, --verify and --uninstall.");
  if (run.folder.empty()) return fail_to_start(std::string(kActionOptions[static_cast<int>(run.action)]) + " needs a folder.");
  if (has_option("--conflicts")) {
    std::string v = option_value("--conflicts");
    if (v != "keep" && v != "overwrite" && v != "cancel")
      return fail_to_start("--conflicts takes keep, overwrite or cancel.");
  }

  // Taken as the shell gave it: on Linux ':' and '\' belong to the folder's name; on
  // Windows '\' is a separator like '/'.
  std::string folder = platform::program_path_of(run.folder);
  if (!is_absolute_path(folder)) {
    folder = platform::current_folder() + folder;
  }
  if (folder.back() != '/') folder += '/';
  if (!is_registrable_path(folder))
    return fail_to_start("the folder's name holds a line break, a tab or another control character, which the list "
                         "of installed copies cannot hold; give another folder.");

  run.folder = folder;
  // A copy whose work was interrupted early may not look like a copy yet: its record says it is.
  WorkRecord record;
  const bool unfinished = folder_exists(folder) && read_work_record(folder, &record);
  if (run.action == Action::install) {
    if (unfinished && holds_unfinished_install(folder)) {
      say("Finishing the interrupted install in " + folder);
    } else if (folder_exists(folder) || file_exists(folder.substr(0, folder.size() - 1))) {
      return fail_to_start("the folder " + folder + " exists already; give a new folder for the copy.");
    } else if (!folder_exists(folder_part(folder.substr(0, folder.size() - 1)))) {
      return fail_to_start("the folder that is to hold " + folder + " does not exist.");
    }
  } else if (!folder_exists(folder) || !(is_installed_copy(folder) || unfinished)) {
    return fail_to_start(folder + " is not an installed copy of Zephiro.");
  } else if (unfinished && record.removal && run.action != Action::uninstall && run.action != Action::verify) {
    return fail_to_start("an interrupted removal of " + folder + " has not been finished: --uninstall=DIR finishes it.");
  } else if (unfinished && run.action != Action::verify && (run.action != Action::uninstall || record.removal)) {
    // Removing a copy finishes only a removal: an unfinished install or change is moot.
    say("Finishing the interrupted " + work_kind_name(record) + " of " + folder);
  }

  threads_init();
  set_conflict_prompt(answer_conflict);
  read_disc_identity();
  if (dvd_root().empty()) {
    say("ERROR: Please insert Zephiro 9 DVD number one to begin.");
    say_why_no_drive_holds_the_disc();
    return cli_not_started;
  }
  if (dvd_version().empty() || manifest_read_status() != 3)
    return fail_to_start("This DVD does not appear to be a Zephiro 9 DVD.");
  say("Found " + dvd_version() + " in " + dvd_root());
  install_path() = folder;

  if (run.action == Action::verify) return verify_copy(run);
  if (run.action == Action::uninstall) return remove_copy(run);

  // A scan of a copy with unfinished work brings that work into the scope and the
  // selection, so each action below also finishes it.
  switch (run.action) {
    case Action::install:
      set_install_scope(true, true);
      if (!scan_copy(run, false)) return stopped_by_signal(run);
      if (!select_scenery(unfinished)) return cli_not_started;
      break;
    case Action::modify:
      set_install_scope(false, true);
      if (!scan_copy(run, true)) return stopped_by_signal(run);
      select_installed_tiles();
      if (!select_scenery(true)) return cli_not_started;
      break;
    default:
      set_install_scope(true, false);
      if (!scan_copy(run, false)) return stopped_by_signal(run);
      break;
  }

  compute_install_totals();
  const InstallTotals& totals = install_manifest().totals;
  SpaceDecision space = space_decision();
  if (space.shown) {
    say("Disk size: " + size_text(space.total_kb) + "; free disk space: " + size_text(space.free_kb) +
        "; disk space needed to install: " + size_text(space.needed_kb));
    if (!space.enough) return fail_to_start("there is not enough free disk space for this work.");
  }
  SpaceDecision scratch = scratch_space_decision();
  if (!scratch.enough)
    return fail_to_start("the temporary folder " + scratch_folder() + " has " + size_text(scratch.free_kb) +
                         " free, but the largest archive of this work may need up to " + size_text(scratch.needed_kb) +
                         ": free some space there, or set TMPDIR to a folder on a larger disk.");
  say(std::to_string(totals.files_to_install) + " files to install, " + std::to_string(totals.files_to_delete) +
      " files to delete.");

  if (!build_install_plan())
    return stop_requested() ? stopped_by_signal(run) : fail_to_start("The installation was cancelled.");
  if (stop_requested()) return stopped_by_signal(run);
  if (create_install_folders() != 0) return cli_not_started;
  int registry_code = register_install_path(install_path());
  if (registry_code)
    say("ERROR: the copy could not be registered in " + registry_file_path() + " (" +
        error_message_for_code(registry_code) + "); later runs will not offer it until it is.");
  delete_unwanted_files();
  int result = carry_out_plan(run);
  // What reading from disc images cost, against their sizes (seeking skips the rest).
  if (disc_image_bytes_read() > 0) LOG << "Read " << disc_image_bytes_read() << " bytes from disc images\n";
  if (result == cli_ok && registry_code) result = cli_failed_files;
  if (result == cli_ok && run.action != Action::modify) give_menu_entry(install_path());
  if (result == cli_ok) say("Done: " + install_path());
  else if (result == cli_failed_files)
    say("Finished with errors (" + std::to_string(run.failed_files) + " failed files" +
        (registry_code ? ", not registered" : "") + "): " + install_path());
  return result;
}
