#include "platform/desktop_scale.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace {

// The Xft.dpi resource of the X display in DISPLAY; empty without one.
std::string xft_dpi() {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return "";
  Display* display = XOpenDisplay(name);
  if (!display) return "";
  const char* value = XGetDefault(display, "Xft", "dpi");
  std::string out = value ? value : "";
  XCloseDisplay(display);
  return out;
}

}  // namespace

int desktop_scale_factor() {
  const char* gdk = std::getenv("GDK_SCALE");
  return scale_factor_from(gdk ? gdk : "", xft_dpi());
}
