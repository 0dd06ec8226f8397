#pragma once
// Carries out an Install Plan on the copy: makes its folders, deletes what the plan
// marked, and extracts the marked groups from the discs, one disc after the other.

#include <string>

// 0, or the code of the first folder that could not be made (the user has been told).
int create_install_folders();
// Deletes every file with the Delete flag and prunes the folders that emptied.
void delete_unwanted_files();

enum InstallStepResult {
  install_working = 0,
  install_done = 1,
  install_needs_disc = 2,  // next_group stands at the first group of another disc
  install_failed = 3,      // take_install_error() says why
};
// Call every frame with next_group starting at 0 and the disc in the drive.
int install_step(int& next_group, int disc);
// The group the work is at, for a progress line: the first one still being copied or
// extracted, else the next one the plan installs from `next_group` on; the group count
// when nothing is left but the end of the run.
int install_position(int next_group);
// Waits for the copies and extractions in flight and ends the run. Always true.
bool abort_install();
// The last failure's code and message, cleared by reading.
int take_install_error(std::string& message);

void reset_executor();
