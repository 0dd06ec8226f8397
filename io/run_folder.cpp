#include "io/run_folder.h"

#include <vector>

#include "core/app_state.h"
#include "io/file_ops.h"
#include "platform/fs.h"

namespace {

const char kPrefix[] = "zephiro-run-";

struct RunFolderState {
  std::string folder;
  int lock = -1;
};
RunFolderState g_run;

}  // namespace

std::string open_run_folder(const std::string& temp_root) {
  remove_run_folder();
  const std::string base = temp_root.empty() || temp_root.back() == '/' ? temp_root : temp_root + "/";
  for (int n = 0; n < 100; ++n) {
    std::string folder = base + kPrefix + std::to_string(platform::process_id()) + "-" + std::to_string(n);
    int code = platform::make_dir(folder);
    if (code == 17) continue;  // an earlier process of the same number left it
    if (code) return std::string();
    int fd = -1;
    code = platform::open_folder(folder, &fd);
    if (!code) code = platform::lock_held_file(fd);
    if (code) {
      platform::close_file(fd);
      if (code != 2) delete_folder_tree(folder + "/");
      continue;
    }
    g_run.folder = folder + "/";
    g_run.lock = fd;
    return g_run.folder;
  }
  return std::string();
}

const std::string& run_folder() { return g_run.folder; }

void remove_run_folder() {
  if (!g_run.folder.empty()) delete_folder_tree(g_run.folder);
  reset_run_folder();
}

int remove_stale_run_folders(const std::string& temp_root) {
  const std::string base = temp_root.empty() || temp_root.back() == '/' ? temp_root : temp_root + "/";
  std::vector<platform::DirEntry> entries;
  if (!platform::read_dir(base, entries)) return 0;
  int removed = 0;
  for (const platform::DirEntry& e : entries) {
    if (!e.is_folder || e.name.compare(0, sizeof kPrefix - 1, kPrefix) != 0) continue;
    std::string path = base + e.name;
    if (path + "/" == g_run.folder) continue;
    int fd = -1;
    // Removed while holding its lock, so that no run can take it up meanwhile.
    if (platform::try_lock_path(path, &fd) != 0) continue;
    if (delete_folder_tree(path + "/") == 0) ++removed;
    platform::close_file(fd);
  }
  return removed;
}

std::string scratch_folder() {
  return app().temp_folder.empty() ? special_folder(folder_temp) : app().temp_folder;
}

void reset_run_folder() {
  platform::close_file(g_run.lock);
  g_run = RunFolderState();
}
