#include "wizards/dvd_install.h"

#include "core/log.h"
#include "engine/disk_space.h"
#include "engine/dvd_discovery.h"
#include "engine/install_plan.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "engine/menu_entry.h"
#include "engine/registry.h"
#include "io/file_ops.h"
#include "ui/file_dialog.h"
#include "ui/localization.h"
#include "ui/page_framework.h"
#include "ui/text_field.h"
#include "ui/text_render.h"
#include "ui/widgets.h"
#include "ui/world_map.h"
#include "wizards/disc_change.h"
#include "wizards/disc_images.h"
#include "wizards/disk_space_panel.h"
#include "wizards/install_work.h"
#include "wizards/main_menu.h"

namespace {

DvdInstallState g_install;

const size_t k_install_name_chars = 256;

void fill_step_list() {
  step_list_clear();
  step_list_append(localize("Welcome"), welcome_page);
  step_list_append(localize("Pick Destination"), pick_destination_page);
  step_list_append(localize("License"), license_page);
  step_list_append(localize("Select Scenery"), select_scenery_page);
  step_list_append(localize("Install"), install_page);
  step_list_append(localize("Finish"), finish_page);
}

// The scan of a folder that does not exist yet ends at once, so the pages before the
// install can run it to its end within their frame.
void scan_whole_copy() {
  int cursor = 0;
  float progress = 0;
  while (!checksum_step(cursor, false, progress)) {
  }
}

// The copy joins the registry before any file is written into it.
void register_new_copy() {
  g_install.copy_being_made = install_path();
  register_install_path(install_path());
}

// Cancelling deletes the folder the running install made, with all it holds.
void delete_copy_being_made() {
  const std::string& copy = g_install.copy_being_made;
  if (copy.empty()) return;
  const int code = delete_folder_tree(copy);
  if (code != 0) LOG << "Could not delete the partial copy " << copy << ": " << error_message_for_code(code) << "\n";
}

// A new start of the install. The page to go to instead when the work cannot start,
// else null.
WizardPage start_install() {
  // The new copy's folder must still be new: cancelling deletes it with all it holds.
  if (path_exists(install_path())) return pick_destination_page;
  switch (start_work(g_install.work, register_new_copy)) {
    case work_plan_cancelled:
      return select_scenery_page;
    case work_folders_failed:
      // Nothing is installed yet: the folders made so far go, so the name is free again.
      delete_folder_tree(install_path());
      return pick_destination_page;
    default:
      return nullptr;
  }
}

const WorkPageTexts k_work_texts = {
    "Installing Zephiro",
    "I am installing Zephiro in %1:file path%.",
    "Installing: %1:file%",
    "Finishing up...",
    "An error occurred during installation:",
    "You can continue with the installation and attempt to repair the damaged files later, or you can cancel the "
    "installation.",
    "Cancel",
    "the install.",
    "Continue",
    "the install.",
};

}  // namespace

DvdInstallState& dvd_install() { return g_install; }

void reset_dvd_install() {
  close_file_dialog();
  g_install = DvdInstallState();
}

bool is_usable_install_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::string license_text() {
  return localize("This program and the Zephiro 9 flight simulator it installs are licensed, not sold, to you for "
                  "your own personal and non-commercial use on computers you own or control.") +
         "\n\n" +
         localize("Commercial use of Zephiro 9, such as flight training for hire or public exhibition, needs a "
                  "commercial licence; its terms are at https://www.example.com/zephiro/commercial-use.") +
         "\n\n" +
         localize("You may not rent out, resell or share copies of the discs or of the installed simulator, except "
                  "for backup copies that you keep for yourself.") +
         "\n\n" +
         localize("Zephiro 9 is for entertainment only and must never be used for real navigation or flight "
                  "planning. It comes as it is, without any warranty.");
}

// ---------------------------------------------------------------------------------------

int welcome_page(int entering, PageDescription& page) {
  if (entering) {
    read_installed_copies();
    fill_step_list();
  }
  page.title = localize("Zephiro 9 Installer");
  // The scan runs every frame, so inserting a disc changes the page without a click.
  read_disc_identity();
  if (dvd_root().empty()) {
    page.text = localize("Please insert Zephiro 9 DVD number one to begin.");
    offer_disc_images(page, welcome_page, welcome_page);
  } else if (dvd_version().empty() || manifest_read_status() != manifest_read) {
    page.text = localize("This DVD does not appear to be a Zephiro 9 DVD.");
  } else if (!registry().installed_copies.empty()) {
    main_menu(entering, page);
  } else if (install_manifest().has_base_files) {
    page.text = substitute_parameters(
        localize("Welcome to the Zephiro 9 Installer.  I will guide you through the process of installing "
                 "%1:install name%."),
        dvd_version());
    page.next_page = pick_destination_page;
  } else {
    page.text = substitute_parameters(localize("This DVD (%1:dvd name%) contains global scenery.  You must install "
                                               "the sim before you install the global scenery."),
                                      dvd_version());
  }
  return 0;
}

