#include "wizards/main_menu.h"

#include <string>

#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "engine/registry.h"
#include "io/file_ops.h"
#include "ui/localization.h"
#include "ui/page_framework.h"
#include "wizards/copy_selection.h"
#include "wizards/dvd_install.h"

namespace {

struct MainMenuWizards {
  WizardPage add_remove_scenery = nullptr;
  WizardPage repair = nullptr;
};
MainMenuWizards g_wizards;

}  // namespace

const char* simulator_program_name() { return "Zephiro"; }

void plug_main_menu_wizards(WizardPage add_remove_scenery, WizardPage repair) {
  g_wizards.add_remove_scenery = add_remove_scenery;
  g_wizards.repair = repair;
}

void main_menu(PageDescription& page) {
  page.text = localize("You already have Zephiro 9 installed on this computer.  What would you like to do?");
  page.back_page = nullptr;
  page.next_page = nullptr;
  const InstallManifest& m = install_manifest();
  page.add_choice(localize("Run Zephiro Now"), run_page);
  if (m.has_scenery_tiles && g_wizards.add_remove_scenery)
    page.add_choice(localize("Add Or Remove Scenery"), g_wizards.add_remove_scenery);
  if (m.has_base_files && g_wizards.repair) page.add_choice(localize("Repair Zephiro"), g_wizards.repair);
  if (m.has_base_files) page.add_choice(localize("Install A Second Copy of Zephiro"), pick_destination_page);
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
  copy_picker();
  // Only a listed copy can be run: the Install Path may still name a folder of an
  // install that was never made.
  if (!install_path_is_listed_copy()) page.next_page = nullptr;
  page.text = copies > 1 ? localize("You have more than one copy of Zephiro 9 installed on this computer.  ") : "";
  page.text += localize("Please pick which copy of Zephiro 9 you would like to run.");
  return 0;
}

int run_action(int, PageDescription&) {
  // Returns only when the program could not be started; the next frame tries again.
  open_and_quit(install_path() + simulator_program_name(), "", true);
  return 0;
}
