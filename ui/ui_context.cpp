#include "ui/ui_context.h"

namespace {
UiContext g_ui;
}

UiContext& ui() { return g_ui; }

void reset_ui_context() { g_ui = UiContext(); }

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
