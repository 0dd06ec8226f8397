#include "wizards/repair_wizard.h"

#include <string>

#include "engine/disk_space.h"
#include "engine/install_plan.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "engine/menu_entry.h"
#include "ui/localization.h"
#include "wizards/copy_selection.h"
#include "wizards/disc_change.h"
#include "wizards/disk_space_panel.h"
#include "wizards/dvd_install.h"

namespace {

RepairWizardState g_repair;

void fill_step_list() {
  step_list_clear();
  step_list_append(localize("Welcome"), welcome_page);
  step_list_append(localize("Select Zephiro"), repair_select_copy_page);
  step_list_append(localize("Scan For Problems"), repair_scan_page);
  step_list_append(localize("Confirm Repairs"), repair_confirm_page);
  step_list_append(localize("Repair Zephiro"), repair_page);
  step_list_append(localize("Finish"), repair_finish_page);
}

const WorkPageTexts k_work_texts = {
    "Repairing Zephiro",
    "I am repairing %1:file path%.",
    "Repairing: %1:file path%",
    "Finishing up...",
    "An error occurred during the repair:",
    "Zephiro may not be usable until you are able to repair the sim without errors.",
    "Stop",
    "the repair.",
    "Continue",
    "the repair.",
};

}  // namespace

RepairWizardState& repair_wizard() { return g_repair; }
void reset_repair_wizard() { g_repair = RepairWizardState(); }

int count_repairs() {
  int count = 0;
  for (int g = 0; g < manifest_group_count(); ++g) {
    const ManifestEntry& e = current_entry(g);
    if (e.signature_matches || !is_entry_wanted(g, manifest_entry_count(g) - 1)) continue;
    // A file the product no longer uses is work only while it is there to be deleted.
    if (e.expected_signature == "GONE" && e.found_signature == "NONE") continue;
    ++count;
  }
  return count;
}

int repair_select_copy_page(int entering, PageDescription& page) {
  if (entering) {
    abort_checksum();  // a scan left running by an earlier visit
    fill_step_list();
  }
  page.title = localize("Repair Zephiro 9");
  page.back_page = welcome_page;
  page.next_page = repair_scan_page;
  pick_copy(page, "Please pick which copy of Zephiro 9 you would like to repair.");
  return 0;
}

int repair_scan_page(int entering, PageDescription& page) {
  if (entering) {
    set_install_scope(true, false);
    start_copy_scan(g_repair.scan);
  }
  page.title = localize("Scanning Zephiro for Problems");
  page.text = substitute_parameters(
      localize("I am scanning %1:folder% for missing or damaged files.\n\nNote: if you have updated this copy of "
               "Zephiro from the Internet, the repair operation will remove the updates.  Once the repair has "
               "finished, you should reapply the updates from the web."),
      install_path());
  return copy_scan_frame(g_repair.scan, false, page, repair_select_copy_page, repair_confirm_page);
}

int repair_confirm_page(int entering, PageDescription& page) {
  RepairWizardState& s = g_repair;
  if (entering && s.work.running) {
    if (ask_about_running_work(s.work,
                               "Are you sure you want to stop the repair operation?  Zephiro may not be usable "
                               "until repairs are complete.  You can run the repair operation on Zephiro again "
                               "later to complete repairs.",
                               "Stop", "the repair operation.", "Continue", "the repair operation.") == 0) {
      page.next_page = repair_page;
      return 1;
    }
  }
  if (entering) {
    compute_install_totals();
    s.repair_count = count_repairs();
    s.complete = s.repair_count == 0 && install_manifest().totals.files_to_delete == 0;
  }
  page.title = localize("Confirm Repairs");
  page.back_page = repair_select_copy_page;
  page.next_page = repair_page;
  if (s.complete) {
    // The work then does nothing but end (a record of unfinished work goes with it).
    page.text = substitute_parameters(localize("The copy of Zephiro 9 in %1:path% is complete: no file needs to be "
                                               "repaired.\n\nClick continue to finish."),
                                      install_path());
    return 0;
  }
  page.text = substitute_parameters(
      localize_count(s.repair_count, "I need to install approximately %1:count% file to repair %2:path%.",
                     "I need to install approximately %1:count% files to repair %2:path%."),
      std::to_string(s.repair_count), install_path());
  if (!disk_space_panel("You have enough free disk space to repair this copy of Zephiro.",
                        "You do not have enough free disk space to repair this copy of Zephiro."))
    page.next_page = nullptr;
  if (page.next_page) page.text += localize("\n\nClick continue to begin repairing Zephiro.");
  return 0;
}

int repair_page(int, PageDescription& page) {
  return copy_work_page(g_repair.work, k_work_texts, page, repair_confirm_page, repair_finish_page, disc_pages_repair);
}

int repair_finish_page(int entering, PageDescription& page) {
  // A repaired copy is complete: it gets its menu entry when it has none.
  if (entering && g_repair.work.error_count < 1) give_menu_entry(install_path());
  page.title = localize("Finished Repairing Zephiro.");
  if (g_repair.work.error_count < 1)
    page.text = substitute_parameters(
        localize("I have finished repairing %1:install path% - click Go Back to return to the main menu."),
        install_path());
  else
    page.text = localize("There were errors during the repair; your copy of Zephiro may not be usable.\n\nYou can "
                         "click Go Back and use the repair and add-remove scenery functions to try to reinstall any "
                         "missing or damaged files.");
  finish_page_choices(g_repair.work, page);
  return 0;
}
