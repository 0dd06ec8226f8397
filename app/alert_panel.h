#pragma once
// The alert as a panel in the window: the four lines (or the language choice) and one
// button, shown by passes of the main loop until the user answers.

// Makes alerts show in the window from now on (the window is ready to draw them).
void install_alert_panel();
