#include "wizards/main_menu.h"

#include <string>
#include <utility>
#include <vector>

#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "engine/registry.h"
#include "engine/work_record.h"
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

namespace {

// The copies whose last change did not finish, as their records say, read when the menu
// is entered or the list of copies changes rather than every frame.
struct MenuState {
  std::vector<std::string> copies;
  std::vector<std::pair<std::string, WorkRecord>> unfinished;
};
MenuState g_menu;

void note_unfinished_work(bool entering) {
  const std::vector<std::string>& copies = registry().installed_copies;
  if (!entering && copies == g_menu.copies) return;
  g_menu.copies = copies;
  g_menu.unfinished.clear();
  for (const std::string& copy : copies) {
    WorkRecord record;
    // A removal that was stopped is finished by removing the copy again, which the menu offers.
    if (read_work_record(copy, &record) && !record.removal) g_menu.unfinished.emplace_back(copy, record);
  }
}

// The menu's words: a copy whose install (or later change) was stopped is not called
// installed; the user is told which choice finishes it. Every wizard's scan takes up the
// recorded work, the repair's included.
std::string menu_text() {
  if (g_menu.unfinished.empty())
    return localize("You already have Zephiro 9 installed on this computer.  What would you like to do?");
  std::string text;
  if (g_menu.unfinished.size() < g_menu.copies.size())
    text = localize("You already have Zephiro 9 installed on this computer.") + "  ";
  const std::string choice =
      localize(install_manifest().has_base_files ? "Repair Zephiro" : "Add Or Remove Scenery");
  for (const auto& u : g_menu.unfinished) {
    const bool install = u.second.base_files && u.second.scenery_tiles;
    text += substitute_parameters(
                localize(install ? "The install of Zephiro 9 in %1:folder% was not finished: %2:choice% finishes it."
                                 : "A change to Zephiro 9 in %1:folder% was not finished: %2:choice% finishes it."),
                u.first, choice) +
            "  ";
  }
  return text + localize("What would you like to do?");
}

}  // namespace

void main_menu(int entering, PageDescription& page) {
  note_unfinished_work(entering != 0);
  page.text = menu_text();
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
