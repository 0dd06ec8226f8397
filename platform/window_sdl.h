#pragma once
// The program's one window and its OpenGL context, through SDL2: creation, events into
// the input state, swap, clipboard, text input, cursor, message box, read-back.

#include <string>

struct Image;

struct WindowSettings {
  int width = 800, height = 600;  // client area (the design size)
  int colour_depth = 32;          // bits a pixel: 32, or 16
  int antialias = 0;              // preferred multisampling level 0..4
  int swap_interval = 1;
  int offset_x = 0, offset_y = 0;  // --monitor_offset_x / --monitor_offset_y
};

struct WindowInfo {
  int width = 0, height = 0;                  // client area actually made
  int monitor_width = 0, monitor_height = 0;  // the desktop when the window was made
  int depth_bits = 0;
  int antialias = 0;  // multisampling level used, 0 none
  bool vsync = false;
};

enum { window_ok = 0, window_no_video = 1, window_no_context = 2 };

// The settings from the command line ("--monitor_offset_x", "--monitor_offset_y"),
// the rest at their defaults.
WindowSettings window_settings_from_options();

// Makes the window and its context, sets the fixed drawing state and the 2-D
// projection, and makes the OpenGL draw back end current. Nothing is drawn before.
int window_create(const WindowSettings& settings);
void window_destroy();
bool window_exists();
const WindowInfo& window_info();

// Orthographic projection over the window's pixels, origin lower-left; viewport = window.
void window_set_projection();
void window_swap();
// Clears colour and depth for a new frame.
void window_clear(float r, float g, float b);

// Moves waiting events into the input state of ui(); when there are none, waits up to
// `wait_ms` for one. Closing the window sets the Quit Flag. Returns events handled.
int window_pump_events(int wait_ms);

// Queues input as if the user had given it (scripted runs and tests): a mouse move to a
// client pixel with the left button going down, up or neither (0); a close request.
void window_push_mouse(int client_x, int client_y, int button);  // 1 down, -1 up, 0 move
void window_push_close();

// The back buffer as RGBA, bottom row first (alpha forced opaque).
int window_read_pixels(Image& out);

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
