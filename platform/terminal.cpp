#include "platform/terminal.h"

#include <unistd.h>

#include <iostream>

namespace platform {

bool stdin_is_terminal() { return isatty(0) == 1; }
bool stderr_is_terminal() { return isatty(2) == 1; }

bool read_stdin_line(std::string& line) { return static_cast<bool>(std::getline(std::cin, line)); }

}  // namespace platform
