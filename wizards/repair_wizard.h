#pragma once
// The repair wizard: the user picks an installed copy, a full signature scan checks every
// file of the copy that is not scenery against the disc set, a confirmation page says how
// many files must be installed, and the work reinstalls them from the discs (and deletes
// files the product no longer uses). Scenery is out of its scope.

#include "wizards/copy_scan.h"
#include "wizards/install_work.h"

int repair_select_copy_page(int entering, PageDescription& page);
int repair_scan_page(int entering, PageDescription& page);
int repair_confirm_page(int entering, PageDescription& page);
int repair_page(int entering, PageDescription& page);
int repair_finish_page(int entering, PageDescription& page);

struct RepairWizardState {
  CopyScan scan;
  WorkRun work;
  int repair_count = 0;  // files the scan found missing, damaged or no longer wanted
  bool complete = false;  // nothing to install or delete: the copy is as the discs describe it
};
RepairWizardState& repair_wizard();
void reset_repair_wizard();

// The files a repair acts on after the last scan: wanted files that do not match the
// disc set, and files the product no longer uses that are still there.
int count_repairs();
