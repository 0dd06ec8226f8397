#pragma once
// The main menu of an installed copy (the Welcome page's text and choices once a copy is
// known), the Run page that picks the copy to run, and the Run Action that starts the
// simulator and ends the installer.

#include "ui/page_framework.h"

// Fills the page's text and its choices: run, add or remove scenery (when the set has
// scenery tiles), repair and install a second copy (when it has base files). The text
// names each copy whose install or later change did not finish, and the choice that
// finishes it. `entering`: the Welcome page was entered (the copies' records are read again).
void main_menu(int entering, PageDescription& page);

int run_page(int entering, PageDescription& page);
// Starts the copy's simulator: on success the installer shuts down and ends with exit
// code 1; on failure the page says why and leads back to the Main Menu.
int run_action(int entering, PageDescription& page);

// The simulator's program inside a copy, relative to the copy's folder.
const char* simulator_program_name();
