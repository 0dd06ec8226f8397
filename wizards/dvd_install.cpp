#include "wizards/dvd_install.h"

#include "engine/manifest.h"
#include "engine/dvd_discovery.h"
#include "ui/localization.h"
#include "ui/page_framework.h"

namespace {

void fill_step_list() {
  step_list_clear();
  // The later pages of the install are not part of the program yet; their steps are
  // listed so the user sees the whole way ahead.
  step_list_append(localize("Welcome"), welcome_page);
  step_list_append(localize("Pick Destination"), nullptr);
  step_list_append(localize("License"), nullptr);
  step_list_append(localize("Select Scenery"), nullptr);
  step_list_append(localize("Install"), nullptr);
  step_list_append(localize("Finish"), nullptr);
}

}  // namespace

WelcomeVerdict welcome_verdict() {
  WelcomeVerdict v;
  if (dvd_root().empty()) {
    v.text = localize("Please insert Zephiro 9 DVD number one to begin.");
  } else if (dvd_version().empty() || manifest_read_status() != manifest_read) {
    v.text = localize("This DVD does not appear to be an Zephiro 9 DVD.");
  } else if (install_manifest().has_base_files) {
    v.text = substitute_parameters(
        localize("Welcome to the Zephiro 9 Installer.  I will guide you through the process of installing "
                 "%1:install name%."),
        dvd_version());
    v.ready_to_install = true;
  } else {
    v.text = substitute_parameters(localize("This DVD (%1:dvd name%) contains global scenery.  You must install "
                                            "the sim before you install the global scenery."),
                                   dvd_version());
  }
  return v;
}

int welcome_page(int entering, PageDescription& page) {
  if (entering) fill_step_list();
  page.title = localize("Zephiro 9 Installer");
  // The scan runs every frame, so inserting a disc changes the page without a click.
  read_disc_identity();
  page.text = welcome_verdict().text;
  // CONTINUE stays disabled until Pick Destination exists: the user can only QUIT here.
  return 0;
}
