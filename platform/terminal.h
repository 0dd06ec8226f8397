#pragma once
// The terminal a command-line run talks to, if any.

#include <string>

namespace platform {

bool stdin_is_terminal();
bool stderr_is_terminal();
// One line typed on standard input (without its line end); false at end of input.
bool read_stdin_line(std::string& line);

}  // namespace platform
