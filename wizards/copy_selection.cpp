#include "wizards/copy_selection.h"

#include <vector>

#include "io/file_ops.h"

bool is_installed_copy(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  std::vector<std::string> names;
  std::vector<int> folders;
  int n = list_folder(path, names, folders);
  static const char* const kParts[] = {"Airfoils", "Instructions", "Output", "Resources"};
  for (const char* part : kParts) {
    bool found = false;
    for (int i = 0; i < n && !found; ++i) found = folders[i] && names[i].find(part) != std::string::npos;
    if (!found) return false;
  }
  return true;
}
