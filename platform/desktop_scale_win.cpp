#include "platform/desktop_scale.h"

#include <windows.h>

#include <string>

#include "platform/fs.h"

int desktop_scale_factor() {
  // The desktop's logical resolution: 192 dots an inch and more is a high-density screen.
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return scale_factor_from(platform::env("GDK_SCALE"), dpi > 0 ? std::to_string(dpi) : std::string());
}
