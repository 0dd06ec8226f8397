#pragma once
// The program's window as the user interface sees it: the platform window made with the
// options of the command line, its events turned into the input of ui(), the OpenGL
// draw back end current while it is open.

#include <string>

#include "platform/window_sdl.h"

struct Image;

// The largest scale "--scale" takes.
constexpr int k_largest_scale = 8;

// The settings from the command line ("--monitor_offset_x", "--monitor_offset_y",
// "--scale"; without a usable "--scale" the desktop's scale factor), the rest at their
// defaults.
WindowSettings window_settings_from_options();
// The value of "--scale" as a scale, or 0 when it is not a whole number from 1 to 8.
int scale_option(const std::string& value);

// Makes and shows the window, logs what the window layer reports, places the page in
// it and makes the OpenGL draw back end current. window_ok or the failure.
int open_window(const WindowSettings& settings);
void close_window();

// Moves waiting events into the input state of ui(); when there are none, waits up to
// `wait_ms` for one. Closing the window sets the Quit Flag. Returns events handled.
int pump_window_events(int wait_ms);

// Input as if the user had given it at the window (the scripted user): with the window
// open it goes through the window's own event queue and arrives with the next pump; without
// one it is handled at once. A key that types `text` types it (not with Ctrl or Alt).
void give_key(int key, int mods, const std::string& text = "");
void give_text(const std::string& text);

// The back buffer as an image, bottom row first.
int read_window_pixels(Image& out);
