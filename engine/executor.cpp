#include "engine/executor.h"

#include <iterator>
#include <set>
#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "core/preferences.h"
#include "core/user_text.h"
#include "engine/install_plan.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "engine/work_record.h"
#include "engine/work_tasks.h"
#include "io/file_ops.h"
#include "io/partial_file.h"
#include "io/run_folder.h"
#include "io/threads.h"

namespace {

struct ExecutorState {
  WorkQueueStage* copy_stage = nullptr;
  WorkQueueStage* unzip_stage = nullptr;
  int error_code = 0;
  std::string error_message;
  bool file_failed = false;  // a file of this run failed: the work is not complete
  std::set<int> in_work;     // groups being copied or extracted, for the progress line
  // The first group whose archive could not be copied because its disc went away, or -1.
  int disc_lost_at = -1;
};
ExecutorState g_exec;

const int kStageRoom = 30;

void folder_error_report(const std::string& folder, int code) {
  ALERT(alert_info,
        user_text("I am unable to install or update Zephiro. An error occurred while creating new folders. Make "
                  "sure you are installing to a directory that you have access to!"),
        user_text("Error: ") + error_message_for_code(code), user_text("Install Location: ") + install_path(),
        user_text("Install Path:") + folder);
}

// Creates one folder; a code that means "it is there" counts as success.
int make_folder(const std::string& folder) {
  int code = create_folder(folder);
  return is_benign_folder_error(code) ? 0 : code;
}

void record_error_report(int code) {
  ALERT(alert_info,
        user_text("I am unable to install or update Zephiro. I could not write a file into the install folder. "
                  "Make sure you are installing to a directory that you have access to!"),
        user_text("Error: ") + error_message_for_code(code), user_text("Install Location: ") + install_path(),
        user_text("File: ") + work_record_path(install_path()));
}

// Partial files that runs which were killed left in the copy's folders (and partial copy
// folders beside it, and beside files the user linked elsewhere) go before new work
// starts; those of a live run stay.
void remove_leftovers_of_ended_runs() {
  const std::string& root = install_path();
  std::set<std::string> folders = {folder_part(root.substr(0, root.size() - 1)), root};
  for (int g = 0; g < manifest_group_count(); ++g) {
    const ManifestEntry& e = current_entry(g);
    if (stays_inside_copy(install_relative_path(e.path)))
      folders.insert(partial_file_folder(install_location(root, e)));
  }
  for (const std::string& folder : folders)
    if (folder_exists(folder)) remove_stale_partial_files(folder);
}

void destroy_stage(WorkQueueStage*& stage) {
  stage->destroy();
  delete stage;
  stage = nullptr;
}

// The folders every copy has, which Create Install Folders makes whatever the plan holds.
const char* const kUserFolders[] = {"Output/",           "Output/FMS plans", "Output/logbooks", "Output/replays",
                                    "Output/situations", "Resources/",       "Output/preferences"};

// The install-relative folders of every file the plan installs, parents included (without
// their final '/'), in ascending order, so that each parent comes before its children.
std::set<std::string> plan_folders() {
  std::set<std::string> folders;
  for (int g = 0; g < manifest_group_count(); ++g) {
    const ManifestEntry& e = current_entry(g);
    if (!e.install_flag || !is_entry_wanted(g, manifest_entry_count(g) - 1)) continue;
    std::string rel = install_relative_path(e.path);
    if (!stays_inside_copy(rel)) continue;
    for (size_t cut = rel.rfind('/'); cut != std::string::npos; cut = rel.rfind('/')) {
      rel.resize(cut);
      if (!rel.empty()) folders.insert(rel);
    }
  }
  return folders;
}

// Every folder of the copy (full paths, ending '/') that the work writes into or makes:
// those of the files the plan installs and the user's folders, with the folders above them.
// The work never prunes one of them, even while it is still empty.
std::set<std::string> folders_the_work_writes() {
  const std::string& root = install_path();
  std::set<std::string> folders;
  for (const std::string& rel : plan_folders()) folders.insert(root + rel + "/");
  for (const char* user_folder : kUserFolders) {
    std::string rel = user_folder;
    if (rel.back() != '/') rel += '/';
    for (size_t cut = rel.find('/'); cut != std::string::npos; cut = rel.find('/', cut + 1))
      folders.insert(root + rel.substr(0, cut + 1));
  }
  return folders;
}

}  // namespace

