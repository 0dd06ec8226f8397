#pragma once
// How much the coming work needs on disk, and whether the copy's volume has it.
// Sizes are kilobytes of 1000 bytes.

#include <string>

// Recomputes the Install Totals from the last scan, the scope, the Target Platform and
// the selected tiles (no plan needed).
void compute_install_totals();

// "1.0 GB", "1000 MB", "12 KB", in the user's language, the number and the unit joined by a
// no-break space so that a wrapped text keeps them on one line.
std::string size_text(double kilobytes);

struct SpaceDecision {
  bool shown = false;  // false when the volume could not be asked (then enough is true)
  double total_kb = 0, free_kb = 0, needed_kb = 0;
  // Needed < free, strictly, or nothing needed: decides both the status text and whether
  // the work may go on.
  bool enough = true;
};
// Asks the volume of the Install Path.
SpaceDecision space_decision();
SpaceDecision space_decision_for(const std::string& path);
// Whether the temporary folder, where each archive is copied from the disc before it is
// extracted, can hold the largest archive of the coming work. Asked only when that folder
// lies on another filesystem than the copy (shown is false otherwise).
SpaceDecision scratch_space_decision();
