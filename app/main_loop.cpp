#include "app/main_loop.h"

#include "core/app_state.h"
#include "app/qa_script.h"
#include "io/threads.h"
#include "platform/clock.h"
#include "platform/termination.h"
#include "platform/window_sdl.h"
#include "ui/window.h"
#include "ui/colour_table.h"
#include "ui/file_dialog.h"
#include "ui/page_framework.h"
#include "ui/texture_slots.h"
#include "ui/ui_context.h"

namespace {

// With no input the pass waits this long for some: about 60 passes a second when idle.
const int k_idle_wait_ms = 16;

}  // namespace

bool is_modal_ui_mode(int mode) { return mode >= 992 && mode <= 999; }

void set_ui_mode(int mode) {
  app().ui_mode = mode;
  // A full-window panel hides whatever the frame drew before it.
  qa_script_mode_changed();
}

void main_loop_iteration() {
  begin_input_frame();
  if (app().ui_mode == -1) set_ui_mode(ui_mode_wizard);
  // Alerts that workers raised are shown here, while nothing else owns the window.
  if (!is_modal_ui_mode(app().ui_mode)) drain_main_thread_queues();

  if (window_exists()) pump_window_events(k_idle_wait_ms);
  // Asked to end from outside: the same as closing the window.
  if (platform::termination_requested()) app().quit_flag = 1;
  // The scripted user acts after the real input, as if it had come with it.
  qa_script_step();
  // While a file dialog is up the page under it waits for the answer, drawn but deaf.
  if (file_dialog_open()) drop_frame_input();

  UiContext& c = ui();
  c.seconds = platform::running_seconds();
  update_pulsing_colours(c.seconds);

  if (!is_modal_ui_mode(app().ui_mode)) installer_frame();
  qa_script_end_frame();
  window_swap();
  // The next frame starts from a clear screen and depth buffer. Cleared here, not at the
  // start of a pass, since a blocking prompt draws its frame before calling the pass.
  if (window_exists()) window_clear(0, 0, 0);
  drain_texture_deletions();
}

void run_main_loop() {
  while (app().quit_flag == 0) main_loop_iteration();
}