int create_install_folders() {
  // The chain of folders down to the copy, one level at a time; the first component
  // (the root or a drive) is never made. The copy's own folder comes into being with the
  // record of the work already in it.
  const std::string& root = install_path();
  const WorkRecord work = work_record_of_scope();
  bool recorded = false;
  std::string chain = root.empty() ? root : root.substr(0, root.size() - 1);
  size_t first = chain.find('/');
  if (first != std::string::npos) {
    for (size_t slash = chain.find('/', first + 1);; slash = chain.find('/', slash + 1)) {
      std::string folder = slash == std::string::npos ? chain : chain.substr(0, slash);
      if (!folder.empty()) {
        int code;
        if (slash == std::string::npos && !folder_exists(folder)) {
          code = create_copy_with_record(root, work);
          recorded = code == 0;
          if (code == 17) code = make_folder(folder);  // made meanwhile: the record follows
        } else {
          code = make_folder(folder);
        }
        if (code) {
          folder_error_report(folder, code);
          return code;
        }
      }
      if (slash == std::string::npos) break;
    }
  }
  if (root.empty()) return 0;
  remove_leftovers_of_ended_runs();
  if (!recorded) {
    if (int code = write_work_record(root, work)) {
      record_error_report(code);
      return code;
    }
  }

  for (const std::string& folder : plan_folders()) {
    int code = make_folder(root + folder);
    if (code) {
      folder_error_report(root + folder, code);
      return code;
    }
  }

  for (const char* folder : kUserFolders) {
    int code = make_folder(root + folder);
    if (code) folder_error_report(root + folder, code);
  }
  return 0;
}

namespace {

// Whether the work removes the group's file: it left the product, or its tile is not
// selected. True also when the file is already gone.
bool work_removes(int group) {
  const ManifestEntry& e = current_entry(group);
  if (!is_entry_wanted(group, manifest_entry_count(group) - 1)) return false;
  if (e.expected_signature == "GONE") return true;
  return e.is_scenery_tile && !install_scope().selected_tiles.get(e.tile_column, e.tile_row);
}

// Removes the folders a deletion of the work may have emptied, deepest first, and then each
// folder above one it removed, up to the copy's folder (never that one). A folder goes only
// when it is empty, is no link of the user's, and the work does not write into it: a folder
// about to receive its files may be empty only because nothing is extracted yet.
// `finishing`: the work goes on from a run that was killed, which may have removed files
// and folders already; a folder that is gone then counts as removed by that run.
void prune_emptied_folders(std::set<std::string> emptied, bool finishing) {
  const std::string& root = install_path();
  const std::set<std::string> written = folders_the_work_writes();
  while (!emptied.empty()) {
    // A parent sorts before its children, so the last folder is never above another one.
    const std::string folder = *emptied.rbegin();
    emptied.erase(std::prev(emptied.end()));
    if (folder.size() <= root.size() || folder.compare(0, root.size(), root) != 0 || written.count(folder)) continue;
    bool removed = false;
    if (!folder_exists(folder)) {
      removed = finishing && !path_exists(folder);
    } else if (!is_symbolic_link(folder.substr(0, folder.size() - 1))) {
      std::vector<std::string> names;
      std::vector<int> folders;
      if (list_folder(folder, names, folders) != 0) continue;
      int code = delete_file_or_empty_folder(folder);
      if (prefs().log_actions) LOG << "cleanup: DELETING  file " << folder << ", with result=" << code << ".\n";
      removed = code == 0;
    }
    if (!removed) continue;
    std::string parent = folder.substr(0, folder.size() - 1);
    parent = folder_part(parent);
    if (parent.size() > root.size()) emptied.insert(parent);
  }
}

}  // namespace

void delete_unwanted_files() {
  const std::string& root = install_path();
  // A run that finishes recorded work also prunes what the killed run it follows emptied.
  const bool finishing = install_scope().has_recorded_work;
  std::set<std::string> emptied;
  for (int g = 0; g < manifest_group_count(); ++g) {
    ManifestEntry& e = current_entry(g);
    if (!e.delete_flag) {
      // A file that a killed run of this work deleted already: its folder may be left.
      if (finishing && e.found_signature == "NONE" && work_removes(g) &&
          stays_inside_copy(install_relative_path(e.path)))
        emptied.insert(folder_part(install_location(root, e)));
      continue;
    }
    std::string location = install_location(root, e);
    int code;
    if (!stays_inside_copy(install_relative_path(e.path))) {
      code = 1;  // not permitted: the file is not inside the copy
    } else {
      clear_read_only(location);
      code = delete_file_or_empty_folder(location);
    }
    if (prefs().log_actions) LOG << "DELETING  file " << location << ", with result=" << code << ".\n";
    if (code == 0) emptied.insert(folder_part(location));
    e.signature_matches = false;
    e.found_signature = "NONE";
  }
  prune_emptied_folders(emptied, finishing);
}

