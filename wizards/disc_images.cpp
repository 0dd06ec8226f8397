#include "wizards/disc_images.h"

#include <string>

#include "engine/dvd_discovery.h"
#include "io/file_ops.h"
#include "ui/file_dialog.h"
#include "ui/localization.h"

namespace {

struct DiscImagesState {
  // Set by the page that last offered the choice: the picker's page can only be reached
  // from there.
  WizardPage after_pick = nullptr;
  WizardPage after_cancel = nullptr;
  std::string title;
  std::string start_folder;  // where the last image was picked
};
DiscImagesState g_images;

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

void offer_disc_images(PageDescription& page, WizardPage after_pick, WizardPage after_cancel) {
  g_images.after_pick = after_pick;
  g_images.after_cancel = after_cancel;
  g_images.title = page.title;
  page.add_choice(localize("Use Disc Images…"), disc_images_page);
}

int disc_images_page(int entering, PageDescription& page) {
  DiscImagesState& s = g_images;
  page.title = s.title;
  page.text = localize("Please pick the disc image (.iso file) of a Zephiro 9 DVD.");
  page.back_page = s.after_cancel;
  if (entering) {
    const std::string start = s.start_folder.empty() ? special_folder(folder_desktop) : s.start_folder;
    // Without a picker on the machine the user has been told: back to the request.
    if (!open_file_dialog(dialog_open_disc_image, localize("Pick a Zephiro 9 disc image"), localize("Select"), start,
                          "", &s)) {
      page.next_page = s.after_cancel;
      return 1;
    }
  }
  std::string picked;
  const int status = poll_file_dialog(&s, picked);
  if (status == dialog_waiting) return 0;
  page.next_page = s.after_cancel;
  if (status == dialog_confirmed) {
    s.start_folder = folder_of(picked);
    if (use_disc_images(picked) == 0) page.next_page = s.after_pick;
  }
  return 1;
}

void reset_disc_images() {
  close_file_dialog();
  g_images = DiscImagesState();
}
