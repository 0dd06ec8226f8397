#include "platform/system_dialog.h"

#include <cerrno>

namespace platform {

// The desktops here have no dialog in the system itself; zenity or kdialog serve instead.
bool system_dialogs_available() { return false; }

int system_dialog_show(int, const std::string&, const std::string&, const std::string&) { return ENOSYS; }

int system_dialog_poll(std::string&) { return 0; }

bool system_dialog_up() { return false; }

}  // namespace platform
