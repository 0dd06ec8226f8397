#pragma once
// The signature scan of a copy and the Install Plan made from it: for each file group,
// whether its current version is to be installed, deleted or left alone.

#include <functional>
#include <string>

// Scans the copy a step at a time without blocking: call with next_group 0, then every
// frame until it returns 1. progress runs 0..1 (by groups submitted). quick: a file that
// exists counts as current, its contents are not read.
int checksum_step(int& next_group, bool quick, float& progress);
// Waits for the scan's tasks in flight and ends it. Always true (a page's quit handler).
bool abort_checksum();

// Sets the Install and Delete flags and the Progress Start of every group. Asks the
// Conflict Prompt about files the user changed. 1 = plan made, 0 = the user cancelled.
int build_install_plan();

// The question asked about a changed file: 1 overwrite/delete it, 2 keep it, 3 cancel the
// whole installation, 4 overwrite/delete every such file of its folder, 5 keep every such
// file of its folder. The window installs the drawn prompt; a command line answers its way.
using ConflictPrompt = std::function<int(const std::string& location, bool delete_form)>;
void set_conflict_prompt(ConflictPrompt prompt);
// Asks the installed prompt; with none installed the user's file is kept (2).
int ask_conflict_prompt(const std::string& location, bool delete_form);

// The folder part of a path: up to and including its last separator (a path of three
// characters or fewer is taken whole).
std::string folder_part(const std::string& path);

void reset_install_plan();
