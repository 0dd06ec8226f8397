#pragma once
// "Use Disc Images…": wherever the wizards ask for a disc, the user may pick a disc image
// (an .iso file) instead. It and the other images of the same set in its folder become
// drives for the rest of the run, so later disc requests are answered without the user.

#include "ui/page_framework.h"

// Adds the choice to a page that asks for a disc. A pick leads on to `after_pick`; a
// cancel, or an image that cannot be read (the user is told), back to `after_cancel`.
void offer_disc_images(PageDescription& page, WizardPage after_pick, WizardPage after_cancel);
// The page under the picker, which the choice leads to.
int disc_images_page(int entering, PageDescription& page);
void reset_disc_images();
