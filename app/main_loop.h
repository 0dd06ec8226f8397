#pragma once
// The main loop: one pass pumps input (waiting at most 16 ms when there is none), runs
// the Installer Frame unless a full-window modal mode is up, swaps the frame and deletes
// the textures workers queued. Blocking prompts run passes of their own through
// main_loop_iteration(), so it may be called re-entrantly.

void main_loop_iteration();
// Passes until the Quit Flag is set.
void run_main_loop();
// Whether a UI Mode is one of the full-window modal modes (992..999) that suppress the
// Installer Frame.
bool is_modal_ui_mode(int mode);
// Sets the UI Mode (the window is redrawn once at the new mode by the next pass).
void set_ui_mode(int mode);

// Start-up, once the window exists: the prompts run their passes through the main loop,
// and the install plan asks the drawn Conflict Prompt.
void install_window_prompts();
