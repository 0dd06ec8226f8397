#include "app/alert.h"

#include <cstdio>
#include <cstdlib>

#include "app/app_state.h"
#include "app/crash_log.h"
#include "app/log.h"
#include "app/main_loop.h"
#include "app/options.h"
#include "app/startup.h"
#include "platform/child_process.h"
#include "platform/window_sdl.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/localization.h"
#include "ui/sprites.h"
#include "ui/text_render.h"
#include "ui/ui_context.h"
#include "ui/widgets.h"

namespace {

struct AlertState {
  std::function<void(const AlertRequest&)> handler;
  bool (*router)(const AlertRequest&) = nullptr;
  bool showing = false;  // an alert is on screen; another one now is fatal
};

AlertState& state() {
  static AlertState s;
  return s;
}

const float k_page_width = 800.0f;

[[noreturn]] void end_process(int exit_code) {
  app().quit_flag = 1;
  shut_down(false);
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
  const bool display = !get_environment("DISPLAY").empty() || !get_environment("WAYLAND_DISPLAY").empty();
  if (display && window_message_box("Nimbrel Message", text, false) == 0) return;
  std::fputs(lines_and_location(r, where).c_str(), stderr);
  std::fflush(stderr);
}

// The in-window panel of one pass; true when the user answered it this pass.
bool draw_alert_panel(const AlertRequest& r, const std::string& where) {
  const UiContext& c = ui();
  fill_rect(colour_modal_fill, -c.page_origin_x, -c.page_origin_y, c.window_width - c.page_origin_x,
            c.window_height - c.page_origin_y);
  draw_full_window_frame(false);
  std::string label;
  if (r.kind == alert_language) {
    int row = 0;
    for (int i = 0; i < language_count; ++i) {
      if (!language_available(i)) continue;
      radio_item(k_page_width / 2 - 25, 180.0f - 20.0f * row, app().language, i, language_display_name(i));
      ++row;
    }
    label = localize("Accept");
  } else {
    const float ys[4] = {215, 175, 135, 95};
    for (int i = 0; i < 4; ++i)
      draw_text(colour_label, k_page_width / 2, ys[i], r.lines[i], 0.9f * k_page_width, weight_regular, align_centre);
    if (is_fatal(r.kind))
      draw_text(colour_label, k_page_width / 2, 55, where, 0.9f * k_page_width, weight_regular, align_centre);
    label = localize("Understood");
  }
  const UiInput& in = c.in;
  const bool clicked = choice_button(k_page_width / 2, 18, 0, false, 1, label, "-") != 0;
  return clicked || in.return_pressed || (r.kind != alert_language && in.escape_pressed);
}

// The input that raised the alert (a click, a key) must not answer it as well.
void forget_this_frames_input() {
  UiInput& in = ui().in;
  in.button_went_down = false;
  in.return_pressed = false;
  in.escape_pressed = false;
  in.key_went_down = false;
  in.keys.clear();
}

void show_in_window(int prev_ui_mode, const AlertRequest& r, const std::string& where) {
  const float mouse_x = ui().in.mouse_x, mouse_y = ui().in.mouse_y;
  forget_this_frames_input();
  set_ui_mode(ui_mode_alert);
  for (;;) {
    // Closing the window answers the alert too: the program is on its way out.
    if (draw_alert_panel(r, where) || app().quit_flag) break;
    main_loop_iteration();
  }
  if (is_fatal(r.kind)) return;
  set_ui_mode(prev_ui_mode);
  ui().in.mouse_x = mouse_x;
  ui().in.mouse_y = mouse_y;
  forget_this_frames_input();
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
  if (!app().window_ready || nested)
    show_native(r, where);
  else if (any_line(r) || r.kind == alert_language)
    show_in_window(prev_ui_mode, r, where);

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
  return "(" + file + " line " + number + ")";
}

void set_alert_handler(std::function<void(const AlertRequest&)> handler) {
  state().handler = std::move(handler);
}

void set_alert_router(bool (*router)(const AlertRequest&)) { state().router = router; }

bool alert_showing() { return state().showing; }

void reset_alert() {
  AlertState& s = state();
  s.handler = nullptr;
  s.router = nullptr;
  s.showing = false;
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
