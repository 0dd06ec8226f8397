#pragma once
// The installed copies registry: "zephiro_install.txt" in the preferences folder, one
// install folder per line, and the list of copies read from it.

#include <string>
#include <vector>

struct RegistryState {
  std::vector<std::string> installed_copies;  // existing folders, in file order
};

RegistryState& registry();
void reset_registry();

// Full name of the registry file; empty when the preferences folder is unknown.
std::string registry_file_path();

// Rebuilds the list from the file; lines naming folders that are gone are left out.
void read_installed_copies();

// Makes sure `install_path` (a folder path ending '/') is a line of the file,
// appending it when it is not. Returns 0, or the error code of a registration that could not
// be written (logged; the caller tells the user, since a copy that is not registered is
// not offered by later runs).
int register_install_path(const std::string& install_path);

// Takes every line naming `install_path` out of the file (a removed copy), keeping the
// other lines as they were, and rebuilds the list. 0 (also when it was not there) or an
// error code; the file is replaced as a whole, so a kill leaves the old or the new file.
int unregister_install_path(const std::string& install_path);
