#pragma once
// The add/remove scenery wizard: the user picks an installed copy, a quick scan finds
// which of the disc set's scenery tiles it holds, the world map starts with those
// selected, and the work installs the tiles the user added and deletes the files of the
// tiles the user removed. The copy's other files are out of its scope.

#include "wizards/copy_scan.h"
#include "wizards/install_work.h"

int scenery_select_copy_page(int entering, PageDescription& page);
int scenery_scan_page(int entering, PageDescription& page);
int scenery_map_page(int entering, PageDescription& page);
int scenery_install_page(int entering, PageDescription& page);
int scenery_finish_page(int entering, PageDescription& page);

struct SceneryWizardState {
  CopyScan scan;
  WorkRun work;
  // The counts the work was started with; the finish page words its text by them.
  int files_to_install = 0;
  int files_to_delete = 0;
};
SceneryWizardState& scenery_wizard();
void reset_scenery_wizard();
