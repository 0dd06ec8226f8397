#pragma once
// The installed copies registry: "zephiro_install.txt" in the preferences folder, one
// install folder per line, and the list of copies read from it.

#include <string>
#include <vector>

struct RegistryState {
  std::vector<std::string> installed_copies;  // installed copies, in file order
};

RegistryState& registry();
void reset_registry();

// Full name of the registry file; empty when the preferences folder is unknown.
std::string registry_file_path();

// A folder is an installed copy when it holds sub-folders whose names contain "Airfoils",
// "Instructions", "Output" and "Resources" (case-sensitive; plain files do not count).
bool is_installed_copy(const std::string& folder);

// Whether a path can be a line of the file: it holds no control character (below 0x20, or
// 0x7F). A line break would split it into two lines, the second naming any folder.
bool is_registrable_path(const std::string& path);

// Rebuilds the list from the file. Lines naming folders that are gone, or that are not
// installed copies, are left out, as missing.
void read_installed_copies();

// Makes sure `install_path` (a folder path ending '/') is a line of the file,
// appending it when it is not. Returns 0, or the error code of a registration that could not
// be written (logged; the caller tells the user, since a copy that is not registered is
// not offered by later runs); EINVAL for a path that is not registrable.
int register_install_path(const std::string& install_path);

// Takes every line naming `install_path` out of the file (a removed copy), keeping the
// other lines as they were, and rebuilds the list. 0 (also when it was not there) or an
// error code; the file is replaced as a whole, so a kill leaves the old or the new file.
int unregister_install_path(const std::string& install_path);
