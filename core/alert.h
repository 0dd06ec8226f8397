#pragma once
// The one way to tell the user about a failure: four lines, a kind, and where it was raised.

#include <functional>
#include <string>

#include "core/app_state.h"

enum AlertKind { alert_language = 0, alert_info = 1, alert_quit = 2, alert_crash = 3 };

struct AlertRequest {
  std::string lines[4];
  std::string file;
  int line = 0;
  int kind = alert_info;
};

// Shows the alert: a native message box before the window exists (standard error without
// a display), else a panel in the window until the user answers it; under "--fps_test"
// and "--qa_script" only the log gets it. Returns only for kinds 0 and 1 (and, in tests,
// when a handler is installed): kind 2 ends the program with exit code 0, kind 3 with 1
// after appending a stack crawl to "stack_crawl.txt".
void alert(int prev_ui_mode, const std::string& l1, const std::string& l2, const std::string& l3,
           const std::string& l4, int kind, const char* file, int line);

// "(unit line N)" with the file's name without its folders, and a negative line written
// as "-N".
std::string alert_location(const std::string& file, int line);

// Replaces the showing of alerts (tests capture with one; the command-line mode prints).
// The handler is called on the main thread with the request; it decides what happens.
void set_alert_handler(std::function<void(const AlertRequest&)> handler);

// Called first by alert(): the thread pool installs a router that queues an alert raised
// on a worker thread for the main thread and returns true; false means "show it here".
void set_alert_router(bool (*router)(const AlertRequest&));

// The window's layer installs the in-window panel when the window can show alerts: it
// shows the request until the user answers (restoring `prev_ui_mode` for kinds 0 and 1).
// Without one, alerts go to the native message box.
using AlertPanelHook = void (*)(int prev_ui_mode, const AlertRequest& request, const std::string& location);
void set_alert_panel(AlertPanelHook panel);
// The shutdown without saving that runs before a fatal alert ends the process.
void set_alert_shutdown(void (*shut_down)());

// Whether an alert is on screen now (another one then ends the program).
bool alert_showing();
// Drops the handler, the router, the hooks and the showing flag (tests).
void reset_alert();

#define ALERT(kind, l1, l2, l3, l4) alert(app().ui_mode, (l1), (l2), (l3), (l4), (kind), __FILE__, __LINE__)
