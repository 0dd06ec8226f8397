#include "core/alert.h"

#include <cstdio>
#include <cstdlib>

#include "core/app_state.h"
#include "core/crash_log.h"
#include "core/log.h"
#include "core/options.h"
#include "platform/host.h"
#include "platform/window_sdl.h"

namespace {

struct AlertState {
  std::function<void(const AlertRequest&)> handler;
  bool (*router)(const AlertRequest&) = nullptr;
  bool showing = false;  // an alert is on screen; another one now is fatal
  AlertPanelHook panel = nullptr;          // the in-window panel, once the window can show it
  void (*shut_down)() = nullptr;       // the shutdown without saving before a fatal end
};

AlertState& state() {
  static AlertState s;
  return s;
}

[[noreturn]] void end_process(int exit_code) {
  app().quit_flag = 1;
  if (state().shut_down) state().shut_down();
  std::fflush(nullptr);
  // Workers may still be running: end without running the destructors of what they use.
  std::_Exit(exit_code);
}

bool is_fatal(int kind) { return kind == alert_quit || kind == alert_crash; }

std::string lines_and_location(const AlertRequest& r, const std::string& where) {
  return r.lines[0] + "\n" + r.lines[1] + "\n" + r.lines[2] + "\n" + r.lines[3] + "\n" + where + "\n";
}

// The system's own message box; where there is no display, standard error.
void show_native(const AlertRequest& r, const std::string& where) {
  const std::string text = r.lines[0] + "\n\n" + r.lines[1] + "\n\n" + r.lines[2] + "\n\n" + r.lines[3];
  if (platform::has_desktop() && window_message_box("Nimbrel Message", text, false) == 0) return;
  std::fputs(lines_and_location(r, where).c_str(), stderr);
  std::fflush(stderr);
}

bool any_line(const AlertRequest& r) {
  for (const std::string& line : r.lines)
    if (!line.empty()) return true;
  return false;
}

void show_alert(int prev_ui_mode, const AlertRequest& r) {
  const std::string where = alert_location(r.file, r.line);
  if (r.kind == alert_crash) append_stack_crawl("stack_crawl.txt");

  // Unattended test runs never wait for a user: the log gets everything.
  if (has_option("--fps_test") || has_option("--qa_script")) {
    log_write(lines_and_location(r, where));
    log_flush();
    if (is_fatal(r.kind)) end_process(1);
    return;
  }

  AlertState& s = state();
  const bool nested = s.showing;
  s.showing = true;
  if (!app().window_ready || !s.panel || nested)
    show_native(r, where);
  else if (any_line(r) || r.kind == alert_language)
    s.panel(prev_ui_mode, r, where);

  if (r.kind != alert_language || nested) {
    if (is_fatal(r.kind) || nested)
      log_write(std::string("MACIBM_alert (with code ") + (r.kind == alert_crash ? "t_crash" : "t_quit") + ")\n");
    log_write("\n" + lines_and_location(r, where));
    log_flush();
  }
  if (is_fatal(r.kind) || nested) end_process(r.kind == alert_crash || nested ? 1 : 0);
  s.showing = false;
}

}  // namespace

std::string alert_location(const std::string& file, int line) {
  // Written by hand so the most negative int keeps its digits.
  long long n = line;
  std::string number = n < 0 ? "-" + std::to_string(-n) : std::to_string(n);
  // The unit's name only: the folders of the machine that built the program mean nothing
  // to the user.
  const size_t cut = file.find_last_of("/\\");
  const std::string unit = cut == std::string::npos ? file : file.substr(cut + 1);
  return "(" + unit + " line " + number + ")";
}

void set_alert_handler(std::function<void(const AlertRequest&)> handler) {
  state().handler = std::move(handler);
}

void set_alert_router(bool (*router)(const AlertRequest&)) { state().router = router; }

void set_alert_panel(AlertPanelHook panel) { state().panel = panel; }

void set_alert_shutdown(void (*shut_down)()) { state().shut_down = shut_down; }

bool alert_showing() { return state().showing; }

void reset_alert() {
  AlertState& s = state();
  s.handler = nullptr;
  s.router = nullptr;
  s.showing = false;
  s.panel = nullptr;
  s.shut_down = nullptr;
}

void alert(int prev_ui_mode, const std::string& l1, const std::string& l2, const std::string& l3,
           const std::string& l4, int kind, const char* file, int line) {
  AlertRequest req;
  req.lines[0] = l1;
  req.lines[1] = l2;
  req.lines[2] = l3;
  req.lines[3] = l4;
  req.file = file ? file : "";
  req.line = line;
  req.kind = kind;

  AlertState& s = state();
  if (s.router && s.router(req)) return;  // queued for the main thread
  if (s.handler) {
    s.handler(req);
    return;
  }
  show_alert(prev_ui_mode, req);
}
