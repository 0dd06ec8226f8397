#pragma once
// The preferences file "Zephiro Installer.prf" in the preferences folder.

#include <string>

struct Preferences {
  std::string message[4];  // _message_1 .. _message_4
  int stream_count = 0;
  int log_actions = 0;
  std::string proxy_host;
  std::string proxy_port;
  int proxy_port_int = 0;
  int get_beta = 0;
};

Preferences& prefs();
void reset_preferences();

enum { prefs_read = 0, prefs_write = 1 };
// Reads (mode 0) or writes (mode 1) the preferences file. Writing is skipped under
// "--fps_test" and "--qa_script".
void exchange_preferences(int mode);
std::string preferences_file_path();
