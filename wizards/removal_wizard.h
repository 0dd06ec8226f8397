#pragma once
// Removing an installed copy from the Main Menu: the user picks the copy, a confirmation
// page says how many files will go and how much space that frees, the work page removes
// them with progress, and the finish page lists the files of the user's own that were kept.

#include "engine/copy_removal.h"
#include "wizards/install_work.h"

int remove_select_copy_page(int entering, PageDescription& page);
int remove_confirm_page(int entering, PageDescription& page);
int remove_page(int entering, PageDescription& page);
int remove_finish_page(int entering, PageDescription& page);

struct RemovalWizardState {
  RemovalPreview preview;
  bool is_copy = false;   // the picked folder is a copy (or one whose removal was interrupted)
  CopyRemoval removal;
  WorkRun work;           // running while the removal goes on; its error count words the finish
};
RemovalWizardState& removal_wizard();
void reset_removal_wizard();

// Whether a folder may be removed: an installed copy, or a folder whose record tells of an
// unfinished removal (which may no longer look like a copy).
bool may_remove_folder(const std::string& folder);
