#pragma once
// Process-wide state of the application shell, in one place so tests can reset it.

#include <functional>
#include <string>

enum TargetPlatform { platform_all = 0, platform_apl = 1, platform_ibm = 2, platform_lin = 3 };

// UI Mode values: 0 the wizard; 992..999 are full-window modal modes.
enum UiMode { ui_mode_wizard = 0, ui_mode_alert = 994, ui_mode_conflict = 996, ui_mode_modal = 997 };

struct AppState {
  int quit_flag = 0;
  int ui_mode = -1;  // -1 until the main loop sets it for the first time
  int target_platform = platform_lin;
  int language = 0;  // 0 English, 1 French, 2 German, 3 Russian, 4 Italian, 5 Spanish
  std::string temp_folder;
  bool window_ready = false;  // the window's graphics can draw an in-window alert
  bool command_line_mode = false;  // --install/--modify/--repair/--verify: no window at all
  // The normal shutdown (preferences saved, threads stopped, window released), run before
  // the process hands over to another program.
  std::function<void()> orderly_shutdown;
};

AppState& app();
void reset_app_state();

// The platform this build runs on: the default Target Platform.
int host_platform();
