#include "engine/install_scope.h"

#include "core/app_state.h"
#include "engine/work_record.h"

namespace {
InstallScopeState g_scope;
}  // namespace

InstallScopeState& install_scope() { return g_scope; }
void reset_install_scope() { g_scope = InstallScopeState(); }
std::string& install_path() { return g_scope.install_path; }

void set_install_scope(bool include_base_files, bool include_scenery_tiles) {
  g_scope.include_base_files = include_base_files;
  g_scope.include_scenery_tiles = include_scenery_tiles;
}

bool is_entry_wanted(int group, int entry) {
  const ManifestEntry& e = manifest_entry(group, entry);
  if (e.is_scenery_tile && !g_scope.include_scenery_tiles) return false;
  if (!e.is_scenery_tile && !g_scope.include_base_files) return false;
  int target = app().target_platform;
  if (target == platform_all) return true;
  if (e.platform_code == target) return true;
  if (e.platform_code == 0) return true;
  if (e.platform_code == 6) return target == platform_lin;
  return false;
}

void select_installed_tiles() {
  g_scope.selected_tiles.clear();
  for (int g = 0; g < manifest_group_count(); ++g) {
    const ManifestEntry& e = current_entry(g);
    if (e.is_scenery_tile && e.found_signature != "NONE")
      g_scope.selected_tiles.set(e.tile_column, e.tile_row, true);
  }
  // Unfinished scenery work is to leave exactly its tiles: those a killed removal had not
  // yet deleted are on disk but not wanted.
  if (g_scope.recorded_scenery) g_scope.selected_tiles = g_scope.recorded_tiles;
}

void include_recorded_work() {
  WorkRecord record;
  g_scope.has_recorded_work = read_work_record(g_scope.install_path, &record);
  g_scope.recorded_scenery = g_scope.has_recorded_work && record.scenery_tiles;
  if (!g_scope.has_recorded_work) {
    g_scope.recorded_tiles.clear();
    return;
  }
  g_scope.recorded_tiles = record.scenery_tiles ? record.tiles : TileGrid();
  g_scope.include_base_files = g_scope.include_base_files || record.base_files;
  g_scope.include_scenery_tiles = g_scope.include_scenery_tiles || record.scenery_tiles;
}

void select_recorded_tiles() {
  if (g_scope.recorded_scenery) g_scope.selected_tiles = g_scope.recorded_tiles;
}

void clear_tile_selection() { g_scope.selected_tiles.clear(); }
