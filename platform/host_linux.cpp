#include "platform/host.h"

#include "platform/fs.h"

namespace platform {

int host_target_platform() { return 3; }

const char* simulator_file_name() { return "Zephiro"; }

std::string user_language_setting() {
  // The first of the locale variables that is set decides.
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string value = env(name);
    if (!value.empty()) return value;
  }
  return std::string();
}

char path_list_separator() { return ':'; }

std::string program_path_of(const std::string& path) { return path; }

bool has_desktop() { return !env("DISPLAY").empty() || !env("WAYLAND_DISPLAY").empty(); }

std::string desktop_video_drivers() {
  std::string drivers;
  if (!env("DISPLAY").empty()) drivers = "x11";
  if (!env("WAYLAND_DISPLAY").empty()) drivers += drivers.empty() ? "wayland" : ",wayland";
  return drivers.empty() ? "x11" : drivers;
}

}  // namespace platform
