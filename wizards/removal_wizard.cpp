#include "wizards/removal_wizard.h"

#include <cstdio>
#include <string>

#include "engine/disk_space.h"
#include "engine/install_scope.h"
#include "engine/work_record.h"
#include "io/file_ops.h"
#include "platform/clock.h"
#include "ui/localization.h"
#include "wizards/copy_selection.h"
#include "wizards/dvd_install.h"

namespace {

RemovalWizardState g_removal;

// Time a frame spends on the removal: the window stays responsive, and a copy of many
// small files still goes at the speed of the disk.
const double kSecondsPerFrame = 0.012;
// The kept files the finish page names; the log and standard error have them all.
const size_t kKeptShown = 8;

void fill_step_list() {
  step_list_clear();
  step_list_append(localize("Welcome"), welcome_page);
  step_list_append(localize("Select Zephiro"), remove_select_copy_page);
  step_list_append(localize("Confirm Removal"), remove_confirm_page);
  step_list_append(localize("Remove Zephiro"), remove_page);
  step_list_append(localize("Finish"), remove_finish_page);
}

std::string kept_files_text(const CopyRemoval& r) {
  if (r.kept.empty()) return "";
  std::string text = "\n\n" + localize("I have kept these files, which you made or changed:");
  for (size_t i = 0; i < r.kept.size() && i < kKeptShown; ++i) text += "\n" + r.install_path + r.kept[i];
  if (r.kept.size() > kKeptShown)
    text += "\n" + substitute_parameters(localize("... and %1:count% more (see the log)."),
                                         std::to_string(r.kept.size() - kKeptShown));
  return text;
}

}  // namespace

RemovalWizardState& removal_wizard() { return g_removal; }
void reset_removal_wizard() { g_removal = RemovalWizardState(); }

bool may_remove_folder(const std::string& folder) {
  WorkRecord record;
  return is_installed_copy(folder) || (read_work_record(folder, &record) && record.removal);
}

int remove_select_copy_page(int entering, PageDescription& page) {
  if (entering) fill_step_list();
  page.title = localize("Remove A Copy Of Zephiro");
  page.back_page = welcome_page;
  page.next_page = remove_confirm_page;
  pick_copy(page, "Please pick which copy of Zephiro 9 you would like to remove.");
  return 0;
}

int remove_confirm_page(int entering, PageDescription& page) {
  RemovalWizardState& s = g_removal;
  if (entering) {
    s.is_copy = may_remove_folder(install_path());
    s.preview = s.is_copy ? preview_removal(install_path()) : RemovalPreview();
  }
  page.title = localize("Confirm Removal");
  page.back_page = remove_select_copy_page;
  if (!s.is_copy) {
    page.text = substitute_parameters(
        localize("%1:path% is not an installed copy of Zephiro 9, so I will not remove anything from it."),
        install_path());
    page.next_page = nullptr;
    return 0;
  }
  page.text = substitute_parameters(
      localize_count(s.preview.files, "I will remove up to %1:count% file from %2:path%, freeing up to %3:size%.",
                     "I will remove up to %1:count% files from %2:path%, freeing up to %3:size%."),
      std::to_string(s.preview.files), install_path(), size_text(s.preview.kilobytes), "");
  page.text += localize("\n\nFiles you made or changed in this copy are kept.  Click continue to remove it.");
  page.next_page = remove_page;
  return 0;
}

int remove_page(int, PageDescription& page) {
  RemovalWizardState& s = g_removal;
  page.title = localize("Removing Zephiro");
  if (!s.work.running) {
    s.work = WorkRun();
    s.work.running = true;
    if (int code = start_removal(s.removal, install_path())) {
      // The record could not be written: nothing was deleted.
      s.removal.finished = true;
      s.removal.failed = 1;
      s.removal.first_error = install_path() + ": " + error_message_for_code(code);
    }
  }
  const double frame_end = platform::running_seconds() + kSecondsPerFrame;
  bool done = removal_step(s.removal, 1);
  while (!done && platform::running_seconds() < frame_end) done = removal_step(s.removal, 1);
  if (done) {
    s.work.running = false;
    s.work.error_count = s.removal.failed;
    for (const std::string& rel : s.removal.kept)
      std::fprintf(stderr, "Kept: %s%s\n", s.removal.install_path.c_str(), rel.c_str());
    if (s.removal.failed == 0) install_path().clear();
    page.next_page = remove_finish_page;
    return 1;
  }
  page.text = substitute_parameters(localize("I am removing %1:file path%."), s.removal.install_path);
  page.set_progress(removal_progress(s.removal),
                    substitute_parameters(localize("Removing: %1:file path%"), removal_current_item(s.removal)));
  return 0;
}

int remove_finish_page(int, PageDescription& page) {
  const CopyRemoval& r = g_removal.removal;
  page.title = localize("Finished Removing Zephiro.");
  if (g_removal.work.error_count < 1)
    page.text = substitute_parameters(localize("I have removed %1:install path%."), r.install_path);
  else
    page.text = substitute_parameters(localize("There were errors while removing %1:install path%; it stays in the "
                                               "list of copies so that you can remove it again.\n\n%2:error%"),
                                      r.install_path, r.first_error);
  page.text += kept_files_text(r);
  finish_page_choices(g_removal.work, page, false);
  return 0;
}
