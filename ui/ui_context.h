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
  key_space = window_key_space,
  key_page_up = window_key_page_up,
  key_page_down = window_key_page_down,
  key_activate = window_key_activate,  // a game controller's A
};
enum UiKeyMod { mod_shift = window_mod_shift, mod_ctrl = window_mod_ctrl, mod_alt = window_mod_alt };

struct KeyEvent {
  int key = key_none;
  int mods = 0;
  std::string text;  // for key_text
  bool repeat = false;  // the key is held and repeats
};

// Written by the window's event pump; the flags marked "this frame" are cleared by
// begin_input_frame() at the start of every main-loop pass.
struct UiInput {
  float mouse_x = -10000.0f;  // page units, origin lower-left, y up
  float mouse_y = -10000.0f;
  bool button_went_down = false;  // this frame: left or right, both click
  bool button_went_up = false;    // this frame
  bool button_held = false;       // any button is down
  bool right_went_down = false;  // this frame: the press was the right button
  int drag = -1;                 // drag-in-progress marker; -1 none
  int buttons_down = 0;          // bit 0 left, bit 1 right
  bool tracking = false;         // a press is being watched for a drag
  float press_x = 0, press_y = 0;  // where the last press was
  double press_seconds = 0;        // when it was
  bool key_went_down = false;    // this frame
  bool return_pressed = false;   // this frame: Return or "="
  bool escape_pressed = false;   // this frame
  bool custom_cursor = false;    // this frame: a widget chose its own cursor
  float wheel = 0.0f;            // wheel notches, accumulated
  float wheel_this_frame = 0.0f; // this frame: notches, positive away from the user
  std::vector<KeyEvent> keys;    // this frame's keyboard events, for the focus and the text field
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
  size_t scroll = 0;           // first character shown when the text is wider than the box
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

// The mouse as the window (or the scripted user) reports it, in page units. A press of
// either button is a click and starts drag tracking; the press becomes a drag once the
// held mouse has moved a few units or stayed down a while, and its release ends it. A
// short click that hardly moved never becomes a drag, so the widgets under the mouse
// keep their hover and their clicks.
enum MouseButton { mouse_left = 1, mouse_right = 2 };
void input_mouse_move(float x, float y);
void input_button_down(int button, float x, float y);
void input_button_up(int button, float x, float y);

// Forgets this frame's clicks and keys: they were meant for something that covers the
// page (an alert, a dialog).
void drop_frame_input();

std::string clipboard_text();
void set_clipboard_text(const std::string& text);
