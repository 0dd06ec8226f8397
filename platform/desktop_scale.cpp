#include "platform/desktop_scale.h"

#include <cstdlib>

namespace {

// A whole number made of digits only, else -1 (so "2x" or "1.5" are not taken as 2 or 1).
long whole_number(const std::string& text) {
  if (text.empty() || text.size() > 6) return -1;
  for (char c : text)
    if (c < '0' || c > '9') return -1;
  return std::strtol(text.c_str(), nullptr, 10);
}

}  // namespace

int scale_factor_from(const std::string& gdk_scale, const std::string& dpi) {
  const long asked = whole_number(gdk_scale);
  if (asked >= 1) return static_cast<int>(asked);
  // Desktops write the resource as a decimal number ("192", "192.0").
  char* end = nullptr;
  const double value = std::strtod(dpi.c_str(), &end);
  if (!dpi.empty() && end != dpi.c_str() && value >= 192.0) return 2;
  return 1;
}
