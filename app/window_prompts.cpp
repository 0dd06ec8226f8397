// The page framework's prompts, wired to the main loop here so that the framework links
// without it (the tests drive the prompts with a scripted pass instead).
#include "app/main_loop.h"
#include "engine/install_plan.h"
#include "ui/page_framework.h"

void install_window_prompts() {
  set_prompt_loop(main_loop_iteration, set_ui_mode);
  set_conflict_prompt(conflict_prompt);
}
