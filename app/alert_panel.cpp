#include "app/alert_panel.h"

#include "app/main_loop.h"
#include "core/alert.h"
#include "core/app_state.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/keyboard_focus.h"
#include "ui/localization.h"
#include "ui/sprites.h"
#include "ui/text_render.h"
#include "ui/ui_context.h"
#include "ui/widgets.h"

namespace {

bool is_fatal(int kind) { return kind == alert_quit || kind == alert_crash; }

// The in-window panel of one pass; true when the user answered it this pass.
bool draw_alert_panel(const AlertRequest& r, const std::string& where) {
  const UiContext& c = ui();
  fill_window(colour_modal_fill);
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
  const bool clicked = choice_button(k_page_width / 2, 18, 0, false, 1, label, "-", true) != 0;
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
  // An alert raised once the program is ending (the preferences could not be saved) is
  // still shown and waits for its answer; the program then ends as it was going to.
  const int quit_before = app().quit_flag;
  app().quit_flag = 0;
  focus_push_scope();
  for (;;) {
    // Closing the window answers the alert too: the program is on its way out.
    if (draw_alert_panel(r, where) || app().quit_flag) break;
    main_loop_iteration();
  }
  focus_pop_scope();
  if (quit_before) app().quit_flag = quit_before;
  if (is_fatal(r.kind)) return;
  set_ui_mode(prev_ui_mode);
  ui().in.mouse_x = mouse_x;
  ui().in.mouse_y = mouse_y;
  forget_this_frames_input();
}

}  // namespace

void install_alert_panel() { set_alert_panel(show_in_window); }