namespace {

// Whether the group still waits for its archive in this run (a group this run has installed
// already is current; it is passed over when the work returns to an earlier group).
bool waits_for_archive(int group) {
  const ManifestEntry& e = current_entry(group);
  return e.install_flag && !e.signature_matches;
}

}  // namespace

int install_step(int& next_group, int disc) {
  if (!g_exec.copy_stage) {  // a run begins
    g_exec.file_failed = false;
    g_exec.disc_lost_at = -1;
  }
  if (!g_exec.copy_stage) g_exec.copy_stage = new WorkQueueStage(1, kStageRoom);
  if (!g_exec.unzip_stage) g_exec.unzip_stage = new WorkQueueStage(cpu_count(), kStageRoom);
  const int groups = manifest_group_count();
  while (next_group < groups && !waits_for_archive(next_group)) ++next_group;
  // Once the disc has gone, nothing more is copied from it.
  while (g_exec.disc_lost_at < 0 && next_group < groups && g_exec.copy_stage->has_room() &&
         current_entry(next_group).disc_number == disc) {
    if (waits_for_archive(next_group)) {
      g_exec.copy_stage->submit(new dvd_unpack_task(next_group, scratch_folder()));
      g_exec.in_work.insert(next_group);
    }
    ++next_group;
  }
  while (g_exec.unzip_stage->has_room()) {
    UTL_work_task* copied = g_exec.copy_stage->take_finished();
    if (!copied) break;
    g_exec.unzip_stage->submit(copied);
  }
  while (UTL_work_task* done = g_exec.unzip_stage->take_finished()) {
    const dvd_unpack_task* task = static_cast<const dvd_unpack_task*>(done);
    if (task->disc_went_away()) {
      if (g_exec.disc_lost_at < 0 || task->group() < g_exec.disc_lost_at) g_exec.disc_lost_at = task->group();
      g_exec.in_work.erase(task->group());
      delete done;
      continue;
    }
    g_exec.error_code = done->result(g_exec.error_message);
    g_exec.in_work.erase(task->group());
    delete done;
    if (g_exec.error_code != 0) {
      g_exec.file_failed = true;
      return install_failed;
    }
  }
  bool idle = g_exec.copy_stage->in_flight() == 0 && g_exec.unzip_stage->in_flight() == 0;
  if (idle && g_exec.disc_lost_at >= 0) {
    // The disc went away under the copies: ask for it, then go on from its first archive
    // that was not copied.
    next_group = g_exec.disc_lost_at;
    g_exec.disc_lost_at = -1;
    return install_needs_disc;
  }
  if (next_group == groups && idle) {
    destroy_stage(g_exec.copy_stage);
    destroy_stage(g_exec.unzip_stage);
    // Complete: the copy holds what the work was to leave, so its record goes.
    if (!g_exec.file_failed) clear_work_record(install_path());
    return install_done;
  }
  if (next_group < groups && idle && current_entry(next_group).disc_number != disc &&
      current_entry(next_group).install_flag)
    return install_needs_disc;
  return install_working;
}

bool abort_install() {
  if (g_exec.copy_stage) {
    while (UTL_work_task* copied = g_exec.copy_stage->wait_finished()) g_exec.unzip_stage->submit(copied);
    while (UTL_work_task* done = g_exec.unzip_stage->wait_finished()) delete done;
    destroy_stage(g_exec.copy_stage);
    destroy_stage(g_exec.unzip_stage);
  }
  g_exec.in_work.clear();
  return true;
}

int install_position(int next_group) {
  if (!g_exec.in_work.empty()) return *g_exec.in_work.begin();
  const int groups = manifest_group_count();
  int group = next_group < 0 ? 0 : next_group;
  while (group < groups && !current_entry(group).install_flag) ++group;
  return group;
}

int take_install_error(std::string& message) {
  message = g_exec.error_message;
  int code = g_exec.error_code;
  g_exec.error_code = 0;
  g_exec.error_message.clear();
  return code;
}

void reset_executor() {
  abort_install();
  g_exec = ExecutorState();
}
