#pragma once
// Picking the installed copy the wizards work on.

#include <string>

// A folder is an installed copy when it holds sub-folders whose names contain "Airfoils",
// "Instructions", "Output" and "Resources" (case-sensitive; plain files do not count).
bool is_installed_copy(const std::string& folder);
