#pragma once
// What the engine works on: the copy (Install Path), which kinds of files are in scope,
// and the scenery tiles the user wants. Read by the scan, the plan, the executor, the
// disk-space totals and the worker tasks.

#include <string>

#include "engine/manifest.h"

struct InstallScopeState {
  std::string install_path;  // the copy's folder, ending '/'
  bool include_base_files = true;
  bool include_scenery_tiles = true;
  TileGrid selected_tiles;
  // Unfinished work recorded in the copy, as the last scan found it.
  bool has_recorded_work = false;
  TileGrid recorded_tiles;
  bool recorded_scenery = false;  // the recorded work names scenery tiles
};

InstallScopeState& install_scope();
void reset_install_scope();

// The folder of the copy a wizard works on, ending '/'.
std::string& install_path();
// DVD install (true, true); add/remove scenery (false, true); repair (true, false).
void set_install_scope(bool include_base_files, bool include_scenery_tiles);
// Whether the entry's file is in scope and meant for the Target Platform.
bool is_entry_wanted(int group, int entry);
// Selected Tiles := the tiles whose file the last scan found on disk; in a copy whose
// recorded unfinished work names scenery, exactly the recorded tiles instead.
void select_installed_tiles();
// At the start of a scan: a copy holding unfinished work has the work's kinds of files
// brought into scope, so that the scan and the plan include them.
void include_recorded_work();
// At the end of a scan: in a copy whose recorded work names scenery, the selection becomes
// exactly the recorded tiles, so the plan finishes the work whoever runs it.
void select_recorded_tiles();
void clear_tile_selection();
