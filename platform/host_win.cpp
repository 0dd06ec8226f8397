#include "platform/host.h"

#include <windows.h>

#include "platform/windows_text.h"

namespace platform {

int host_target_platform() { return 2; }

const char* simulator_file_name() { return "Zephiro.exe"; }

std::string user_language_setting() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  // The language of the system's own menus and dialogs, e.g. "fr-FR".
  if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) > 0)
    return utf8_text(name);
  return std::string();
}

char path_list_separator() { return ';'; }

std::string program_path_of(const std::string& path) {
  std::string out = path;
  // A drive prefix keeps its backslash ("C:\\"); every other separator is '/'.
  const bool drive = out.size() > 2 && out[1] == ':' && (out[2] == '/' || out[2] == '\\');
  if (drive) out[2] = '\\';
  for (size_t i = drive ? 3 : 0; i < out.size(); ++i)
    if (out[i] == '\\') out[i] = '/';
  return out;
}

// Every interactive session of Windows has one.
bool has_desktop() { return true; }

std::string desktop_video_drivers() { return "windows"; }

}  // namespace platform
