#pragma once
// The DVD install wizard: Welcome, Pick Destination, License, Select Scenery, Install and
// Finish. The Welcome page is the program's first page: it looks at the drives every
// frame and greets the user once an install disc is in one of them, or shows the main
// menu when a copy is installed already.

#include <string>

#include "wizards/install_work.h"

int welcome_page(int entering, PageDescription& page);
int pick_destination_page(int entering, PageDescription& page);
int license_page(int entering, PageDescription& page);
int select_scenery_page(int entering, PageDescription& page);
int install_page(int entering, PageDescription& page);
int finish_page(int entering, PageDescription& page);

// The wizard's state for the whole run.
struct DvdInstallState {
  std::string destination_folder;  // parent of the new copy; set on the first visit of Pick Destination
  std::string install_name;        // the new copy's folder name
  std::string desktop_folder;      // the user's desktop, ending '/'
  int agreement = 0;               // the License check box
  WorkRun work;                    // the install, from its start until it ends or is cancelled
  std::string copy_being_made;     // the folder the running install made: all a cancel deletes
};
DvdInstallState& dvd_install();
void reset_dvd_install();

// Whether a name can be the new copy's folder: one folder name, so not empty, not "."
// or "..", without "/" and without a NUL character.
bool is_usable_install_name(const std::string& name);

// The License page's text, translated: four paragraphs.
std::string license_text();
