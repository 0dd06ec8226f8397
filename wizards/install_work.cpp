#include "wizards/install_work.h"

#include "core/log.h"
#include "engine/dvd_discovery.h"
#include "engine/executor.h"
#include "engine/install_plan.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "platform/clock.h"
#include "ui/localization.h"
#include "wizards/disc_change.h"
#include "wizards/dvd_install.h"
#include "wizards/error_prompt.h"
#include "wizards/main_menu.h"

int start_work(WorkRun& run, void (*before_deleting)()) {
  run.cursor = 0;
  LOG << "Starting install at " << platform::running_seconds() << "\n";
  if (!build_install_plan()) return work_plan_cancelled;
  if (create_install_folders() != 0) return work_folders_failed;
  if (before_deleting) before_deleting();
  delete_unwanted_files();
  run.running = true;
  run.error_count = 0;
  return work_started;
}

int work_frame(WorkRun& run, const WorkPageTexts& texts, PageDescription& page) {
  page.title = localize(texts.title);
  page.quit_handler = abort_install;
  switch (install_step(run.cursor, current_disc_number())) {
    case install_done:
      run.running = false;
      return work_frame_done;
    case install_needs_disc:
      set_disc_change_position(run.cursor);
      return work_frame_needs_disc;
    case install_failed:
      ++run.error_count;
      if (error_prompt(texts.error_header, texts.error_advice, texts.stop_action, texts.stop_explanation,
                       texts.go_on_action, texts.go_on_explanation) == 1)
        return work_frame_stop;
      break;
    default:
      break;
  }
  page.text = substitute_parameters(localize(texts.text), install_path());
  const int groups = manifest_group_count();
  const int at = run.cursor < 0 ? -1 : install_position(run.cursor);
  if (at < 0)
    page.set_progress(0, "");
  else if (at < groups)
    page.set_progress(current_entry(at).progress_start,
                      substitute_parameters(localize(texts.caption), current_entry(at).path));
  else
    page.set_progress(1, localize(texts.finishing));
  return work_frame_running;
}

int copy_work_page(WorkRun& run, const WorkPageTexts& texts, PageDescription& page, WizardPage before,
                   WizardPage finish, int disc_pages) {
  // The copy is registered already: no second registry line.
  if (!run.running && start_work(run) != work_started) {
    page.next_page = before;
    return 1;
  }
  switch (work_frame(run, texts, page)) {
    case work_frame_done:
      page.next_page = finish;
      return 1;
    case work_frame_needs_disc:
      page.next_page = disc_change_page(disc_pages);
      return 1;
    case work_frame_stop:
      stop_work(run);
      page.next_page = finish;
      return 1;
    default:
      page.back_page = before;
      return 0;
  }
}

void stop_work(WorkRun& run) {
  abort_install();
  run.running = false;
}

int ask_about_running_work(WorkRun& run, const char* question, const char* stop_action,
                           const char* stop_explanation, const char* go_on_action, const char* go_on_explanation) {
  const int answer = modal_prompt(localize(question), localize(stop_action), localize(stop_explanation),
                                  localize(go_on_action), localize(go_on_explanation));
  if (answer != 0) stop_work(run);
  return answer;
}

void finish_page_choices(const WorkRun& run, PageDescription& page, bool offer_run) {
  if (offer_run && run.error_count < 1) page.add_choice(localize("Run Zephiro Now"), run_action);
  page.back_page = welcome_page;
  page.next_page = quit_page;
}
