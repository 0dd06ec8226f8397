#pragma once
// The disc change of the three work pages (install, scenery install, repair): when the
// next archive lies on another DVD, the Disc Change Page ejects the disc and asks for the
// one needed, and the Disc Check Page looks for that archive in the drives and goes back
// to the work page, which goes on from where it stopped. The pairs differ only in their
// titles and in the pages they lead to.

#include "ui/page_framework.h"

enum DiscChangeWizard { disc_pages_install = 0, disc_pages_scenery = 1, disc_pages_repair = 2 };

// The pages a wizard's pair leads to: GO BACK on the change page (that page asks the
// wizard's cancel or stop question while the work runs) and the work page a found disc
// returns to. The install wizard's are set from the start.
void plug_disc_change_pages(int wizard, WizardPage back_page, WizardPage work_page);
WizardPage disc_change_page(int wizard);
WizardPage disc_check_page(int wizard);

// The work cursor at which the work stopped for another disc: its group names the disc.
void set_disc_change_position(int group);
int disc_change_position();
void reset_disc_change();  // forgets the position (the pages stay plugged)
