#include "engine/install_plan.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "core/log.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "io/file_ops.h"
#include "io/threads.h"
#include "engine/work_tasks.h"
#include "platform/clock.h"

namespace {

struct PlanState {
  WorkQueueStage* checksum_stage = nullptr;
  ConflictPrompt prompt;
};
PlanState g_plan;

const int kGroupsPerChecksumTask = 10;

std::string seconds_text() {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%.3f", platform::running_seconds());
  return buf;
}

void delete_finished_checksum_tasks(bool wait) {
  while (UTL_work_task* task = wait ? g_plan.checksum_stage->wait_finished()
                                    : g_plan.checksum_stage->take_finished())
    delete task;
}

void destroy_checksum_stage() {
  g_plan.checksum_stage->destroy();
  delete g_plan.checksum_stage;
  g_plan.checksum_stage = nullptr;
}

bool matches_any_version(const ManifestGroup& group, const std::string& signature) {
  for (const ManifestEntry& e : group.entries)
    if (e.expected_signature == signature) return true;
  return false;
}

}  // namespace

int checksum_step(int& next_group, bool quick, float& progress) {
  const int groups = manifest_group_count();
  if (!folder_exists(install_path())) {
    include_recorded_work();  // none: forgets what an earlier scan of another copy found
    for (int g = 0; g < groups; ++g) {
      ManifestEntry& e = current_entry(g);
      e.found_signature = "NONE";
      e.signature_matches = e.expected_signature == "NONE";
    }
    progress = 1;
    return 1;
  }
  if (!g_plan.checksum_stage) {
    // Unfinished work recorded in the copy is part of what this scan looks at.
    include_recorded_work();
    int cpus = cpu_count();
    g_plan.checksum_stage = new WorkQueueStage(cpus, 4 * cpus);
    LOG << " Start of MD5 at " << seconds_text() << "\n";
  }
  while (next_group < groups && g_plan.checksum_stage->has_room()) {
    int n = std::min(kGroupsPerChecksumTask, groups - next_group);
    g_plan.checksum_stage->submit(new checksum_task(next_group, next_group + n, quick));
    next_group += n;
  }
  delete_finished_checksum_tasks(false);
  progress = groups > 0 ? static_cast<float>(next_group) / static_cast<float>(groups) : 0.0f;
  if (next_group == groups && g_plan.checksum_stage->in_flight() == 0) {
    destroy_checksum_stage();
    LOG << " End of MD5 at " << seconds_text() << "\n";
    select_recorded_tiles();
    return 1;
  }
  return 0;
}

bool abort_checksum() {
  if (g_plan.checksum_stage) {
    delete_finished_checksum_tasks(true);
    destroy_checksum_stage();
  }
  return true;
}

std::string folder_part(const std::string& path) {
  if (path.size() <= 3) return path;
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(0, cut + 1);
}

int build_install_plan() {
  std::set<std::string> replace_all_folders, keep_all_folders;
  const InstallScopeState& scope = install_scope();
  const int groups = manifest_group_count();
  for (int g = 0; g < groups; ++g) {
    ManifestGroup& group = install_manifest().groups[g];
    ManifestEntry& e = group.current();
    e.install_flag = false;
    e.delete_flag = false;
    bool act = is_entry_wanted(g, manifest_entry_count(g) - 1);
    if (!act) continue;
    std::string location = install_location(install_path(), e);
    bool gone = e.expected_signature == "GONE";
    bool exists = e.found_signature != "NONE";
    // A quick scan only sees that a file exists: one that left the product then has the
    // "signature" GONE, which cannot tell the product's old file from one the user changed,
    // so it is left alone as a current file is. A full scan gives it its real signature.
    bool same = exists && e.found_signature == e.expected_signature;
    if (e.is_scenery_tile && !scope.selected_tiles.get(e.tile_column, e.tile_row)) {
      gone = true;
      same = false;
    }
    if (!exists && gone) act = false;
    if (exists && same) act = false;
    if (exists && !same && !matches_any_version(group, e.found_signature)) {
      std::string folder = folder_part(location);
      if (replace_all_folders.count(folder)) {
        act = true;
      } else if (keep_all_folders.count(folder)) {
        act = false;
      } else {
        LOG << "File: " << location << "  sig_want=" << e.expected_signature
            << "  sig_have=" << e.found_signature << "\n";
        switch (ask_conflict_prompt(location, gone)) {
          case 1: act = true; break;
          case 2: act = false; break;
          case 4:
            act = true;
            replace_all_folders.insert(folder);
            break;
          case 5:
            act = false;
            keep_all_folders.insert(folder);
            break;
          default:
            return 0;
        }
      }
    }
    e.install_flag = act && !gone;
    e.delete_flag = act && gone;
  }
  double total = 0;
  for (int g = 0; g < groups; ++g)
    if (current_entry(g).install_flag) total += current_entry(g).installed_size;
  double running = 0;
  for (int g = 0; g < groups; ++g) {
    ManifestEntry& e = current_entry(g);
    e.progress_start = total > 0 ? static_cast<float>(running / total) : 0.5f;
    if (e.install_flag) running += e.installed_size;
  }
  return 1;
}

void set_conflict_prompt(ConflictPrompt prompt) { g_plan.prompt = std::move(prompt); }

int ask_conflict_prompt(const std::string& location, bool delete_form) {
  return g_plan.prompt ? g_plan.prompt(location, delete_form) : 2;
}

void reset_install_plan() {
  if (g_plan.checksum_stage) abort_checksum();
  g_plan = PlanState();
}
