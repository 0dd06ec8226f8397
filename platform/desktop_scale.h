#pragma once
// The scale factor the user's desktop asks programs to draw at (high-density screens).

#include <string>

// GDK_SCALE when it is a whole number of 1 or more; else 2 when the X resource Xft.dpi is
// 192 or more; else 1.
int desktop_scale_factor();
// The same rule applied to the two texts as the desktop gives them (either may be empty).
int scale_factor_from(const std::string& gdk_scale, const std::string& xft_dpi);
