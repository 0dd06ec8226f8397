#pragma once
// Per-frame input and the little state the widgets keep between frames, in one struct
// that the window fills from its events and that tests set directly.

#include <functional>
#include <string>
#include <vector>

#include "platform/window_sdl.h"

// Keys the text editor and the key map care about: the window's keys. Letters and
// digits use their lower-case ASCII codes; the others start at 256.
enum UiKey {
  key_none = 0,
  key_text = 1,  // typed text: the event's text holds UTF-8
  key_left = window_key_left,
  key_right = window_key_right,
  key_up = window_key_up,
  key_down = window_key_down,
  key_home = window_key_home,
  key_end = window_key_end,
  key_backspace = window_key_backspace,
  key_delete = window_key_delete,
  key_return = window_key_return,
  key_escape = window_key_escape,
  key_tab = window_key_tab,
  key_other = window_key_other,
};
enum UiKeyMod { mod_shift = window_mod_shift, mod_ctrl = window_mod_ctrl, mod_alt = window_mod_alt };

struct KeyEvent {
  int key = key_none;
  int mods = 0;
  std::string text;  // for key_text
};

// Written by the window's event pump; the flags marked "this frame" are cleared by
// begin_input_frame() at the start of every main-loop pass.
struct UiInput {
  float mouse_x = -10000.0f;  // page units, origin lower-left, y up
  float mouse_y = -10000.0f;
  bool button_went_down = false;  // this frame
  bool button_went_up = false;    // this frame
  bool button_held = false;
  bool right_went_down = false;  // this frame
  int drag = -1;                 // drag-in-progress marker; -1 none
  bool key_went_down = false;    // this frame
  bool return_pressed = false;   // this frame: Return or "="
  bool escape_pressed = false;   // this frame
  bool custom_cursor = false;    // this frame: a widget chose its own cursor
  float wheel = 0.0f;            // wheel notches, accumulated
  std::vector<KeyEvent> keys;    // keyboard events for the focused text field
};

struct UiContext {
  UiInput in;

  // Window geometry: the page (800 x 600 design size) is drawn `page_scale` window pixels
  // to the unit, at the page origin (page units): client pixel = (page + origin) * scale.
  int window_width = 800;
  int window_height = 600;
  float page_origin_x = 0.0f;
  float page_origin_y = 0.0f;
  float page_scale = 1.0f;

  // Help part of the widget under the mouse, this frame.
  std::string help_text;

  // Keyboard focus of the one Text Field that has it; the field is known by the
  // address of the string it edits.
  const std::string* focus = nullptr;
  long focus_seen_frame = -1;  // last frame the focused field was drawn
  size_t caret = 0;            // byte offsets into the text, on character starts
  size_t anchor = 0;           // selection is anchor..caret
  bool selecting = false;      // mouse drag inside the focused field
  long frame = 0;

  double seconds = 0.0;  // time of this frame, for pulsing colours and the caret blink

  // The system clipboard, and showing the back buffer at once; the window installs
  // these. Without them the clipboard lives in `clipboard` (tests).
  std::function<std::string()> get_clipboard;
  std::function<void(const std::string&)> set_clipboard;
  std::string clipboard;
};

UiContext& ui();
void reset_ui_context();

// The page's design size in page units.
constexpr float k_page_width = 800.0f;
constexpr float k_page_height = 600.0f;

// Sets the window's size in pixels and fits the page into it: the largest uniform scale
// that shows all of it, centred, with the bars beside or above it left to the background
// colour. The page's corner lands on a whole pixel.
void fit_page_to_window(int width, int height);
// The whole window in page units (wider or taller than the page when it is letterboxed).
void window_rect_in_page(float& x0, float& y0, float& x1, float& y1);
// A client pixel (origin upper-left, y down) in page units (origin lower-left, y up).
void client_to_page(float client_x, float client_y, float& page_x, float& page_y);

// Clears the per-frame input flags and advances the frame counter.
void begin_input_frame();

std::string clipboard_text();
void set_clipboard_text(const std::string& text);
