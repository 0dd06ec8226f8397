#include "ui/window.h"

#include <cstdlib>

#include "core/app_state.h"
#include "core/log.h"
#include "core/options.h"
#include "platform/desktop_scale.h"
#include "ui/draw_gl.h"
#include "ui/png_image.h"
#include "ui/texture_slots.h"
#include "ui/ui_context.h"

namespace {

void log_window_text(const std::string& text) { log_write(text); }

void set_mouse(int client_x, int client_y) {
  UiInput& in = ui().in;
  client_to_page(static_cast<float>(client_x), static_cast<float>(client_y), in.mouse_x, in.mouse_y);
}

int mouse_button(int window_button) {
  if (window_button == window_button_left) return mouse_left;
  if (window_button == window_button_right) return mouse_right;
  return 0;
}

void handle(const WindowEvent& e) {
  UiInput& in = ui().in;
  switch (e.kind) {
    case window_event_close: app().quit_flag = 1; break;
    case window_event_mouse_move:
      set_mouse(e.x, e.y);
      input_mouse_move(in.mouse_x, in.mouse_y);
      break;
    case window_event_button_down:
      set_mouse(e.x, e.y);
      if (mouse_button(e.button)) input_button_down(mouse_button(e.button), in.mouse_x, in.mouse_y);
      break;
    case window_event_button_up:
      set_mouse(e.x, e.y);
      if (mouse_button(e.button)) input_button_up(mouse_button(e.button), in.mouse_x, in.mouse_y);
      break;
    case window_event_wheel:
      in.wheel += e.wheel;
      in.wheel_this_frame += e.wheel;
      break;
    case window_event_resize: fit_page_to_window(e.x, e.y); break;
    case window_event_key_down: {
      in.key_went_down = true;
      // A held key answers nothing more than its first press did.
      if (e.return_key && !e.repeat) in.return_pressed = true;
      if (e.key == key_escape && !e.repeat) in.escape_pressed = true;
      KeyEvent ev;
      ev.key = e.key;
      ev.mods = e.mods;
      ev.repeat = e.repeat;
      // Printable keys arrive as text; letters matter here only as Ctrl commands.
      if (ev.key >= 256 || (ev.mods & mod_ctrl)) in.keys.push_back(ev);
      break;
    }
    case window_event_text: {
      KeyEvent ev;
      ev.key = key_text;
      ev.text = e.text;
      in.keys.push_back(ev);
      break;
    }
    default: break;
  }
}

}  // namespace

int scale_option(const std::string& value) {
  if (value.empty() || value.size() > 1 || value[0] < '1' || value[0] > '0' + k_largest_scale) return 0;
  return value[0] - '0';
}

WindowSettings window_settings_from_options() {
  WindowSettings s;
  if (has_option("--monitor_offset_x")) s.offset_x = std::atoi(option_value("--monitor_offset_x").c_str());
  if (has_option("--monitor_offset_y")) s.offset_y = std::atoi(option_value("--monitor_offset_y").c_str());
  const int asked = has_option("--scale") ? scale_option(option_value("--scale")) : 0;
  if (has_option("--scale") && asked == 0)
    LOG << "Ignoring --scale=" << option_value("--scale") << ": the scale is a whole number from 1 to "
        << k_largest_scale << ".\n";
  s.scale = asked > 0 ? asked : desktop_scale_factor();
  s.scale_from_desktop = asked == 0;
  return s;
}

int open_window(const WindowSettings& settings) {
  close_window();
  window_set_log(log_window_text);
  const int made = window_create(settings);
  if (made != window_ok) return made;
  const WindowInfo& info = window_info();
  fit_page_to_window(info.width, info.height);
  UiContext& c = ui();
  c.get_clipboard = window_clipboard;
  c.set_clipboard = window_set_clipboard;
  set_graphics_thread();
  use_gl_draw_backend();
  window_show();
  app().window_ready = true;
  return window_ok;
}

void close_window() {
  if (window_exists()) stop_gl_draw_backend();
  window_destroy();
  UiContext& c = ui();
  c.get_clipboard = nullptr;
  c.set_clipboard = nullptr;
  app().window_ready = false;
}

// A text field that has the focus and was drawn in the last frame.
bool text_field_focused() {
  const UiContext& c = ui();
  return c.focus != nullptr && c.focus_seen_frame >= c.frame - 1;
}

int pump_window_events(int wait_ms) {
  // Typed text (and an on-screen keyboard) only while a field takes it.
  window_set_text_input(text_field_focused());
  std::vector<WindowEvent> events;
  const int count = window_pump_events(wait_ms, events);
  for (const WindowEvent& e : events) handle(e);
  return count;
}

void give_key(int key, int mods, const std::string& text) {
  if (window_exists()) {
    window_push_key(key, mods, text);
    return;
  }
  WindowEvent e;
  e.kind = window_event_key_down;
  e.key = key;
  e.mods = mods;
  e.return_key = key == key_return || (key == '=' && !(mods & (mod_ctrl | mod_alt)));
  handle(e);
  if (!text.empty() && !(mods & (mod_ctrl | mod_alt))) give_text(text);
}

void give_text(const std::string& text) {
  if (window_exists()) {
    window_push_text(text);
    return;
  }
  WindowEvent e;
  e.kind = window_event_text;
  e.text = text;
  handle(e);
}

int read_window_pixels(Image& out) {
  out = Image();
  return window_read_pixels(out.width, out.height, out.rgba);
}
