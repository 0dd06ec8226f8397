#include "ui/ui_context.h"

#include "ui/keyboard_focus.h"

#include <algorithm>
#include <cmath>

namespace {
UiContext g_ui;

// A press becomes a drag past this distance (page units) or this time held.
const float k_drag_distance = 3.0f;
const double k_drag_seconds = 0.4;

// The held mouse has left a click behind and is dragging.
void track_drag() {
  UiInput& in = g_ui.in;
  if (!in.tracking || in.drag != -1) return;
  const float dx = in.mouse_x - in.press_x, dy = in.mouse_y - in.press_y;
  if (dx * dx + dy * dy > k_drag_distance * k_drag_distance || g_ui.seconds - in.press_seconds > k_drag_seconds)
    in.drag = 0;
}
}  // namespace

UiContext& ui() { return g_ui; }

void reset_ui_context() {
  g_ui = UiContext();
  reset_keyboard_focus();
}

void fit_page_to_window(int width, int height) {
  UiContext& c = g_ui;
  c.window_width = width;
  c.window_height = height;
  if (width <= 0 || height <= 0) return;
  const float scale = std::min(width / k_page_width, height / k_page_height);
  c.page_scale = scale;
  c.page_origin_x = std::floor((width - k_page_width * scale) / 2) / scale;
  c.page_origin_y = std::floor((height - k_page_height * scale) / 2) / scale;
}

void window_rect_in_page(float& x0, float& y0, float& x1, float& y1) {
  const UiContext& c = g_ui;
  x0 = -c.page_origin_x;
  y0 = -c.page_origin_y;
  x1 = c.window_width / c.page_scale - c.page_origin_x;
  y1 = c.window_height / c.page_scale - c.page_origin_y;
}

void client_to_page(float client_x, float client_y, float& page_x, float& page_y) {
  const UiContext& c = g_ui;
  page_x = client_x / c.page_scale - c.page_origin_x;
  page_y = (c.window_height - client_y) / c.page_scale - c.page_origin_y;
}

void begin_input_frame() {
  drop_frame_input();
  g_ui.in.custom_cursor = false;
  g_ui.help_text.clear();
  ++g_ui.frame;
  track_drag();  // a press held long enough becomes a drag without moving
}

void input_mouse_move(float x, float y) {
  g_ui.in.mouse_x = x;
  g_ui.in.mouse_y = y;
  track_drag();
}

void input_button_down(int button, float x, float y) {
  UiInput& in = g_ui.in;
  in.mouse_x = x;
  in.mouse_y = y;
  in.button_went_down = true;
  if (button == mouse_right) in.right_went_down = true;
  in.buttons_down |= button;
  in.button_held = true;
  in.press_x = x;
  in.press_y = y;
  in.press_seconds = g_ui.seconds;
  in.tracking = true;
  in.drag = -1;
}

void input_button_up(int button, float x, float y) {
  UiInput& in = g_ui.in;
  in.mouse_x = x;
  in.mouse_y = y;
  track_drag();
  in.button_went_up = true;
  in.buttons_down &= ~button;
  in.button_held = in.buttons_down != 0;
  if (!in.button_held) {
    in.tracking = false;
    in.drag = -1;
  }
}

void drop_frame_input() {
  UiInput& in = g_ui.in;
  in.button_went_down = false;
  in.button_went_up = false;
  in.right_went_down = false;
  in.key_went_down = false;
  in.return_pressed = false;
  in.escape_pressed = false;
  in.wheel_this_frame = 0.0f;
  in.keys.clear();
}

std::string clipboard_text() {
  if (g_ui.get_clipboard) return g_ui.get_clipboard();
  return g_ui.clipboard;
}

void set_clipboard_text(const std::string& text) {
  if (g_ui.set_clipboard)
    g_ui.set_clipboard(text);
  else
    g_ui.clipboard = text;
}
