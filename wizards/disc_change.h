#pragma once
// The disc change of the three work pages (install, scenery install, repair): when the
// next archive lies on another DVD, the Disc Change Page ejects the disc and asks for the
// one needed, and the Disc Check Page looks for that archive in the drives and goes back
// to the work page, which goes on from where it stopped. The pairs differ only in their
// titles and in the pages they lead to.

#include "ui/page_framework.h"

enum DiscChangeWizard { disc_pages_install = 0, disc_pages_scenery = 1, disc_pages_repair = 2 };

// The pages of a wizard's pair. GO BACK on the change page leads to the page before the
// wizard's work page, which asks the wizard's cancel or stop question while the work
// runs; a found disc leads back to the work page.
WizardPage disc_change_page(int wizard);
WizardPage disc_check_page(int wizard);

// The work cursor at which the work stopped for another disc: its group names the disc.
void set_disc_change_position(int group);
void reset_disc_change();  // forgets the position
