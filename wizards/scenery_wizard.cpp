#include "wizards/scenery_wizard.h"

#include "engine/disk_space.h"
#include "engine/install_plan.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "ui/localization.h"
#include "ui/world_map.h"
#include "wizards/copy_selection.h"
#include "wizards/disc_change.h"
#include "wizards/disk_space_panel.h"
#include "wizards/dvd_install.h"

namespace {

SceneryWizardState g_scenery;

void fill_step_list() {
  step_list_clear();
  step_list_append(localize("Welcome"), welcome_page);
  step_list_append(localize("Select Zephiro"), scenery_select_copy_page);
  step_list_append(localize("Scan Existing Scenery"), scenery_scan_page);
  step_list_append(localize("Select New Scenery"), scenery_map_page);
  step_list_append(localize("Install Scenery"), scenery_install_page);
  step_list_append(localize("Finish"), scenery_finish_page);
}

const WorkPageTexts k_work_texts = {
    "Installing New Scenery",
    "I am installing new scenery for %1:install path%,",
    "Installing: %1:file%",
    "Finishing Up...",
    "An error occurred during scenery installation:",
    "You can continue with the installation and attempt to reinstall the damaged files later, or you can stop the "
    "installation",
    "Stop",
    "the scenery install.",
    "Continue",
    "the scenery install.",
};

// The finish page's texts by what the work set out to do: without errors, with errors.
const char* finish_text(bool errors) {
  const bool adds = g_scenery.files_to_install > 0, removes = g_scenery.files_to_delete > 0;
  if (adds && removes)
    return errors ? "There were errors while adding and removing your scenery."
                  : "I have successfully added and removed scenery to match your choices on the map.";
  if (adds)
    return errors ? "There were errors while installing your scenery."
                  : "I have successfully installed more scenery to match your choices on the map.";
  if (removes)
    return errors ? "There were errors while removing your scenery."
                  : "I have successfully removed scenery to match your choices on the map.";
  return errors ? "There were errors while updating your scenery."
                : "I have successfully updated scenery to match your choices on the map.";
}

}  // namespace

SceneryWizardState& scenery_wizard() { return g_scenery; }
void reset_scenery_wizard() { g_scenery = SceneryWizardState(); }

int scenery_select_copy_page(int entering, PageDescription& page) {
  if (entering) {
    abort_checksum();  // a scan left running by an earlier visit
    fill_step_list();
  }
  page.title = localize("Select Zephiro 9 to Add or Remove Scenery");
  page.back_page = welcome_page;
  page.next_page = scenery_scan_page;
  pick_copy(page, "Please pick which copy of Zephiro 9 you would like to add scenery to.");
  return 0;
}

int scenery_scan_page(int entering, PageDescription& page) {
  if (entering) {
    set_install_scope(false, true);
    start_copy_scan(g_scenery.scan);
  }
  page.title = localize("Scanning Zephiro 9 for Installed Scenery");
  page.text = substitute_parameters(
      localize("I am scanning %1:install folder% to see what scenery you already have installed.\n\nNote: I am only "
               "checking for the scenery already installed from your DVDs.  This scan will not show any custom "
               "scenery downloaded from the internet."),
      install_path());
  // Whether a tile is installed needs only the file's presence, not its contents.
  return copy_scan_frame(g_scenery.scan, true, page, scenery_select_copy_page, scenery_map_page);
}

int scenery_map_page(int entering, PageDescription& page) {
  SceneryWizardState& s = g_scenery;
  if (entering && s.work.running) {
    // Files already installed or deleted stay so when the user stops.
    if (ask_about_running_work(s.work,
                               "Are you sure you want to stop scenery installation?  You can add or remove more "
                               "scenery later.",
                               "Stop", "the scenery install.", "Continue", "the scenery install.") == 0) {
      page.next_page = scenery_install_page;
      return 1;
    }
  }
  if (entering) {
    select_installed_tiles();
    compute_install_totals();
    reset_map_cursor();
  }
  world_map();
  page.title = localize("Select Scenery");
  page.text = localize("Click on the world map to select what scenery you would like to install.  Scenery that you "
                       "deselect will be removed; scenery that you select will be installed.  If you fly into an "
                       "area with no scenery installed, you will see only ocean.");
  page.back_page = scenery_select_copy_page;
  page.next_page = scenery_install_page;
  if (!disk_space_panel("You have enough free disk space to install this scenery.",
                        "You do not have enough free disk space to install this scenery."))
    page.next_page = nullptr;
  return 0;
}

int scenery_install_page(int, PageDescription& page) {
  SceneryWizardState& s = g_scenery;
  if (!s.work.running) {
    const InstallTotals& totals = install_manifest().totals;
    s.files_to_install = totals.files_to_install;
    s.files_to_delete = totals.files_to_delete;
  }
  return copy_work_page(s.work, k_work_texts, page, scenery_map_page, scenery_finish_page, disc_pages_scenery);
}

int scenery_finish_page(int, PageDescription& page) {
  const bool errors = g_scenery.work.error_count >= 1;
  page.title = localize("Finished With Add/Remove Scenery");
  page.text = localize(finish_text(errors));
  if (errors)
    page.text += localize("  Your copy of Zephiro may not be usable.\n\nYou can click Go Back and use the repair and "
                          "add-remove scenery functions to try to reinstall any missing or damaged files.");
  finish_page_choices(g_scenery.work, page);
  return 0;
}
