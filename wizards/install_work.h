#pragma once
// The work that the install, scenery and repair wizards do on a copy: the plan, the
// folders and the deletions that start it, then one Install Step per frame on the work
// page, with the Error Prompt for a file that failed; and the question the page before
// the work page asks when the user goes back while the work runs. Only the texts and the
// pages they lead to differ between the wizards.

#include "ui/page_framework.h"

// One wizard's work, kept between frames and pages.
struct WorkRun {
  bool running = false;  // from the start of the work until it ends or is stopped
  int cursor = 0;        // the group Install Step works on
  int error_count = 0;   // files that failed since the work started
};

enum WorkStart { work_started = 0, work_plan_cancelled = 1, work_folders_failed = 2 };
// A new start: logs it, builds the plan, makes the folders, then (after `before_deleting`,
// when given) deletes what the plan marked, and marks the work running. A cancelled plan
// or a folder that could not be made (the user has been told) leaves it stopped.
int start_work(WorkRun& run, void (*before_deleting)() = nullptr);

// The work page's texts, in English (shown translated).
struct WorkPageTexts {
  const char* title;
  const char* text;       // %1 is the Install Path
  const char* caption;    // %1 is the path of the group being worked on
  const char* finishing;  // the caption once every group is handed out
  const char* error_header;
  const char* error_advice;
  const char* stop_action;  // the Error Prompt's first answer: stop the work
  const char* stop_explanation;
  const char* go_on_action;  // its second: go on with the next files
  const char* go_on_explanation;
};

enum WorkFrame {
  work_frame_running = 0,     // text and progress are set; the caller sets the back page
  work_frame_done = 1,        // every file is done; the work is no longer running
  work_frame_needs_disc = 2,  // the Disc Change Position is set; still running
  work_frame_stop = 3,        // a file failed and the user chose to stop; still running
};
// One frame of a running work: title, quit handler, one Install Step, and on a failed
// file the Error Prompt (its second answer, or a closed prompt, goes on).
int work_frame(WorkRun& run, const WorkPageTexts& texts, PageDescription& page);

// The whole work page of a wizard that works on an installed copy (scenery, repair): a new
// start when the work is not running (a cancelled plan or a failed folder goes back to
// `before`), then a frame of the work. Done, or stopped at a failed file: the finish
// page. Another disc needed: the wizard's disc pages (DiscChangeWizard). Running: GO BACK
// leads to `before`, which asks whether to stop.
int copy_work_page(WorkRun& run, const WorkPageTexts& texts, PageDescription& page, WizardPage before,
                   WizardPage finish, int disc_pages);

// The end of every wizard's finish page: "Run Zephiro Now" only when the work had no
// error (and `offer_run`: not once the copy is removed); GO BACK returns to the Main Menu
// and the next page quits.
void finish_page_choices(const WorkRun& run, PageDescription& page, bool offer_run = true);

// Ends the work at once: what is done stays done.
void stop_work(WorkRun& run);

// The question asked when the page before the work page is entered while the work runs
// (GO BACK from the work page or its disc pages). Returns the Modal Prompt's answer: 0
// means go on (the caller returns to the work page); on any other the work has been
// stopped. Texts in English.
int ask_about_running_work(WorkRun& run, const char* question, const char* stop_action,
                           const char* stop_explanation, const char* go_on_action, const char* go_on_explanation);
