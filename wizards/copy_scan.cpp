#include "wizards/copy_scan.h"

#include <string>

#include "engine/install_plan.h"
#include "engine/manifest.h"
#include "ui/localization.h"

void start_copy_scan(CopyScan& scan) {
  abort_checksum();
  scan.cursor = 0;
}

int copy_scan_frame(CopyScan& scan, bool quick, PageDescription& page, WizardPage back_page, WizardPage next_page) {
  page.quit_handler = abort_checksum;
  float progress = 0;
  if (checksum_step(scan.cursor, quick, progress)) {
    page.next_page = next_page;
    return 1;
  }
  page.set_progress(progress, substitute_parameters(localize("Scanning %1:number% of %2:total% files."),
                                                    std::to_string(scan.cursor),
                                                    std::to_string(manifest_group_count())));
  page.back_page = back_page;
  return 0;
}