int pick_destination_page(int entering, PageDescription& page) {
  DvdInstallState& s = g_install;
  bool recompute = entering != 0;
  if (entering) {
    s.desktop_folder = special_folder(folder_desktop);
    s.agreement = 0;
    fill_step_list();
  }
  if (s.destination_folder.empty()) {
    s.destination_folder = special_folder(folder_default_apps);
    s.install_name = dvd_version();
    recompute = true;
  }
  page.title = substitute_parameters(localize("Pick Install Destination for %1:install%."), dvd_version());
  page.back_page = welcome_page;
  page.next_page = license_page;

  // The folder picker runs beside the window; its answer arrives in a later frame.
  std::string picked = s.destination_folder;
  if (poll_file_dialog(&s.destination_folder, picked) == dialog_confirmed) {
    s.destination_folder = picked;
    recompute = true;
  }
  const std::string button = "-" + localize("Change Destination");
  const float button_width = measure_text(button.substr(1)) + 21;
  if (choice_button(290, 203, button_width, false, 1, button, "-"))
    open_file_dialog(dialog_pick_folder, localize("Pick a folder to install Zephiro 9 into."), localize("Select"),
                     s.destination_folder, s.destination_folder, &s.destination_folder);

  const std::string label = localize("Install Name:");
  const float field_x = 300 + button_width / 2 + 10 + measure_text(label);
  // The field takes the keyboard's focus as the page appears: the name can be typed at once.
  if (text_field(field_x, 200, s.install_name, k_install_name_chars, "", 760 - field_x, true, label))
    recompute = true;

  if (!is_usable_install_name(s.install_name)) {
    install_path() = s.destination_folder;
    page.next_page = nullptr;
    page.text = localize("Please pick a name for your Zephiro 9 installation...");
    return 0;
  }
  install_path() = s.destination_folder + s.install_name + "/";
  // The folder of the copy becomes a line of the registry (a destination picked on the
  // screen, or a name given by the disc, may hold what a line cannot).
  if (!is_registrable_path(install_path())) {
    page.next_page = nullptr;
    page.text = localize("The name of the folder, or of a folder above it, holds a line break, a tab or another "
                         "control character.\n\nPlease change the install name or destination.");
    return 0;
  }
  if (path_exists(install_path())) {
    page.next_page = nullptr;
    page.text = substitute_parameters(localize("The folder '%1:install name%' already exists inside the folder "
                                               "'%2:parent folder%'.\n\nPlease change the install name or "
                                               "destination."),
                                      s.install_name, s.destination_folder);
    return 0;
  }
  page.text = substitute_parameters(
      localize("I will create the folder '%1:install name%' inside the folder '%2:parent folder%'."), s.install_name,
      s.destination_folder);
  if (s.destination_folder == s.desktop_folder)
    page.text += substitute_parameters(localize("\n\n(The folder %1:install name% will appear on your desktop.)"),
                                       s.install_name);
  if (recompute) {
    scan_whole_copy();
    set_install_scope(true, true);
    clear_tile_selection();
    compute_install_totals();
  }
  disk_space_panel("You have enough free disk space to install Zephiro 9 at this location.",
                   "You do not have enough free disk space to install Zephiro 9 at this location.  You can install "
                   "to a different location, or save disk space by installing only some of the global scenery.");
  return 0;
}

int license_page(int, PageDescription& page) {
  DvdInstallState& s = g_install;
  page.title = localize("End User License Agreement");
  page.text = license_text();
  page.back_page = pick_destination_page;
  CheckBoxFocus main_widget;
  main_widget.claim = true;
  check_box(250, 300, s.agreement, localize("|-I agree!"), false, main_widget);
  page.next_page = s.agreement ? select_scenery_page : nullptr;
  return 0;
}

int select_scenery_page(int entering, PageDescription& page) {
  DvdInstallState& s = g_install;
  if (entering && s.work.running) {
    const int answer = ask_about_running_work(
        s.work,
        "Are you sure you want to cancel the installation?  This will delete the partially installed copy of "
        "Zephiro 9.",
        "Cancel", "the installation and delete partial installation.", "Continue", "the installation process.");
    if (answer == 0) {
      // Back to the work as it was: no scan of the copy the work is writing.
      page.next_page = install_page;
      return 1;
    }
    // Closing the window instead of answering is a quit, which keeps the partial copy.
    if (answer == 1) delete_copy_being_made();
    s.copy_being_made.clear();
  }
  if (entering) {
    scan_whole_copy();
    compute_install_totals();
    reset_map_cursor();
  }
  world_map();
  page.title = localize("Select Scenery");
  page.text = localize("Please pick the scenery you would like to install now.  You can use this installer to add "
                       "more scenery or remove scenery later.  If you fly into an area with no scenery installed, "
                       "you will see only ocean.\n\nClick on the world map to select regions to install.");
  page.back_page = license_page;
  page.next_page = install_page;
  if (!disk_space_panel("You have enough free disk space to install Zephiro 9 with the selected scenery.",
                        "You do not have enough free disk space to install Zephiro 9 with the selected scenery; "
                        "change the install location to another hard drive or select less scenery."))
    page.next_page = nullptr;
  return 0;
}

int install_page(int, PageDescription& page) {
  DvdInstallState& s = g_install;
  if (!s.work.running) {
    if (WizardPage instead = start_install()) {
      page.next_page = instead;
      return 1;
    }
  }
  switch (work_frame(s.work, k_work_texts, page)) {
    case work_frame_done:
      s.copy_being_made.clear();
      if (s.work.error_count < 1) give_menu_entry(install_path());
      page.next_page = finish_page;
      return 1;
    case work_frame_needs_disc:
      page.next_page = disc_change_page(disc_pages_install);
      return 1;
    case work_frame_stop:
      // Select Scenery asks whether to cancel.
      page.next_page = select_scenery_page;
      return 1;
    default:
      page.back_page = select_scenery_page;
      return 0;
  }
}

int finish_page(int, PageDescription& page) {
  page.title = localize("Finished Installing Zephiro");
  if (g_install.work.error_count < 1)
    page.text = localize("Installation was successful.");
  else
    page.text = localize("There were errors during the install; your copy of Zephiro may not be usable.\n\nYou can "
                         "click Go Back and use the repair and add-remove scenery functions to try to reinstall any "
                         "missing or damaged files.");
  finish_page_choices(g_install.work, page);
  return 0;
}
