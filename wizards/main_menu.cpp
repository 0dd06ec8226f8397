#include "wizards/main_menu.h"

#include <string>

#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "engine/registry.h"
#include "io/file_ops.h"
#include "platform/host.h"
#include "ui/localization.h"
#include "ui/page_framework.h"
#include "wizards/copy_selection.h"
#include "wizards/dvd_install.h"
#include "wizards/removal_wizard.h"
#include "wizards/repair_wizard.h"
#include "wizards/scenery_wizard.h"

const char* simulator_program_name() { return platform::simulator_file_name(); }

void main_menu(PageDescription& page) {
  page.text = localize("You already have Zephiro 9 installed on this computer.  What would you like to do?");
  page.back_page = nullptr;
  page.next_page = nullptr;
  const InstallManifest& m = install_manifest();
  page.add_choice(localize("Run Zephiro Now"), run_page);
  if (m.has_scenery_tiles) page.add_choice(localize("Add Or Remove Scenery"), scenery_select_copy_page);
  if (m.has_base_files) page.add_choice(localize("Repair Zephiro"), repair_select_copy_page);
  if (m.has_base_files) page.add_choice(localize("Install A Second Copy of Zephiro"), pick_destination_page);
  // The menu shows only while a copy is known.
  page.add_choice(localize("Remove A Copy Of Zephiro"), remove_select_copy_page);
}

int run_page(int, PageDescription& page) {
  const size_t copies = registry().installed_copies.size();
  page.title = localize("Run Zephiro");
  page.back_page = welcome_page;
  page.next_page = run_action;
  if (copies == 1) {
    install_path() = registry().installed_copies[0];
    return 1;
  }
  pick_copy(page, "Please pick which copy of Zephiro 9 you would like to run.");
  return 0;
}

namespace {

// Why the simulator could not be started: an errno value.
int g_start_error = 0;

}  // namespace

int run_action(int entering, PageDescription& page) {
  // Tried once on entering: a start that failed would fail the same way every frame.
  const std::string program = install_path() + simulator_program_name();
  if (entering) g_start_error = start_program_and_quit(program, "", true);  // returns only on failure
  page.title = localize("Run Zephiro");
  page.text = substitute_parameters(localize("Zephiro 9 could not be started from %1:program%:\n%2:reason%"), program,
                                    localize(error_message_for_code(g_start_error)));
  page.back_page = welcome_page;
  page.next_page = nullptr;
  return 0;
}
