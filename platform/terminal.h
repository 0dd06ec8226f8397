#pragma once
// The terminal a command-line run talks to, if any.

#include <string>

namespace platform {

bool stdin_is_terminal();
bool stderr_is_terminal();
// One line typed on standard input (without its line end); false at end of input, or when
// a request to end the program came meanwhile (it does not wait for the line then).
bool read_stdin_line(std::string& line);

}  // namespace platform
