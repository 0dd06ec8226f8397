#pragma once
// The disk-space panel the install, scenery and repair pages show under their text: the
// size and free space of the copy's volume, what the coming work needs, and whether that
// fits.

#include <string>

// Draws the panel for the Install Path's volume with the (English) status text for
// enough or for too little space, and returns whether the work fits: needed strictly
// below free, or nothing needed; the status text says the same. When the volume cannot
// be asked nothing is drawn and the answer is yes.
// A temporary folder on another disk that cannot hold the largest archive takes the
// status line instead, and the answer is no.
bool disk_space_panel(const std::string& enough_text, const std::string& short_text);
