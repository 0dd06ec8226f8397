#pragma once
// Picking the installed copy the wizards work on: the copies of the registry as a column
// of check boxes that act as one radio group, and "Find It" for a copy the registry does
// not know yet.

#include <string>

#include "engine/registry.h"  // is_installed_copy

struct PageDescription;

// The copy a folder lies in: the folder itself or the nearest folder above it that is an
// installed copy; empty when there is none.
std::string copy_holding(const std::string& folder);

// Draws the list and the "Find It" line for this frame and acts on their clicks: a
// ticked copy becomes the Install Path; a copy found with the folder picker becomes the
// Install Path and is registered. With exactly one copy and no Install Path yet, that
// copy is taken.
void copy_picker();

// Whether the Install Path is one of the listed copies (a page may go on only then).
bool install_path_is_listed_copy();

// A page that asks which copy to work on (the Run page, the Select Copy pages): with
// exactly one copy it is the Install Path; the picker; CONTINUE only while a listed copy
// is ticked; and the text, which says first that there are several copies when there
// are. `pick_sentence` is English, shown translated.
void pick_copy(PageDescription& page, const char* pick_sentence);
