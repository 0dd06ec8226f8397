#include "wizards/disk_space_panel.h"

#include "engine/disk_space.h"
#include "io/run_folder.h"
#include "ui/colour_table.h"
#include "ui/localization.h"
#include "ui/text_render.h"

bool disk_space_panel(const std::string& enough_text, const std::string& short_text) {
  const SpaceDecision d = space_decision();
  const SpaceDecision scratch = scratch_space_decision();
  if (!d.shown && scratch.enough) return true;
  std::string status = localize(d.enough ? enough_text : short_text);
  // Each archive passes through the temporary folder on its way from the disc.
  if (!scratch.enough)
    status = substitute_parameters(localize("The temporary folder %1:folder% has %2:free space% free, but the largest "
                                            "file needs %3:needed space% there on its way from the DVD."),
                                   scratch_folder(), size_text(scratch.free_kb), size_text(scratch.needed_kb), "");
  const std::string text = substitute_parameters(
      localize("Disk size: %1:total disk space%\nFree disk space: %2:free disk space%\nDisk space needed to install: "
               "%3:required disk space%\n\n%4:status message%"),
      size_text(d.total_kb), size_text(d.free_kb), size_text(d.needed_kb), status);
  draw_text(colour_text, 220, 130, text, 560, weight_regular, align_left);
  return d.enough && scratch.enough;
}
