#include "ui/ui_context.h"

#include <algorithm>
#include <cmath>

namespace {
UiContext g_ui;
}

UiContext& ui() { return g_ui; }

void reset_ui_context() { g_ui = UiContext(); }

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
  UiInput& in = g_ui.in;
  in.button_went_down = false;
  in.button_went_up = false;
  in.right_went_down = false;
  in.key_went_down = false;
  in.return_pressed = false;
  in.escape_pressed = false;
  in.custom_cursor = false;
  in.keys.clear();
  g_ui.help_text.clear();
  ++g_ui.frame;
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
