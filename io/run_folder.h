#pragma once
// This run's own folder for scratch files (the archives copied from the disc, the extracted
// manifest): "zephiro-run-<process>-<n>/" in the temporary folder, made at start-up and
// removed with all it holds when the run ends, however it ends in order. The run holds a
// lock on it while it lives, which the system drops when the process dies: a later run
// removes the folders of runs that were killed, never one of a live run.

#include <string>

// Makes this run's folder under `temp_root` (ending '/'); its path ends '/'. Empty when it
// cannot be made (the caller then works in the temporary folder itself).
std::string open_run_folder(const std::string& temp_root);
// The folder made by open_run_folder(), or empty.
const std::string& run_folder();
// Removes this run's folder and everything in it.
void remove_run_folder();
// Removes the run folders under `temp_root` that no live run holds. Returns how many.
int remove_stale_run_folders(const std::string& temp_root);

// Where scratch files go: the run's folder once start-up has made it (the application
// state's temporary folder), else the temporary folder itself.
std::string scratch_folder();

void reset_run_folder();  // forgets (and unlocks) the folder without removing it (tests)
