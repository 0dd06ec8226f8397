#include "wizards/disc_change.h"

#include <string>

#include "core/log.h"
#include "engine/dvd_discovery.h"
#include "engine/manifest.h"
#include "io/disc_drive.h"
#include "io/file_ops.h"
#include "ui/localization.h"
#include "wizards/disc_images.h"
#include "wizards/dvd_install.h"
#include "wizards/repair_wizard.h"
#include "wizards/scenery_wizard.h"

namespace {

struct DiscPagePair {
  const char* change_title;
  const char* check_title;
  WizardPage back_page;
  WizardPage work_page;
};

const DiscPagePair g_pairs[] = {
    {"Installing Zephiro - Please Change DVDs", "Installing Zephiro - Checking DVD...", select_scenery_page,
     install_page},
    {"Installing Scenery - Please change DVDs", "Installing Scenery - Verifying DVD", scenery_map_page,
     scenery_install_page},
    {"Repairing Zephiro - Please Change DVDs", "Repairing Zephiro - Checking DVD", repair_confirm_page,
     repair_page},
};
const int k_pair_count = sizeof g_pairs / sizeof g_pairs[0];

int g_position = 0;
bool g_not_ejected = false;  // the disc the page found could not be ejected
bool g_wrong_disc = false;   // the last check found no disc holding what the work needs

int change_page(int wizard, int entering, PageDescription& page) {
  const DiscPagePair& pair = g_pairs[wizard];
  // Disc images are all in at once: the one needed is taken without asking the user.
  if (entering && has_disc_image_drive() && find_needed_disc(g_position)) {
    page.title = localize(pair.check_title);
    page.next_page = pair.work_page;
    return 1;
  }
  // The disc in the drive goes out first, even when it is the one needed.
  if (entering) g_not_ejected = false;
  if (entering && !dvd_root().empty()) {
    const int code = eject_drive(dvd_root());
    if (code != 0) LOG << "Could not eject " << dvd_root() << ": " << error_message_for_code(code) << "\n";
    g_not_ejected = code != 0;
    set_dvd_root("");
  }
  page.title = localize(pair.change_title);
  const int disc = g_position >= 0 && g_position < manifest_group_count() ? current_entry(g_position).disc_number : 0;
  page.text = substitute_parameters(localize("Please insert DVD number %1:disk number% and click continue."),
                                    disc_number_text(disc));
  // CONTINUE with another disc (or none) comes back here: say so, or nothing would change.
  if (g_wrong_disc)
    page.text = substitute_parameters(localize("That is not the DVD I need: I need DVD number %1:disk number%."),
                                      disc_number_text(disc)) +
                "\n\n" + page.text;
  // The wizard goes on all the same: the user takes the old disc out by hand.
  if (g_not_ejected)
    page.text = localize("The DVD could not be ejected. Please take it out of the drive yourself.") + "\n\n" + page.text;
  page.back_page = pair.back_page;
  page.next_page = disc_check_page(wizard);
  // A picked image goes straight to the check: it is the disc put in.
  offer_disc_images(page, disc_check_page(wizard), disc_change_page(wizard));
  return 0;
}

int check_page(int wizard, PageDescription& page) {
  const DiscPagePair& pair = g_pairs[wizard];
  page.title = localize(pair.check_title);
  const bool found = find_needed_disc(g_position);
  g_wrong_disc = !found;
  page.next_page = found ? pair.work_page : disc_change_page(wizard);
  return 1;
}

template <int Wizard>
int change_page_of(int entering, PageDescription& page) {
  return change_page(Wizard, entering, page);
}
template <int Wizard>
int check_page_of(int, PageDescription& page) {
  return check_page(Wizard, page);
}

const WizardPage k_change_pages[] = {change_page_of<0>, change_page_of<1>, change_page_of<2>};
const WizardPage k_check_pages[] = {check_page_of<0>, check_page_of<1>, check_page_of<2>};

bool known(int wizard) { return wizard >= 0 && wizard < k_pair_count; }

}  // namespace

WizardPage disc_change_page(int wizard) { return known(wizard) ? k_change_pages[wizard] : nullptr; }
WizardPage disc_check_page(int wizard) { return known(wizard) ? k_check_pages[wizard] : nullptr; }

void set_disc_change_position(int group) {
  g_position = group;
  g_wrong_disc = false;  // a new request: no disc has been tried for it yet
}
void reset_disc_change() {
  g_position = 0;
  g_not_ejected = false;
  g_wrong_disc = false;
}
