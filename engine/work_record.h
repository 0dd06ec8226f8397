#pragma once
// The record of unfinished work kept in a copy. Before the engine changes a copy it writes
// there what the work is to leave behind (which kinds of files, which scenery tiles); it
// clears the record only when the work has completed without a failed file. A kill, a full
// disk or a damaged archive therefore leaves the record, and the next run finishes the work.
//
// The engine does the writing and clearing itself: Create Install Folders writes the record
// (a new copy's folder comes into being with the record already in it), and Install Step
// clears it when it reports the end of a run in which no file failed. A scan of a copy that
// holds a record widens the Install Scope and the tile selection to the recorded work, and
// Select Installed Tiles keeps the recorded tiles selected, so a wizard's plan includes them
// without further calls. A wizard page only asks, where it decides what to offer:
//   - read_work_record(): is there unfinished work in this copy, and of which kind;
//   - holds_unfinished_install(): may the DVD install finish an existing folder (Pick
//     Destination otherwise refuses a folder that exists).

#include <string>

#include "engine/manifest.h"

struct WorkRecord {
  bool base_files = false;     // the Install Scope of the work
  bool scenery_tiles = false;
  TileGrid tiles;              // the tiles the work is to leave installed
  bool removal = false;        // the copy is being removed: only removing it again finishes that
};

// The record's file name in the copy. It begins with ".zephiro-", which the manifest
// reader never lets a product file use, so no scan, plan or deletion treats it as a file
// of the copy.
extern const char kWorkRecordName[];
std::string work_record_path(const std::string& install_path);

// Whether the copy at `install_path` (ending '/') holds a record; fills `record` when it does.
bool read_work_record(const std::string& install_path, WorkRecord* record);
// Writes (or replaces) the record in an existing copy folder, as one step. 0 or an error code.
int write_work_record(const std::string& install_path, const WorkRecord& record);
// Makes the copy's folder (which must not exist; its parent must) with the record already in
// it, so that the folder never exists without it. 0 or an error code.
int create_copy_with_record(const std::string& install_path, const WorkRecord& record);
// Removes the record: the work is done. 0 (also when there was none) or an error code.
int clear_work_record(const std::string& install_path);

// The work the Install Scope and the selected tiles describe now.
WorkRecord work_record_of_scope();
// What the work is, for messages: "removal", "install" (base files and scenery), "scenery
// change", or "repair".
std::string work_kind_name(const WorkRecord& record);
// Whether `folder` holds a record of an install that did not finish: the DVD install may
// carry on in it instead of refusing a folder that exists.
bool holds_unfinished_install(const std::string& folder);

// Whether a path inside the copy (install-relative) uses a name the engine keeps for its own
// files (the record, partial files): a manifest may not name such a file.
bool is_reserved_copy_path(const std::string& install_relative);
