#pragma once
// Whether the texts of a drawn frame fit the places they were drawn in. A translation
// longer than the English must get a shorter wording, never spill: the scripted user
// checks every frame of a run with this, in every language.

#include <string>
#include <vector>

#include "ui/draw_backend.h"

// The first text of the frame that does not fit, in words, or "" when all fit:
// - a choice button's label wider than the button less its rounded ends;
// - a bold line (a title, the current step, a caption) that wrapped: headings have one line;
// - a line that leaves the frame its text was started in (the page, when in none);
// - two lines drawn over each other;
// - a line that runs into a widget it is not the label or the text of.
std::string first_misfit(const std::vector<TextNote>& texts, const std::vector<WidgetNote>& widgets,
                         const std::vector<FrameNote>& frames);
