#pragma once
// The preferences file "Zephiro Installer.prf" in the preferences folder.

#include <string>

enum { prefs_read = 0, prefs_write = 1 };
// Reads (mode 0) or writes (mode 1) the preferences file. Writing is skipped under
// "--fps_test" and "--qa_script"; it replaces the file only once the new one is written
// whole, and a failure raises an information alert.
void exchange_preferences(int mode);
std::string preferences_file_path();
