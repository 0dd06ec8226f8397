#pragma once
// The program's one window and its OpenGL context, through SDL2: creation, events into
// the input state, swap, clipboard, text input, cursor, message box, read-back.

#include <string>
#include <vector>

struct WindowSettings {
  int width = 800, height = 600;  // the design size
  // The window is `scale` times the design size. A scale that only the desktop asked for
  // is lowered until the window fits the screen; one the user asked for is kept, and the
  // window then shrinks to the screen as any window too large for it does.
  int scale = 1;
  bool scale_from_desktop = false;
  int colour_depth = 32;          // bits a pixel: 32, or 16
  int antialias = 0;              // preferred multisampling level 0..4
  int swap_interval = 1;
  int offset_x = 0, offset_y = 0;  // --monitor_offset_x / --monitor_offset_y
};

struct WindowInfo {
  int width = 0, height = 0;                  // client area now, in pixels
  int monitor_width = 0, monitor_height = 0;  // the desktop when the window was made
  int depth_bits = 0;
  int antialias = 0;  // multisampling level used, 0 none
  bool vsync = false;
};

enum { window_ok = 0, window_no_video = 1, window_no_context = 2 };

// Where a window of the settings goes on a screen of monitor_* pixels whose usable part
// (without panels) is usable_*.
struct WindowPlan {
  int width = 0, height = 0;  // client area to ask for
  int scale = 1;              // the scale after the desktop's was fitted to the screen
  bool caption = true;        // a caption bar; else a borderless pop-up
  bool fits = true;           // false: too large, made the usable screen's size instead
};
WindowPlan plan_window(const WindowSettings& s, int monitor_width, int monitor_height, int usable_width,
                       int usable_height);

// Where the window layer's diagnostics go (the program's log); none drops them.
void window_set_log(void (*log)(const std::string& text));

// Makes the window and its context, sets the fixed drawing state and the 2-D
// projection. The window stays hidden until window_show(). Nothing is drawn before.
// A window of the asked size that fits the usable screen gets a caption bar; one that
// fits only the whole screen is a borderless pop-up; a larger one is made the size of the
// usable screen instead (logged), and may be resized.
int window_create(const WindowSettings& settings);
void window_show();
void window_destroy();
bool window_exists();
const WindowInfo& window_info();

// Orthographic projection over the window's pixels, origin lower-left; viewport = window.
void window_set_projection();
void window_swap();
// Clears colour and depth for a new frame.
void window_clear(float r, float g, float b);

// Keys the program cares about. Letters and digits use their lower-case ASCII codes;
// the others start at 256.
enum WindowKey {
  window_key_left = 256,
  window_key_right,
  window_key_up,
  window_key_down,
  window_key_home,
  window_key_end,
  window_key_backspace,
  window_key_delete,
  window_key_return,
  window_key_escape,
  window_key_tab,
  window_key_other,
  window_key_space,
  window_key_page_up,
  window_key_page_down,
  // A game controller's A button: it activates what has the keyboard focus (a button, a
  // box, a tile), or the page's default button from a text field.
  window_key_activate,
};
enum WindowKeyMod { window_mod_shift = 1, window_mod_ctrl = 2, window_mod_alt = 4 };

enum WindowEventKind {
  window_event_close,
  window_event_mouse_move,
  window_event_button_down,
  window_event_button_up,
  window_event_wheel,
  window_event_key_down,
  window_event_text,
  window_event_resize,  // the client area changed size: x and y hold the new size
};
enum WindowButton { window_button_left = 1, window_button_right = 3, window_button_other = 0 };

struct WindowEvent {
  int kind = window_event_close;
  int x = 0, y = 0;          // mouse events: client pixels, origin upper-left
  int button = 0;            // button events: WindowButton
  float wheel = 0;           // wheel notches, positive away from the user
  int key = 0;               // key down: WindowKey, or a letter or digit
  int mods = 0;              // key down: WindowKeyMod bits
  bool return_key = false;   // key down: Return, keypad Enter or "="
  bool repeat = false;       // key down: the key is held and the system repeats it
  std::string text;          // typed text, UTF-8
};

// Takes the waiting events; when there are none, waits up to `wait_ms` for one.
// Returns the number taken.
int window_pump_events(int wait_ms, std::vector<WindowEvent>& out);

// Queues input as if the user had given it (scripted runs and tests): a mouse move to a
// client pixel with the left button going down, up or neither (0); a close request.
void window_push_mouse(int client_x, int client_y, int button);  // 1 down, -1 up, 0 move
void window_push_close();
// Queues a key as the window would report it from the keyboard: the key going down with
// its modifiers and, while text input is on, the `text` it types (none with Ctrl or Alt).
void window_push_key(int key, int mods, const std::string& text);
// Queues typed text, as an input method delivers it.
void window_push_text(const std::string& text);

// Text input (the system's input methods, an on-screen keyboard) is on only while a text
// field has the keyboard focus; typed characters arrive only then.
void window_set_text_input(bool on);
bool window_text_input_on();

// Game controllers (through SDL's game controller interface) arrive as keys: the
// directional pad and the left stick as the arrows (repeating while held), A as
// window_key_activate, B as Escape, the right shoulder as Tab and the left one as
// Shift+Tab, Start as Return.
enum WindowPadButton {
  pad_a, pad_b, pad_x, pad_y, pad_back, pad_start, pad_left_shoulder, pad_right_shoulder,
  pad_up, pad_down, pad_left, pad_right,
};
// A controller of the program's own (SDL's virtual joystick), for scripted runs: attached
// (it arrives as a new controller with the next events), then its button goes down or up,
// or its left stick moves to (x, y), each -1..1 with y down. Each returns 0, or 1 when
// there is no such controller.
int window_virtual_pad_attach();
bool window_virtual_pad_attached();
int window_virtual_pad_button(int button, bool down);
int window_virtual_pad_stick(float x, float y);

// The back buffer as RGBA, bottom row first (alpha forced opaque).
int window_read_pixels(int& width, int& height, std::vector<unsigned char>& rgba);

std::string window_clipboard();
void window_set_clipboard(const std::string& text);

enum WindowCursor { cursor_arrow = 0, cursor_hand = 1, cursor_text = 2 };
void window_set_cursor(int cursor);

// A native message box; works before (and without) the window. Returns 0 when shown.
int window_message_box(const std::string& title, const std::string& text, bool error);

// Graphics contexts for worker threads that share textures with the window's context.
// Create on the main thread (its own context stays current); bind on the worker.
void* window_create_shared_context();
bool window_bind_context(void* context);  // null releases the calling thread's context
void window_delete_context(void* context);
// Waits until the calling thread's drawing commands are done (a worker's texture is
// then usable from the main thread's context).
void window_finish_drawing();
// Makes the window's own context current on the calling (main) thread again.
bool window_bind_main_context();
