#pragma once
// The scan page of the scenery and repair wizards: the signature scan of the chosen copy,
// a step per frame with its progress; the page moves on by itself when the scan is done.

#include "ui/page_framework.h"

// Where a scan page's scan stands between frames.
struct CopyScan {
  int cursor = 0;  // the next group to hand to the scan
};

// Entering the page starts the scan from the first group (a scan left running by an
// earlier visit is ended first); the caller has set the Install Scope.
void start_copy_scan(CopyScan& scan);
// One frame: the quit handler stops the scan; one Checksum Step (quick: a file that exists
// counts as installed). Done: `next_page` and 1, so the page advances at once. Otherwise
// the progress and its caption, GO BACK to `back_page`, and 0.
int copy_scan_frame(CopyScan& scan, bool quick, PageDescription& page, WizardPage back_page, WizardPage next_page);
