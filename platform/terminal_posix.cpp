#include "platform/terminal.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/termination.h"

namespace platform {

bool stdin_is_terminal() { return isatty(0) == 1; }
bool stderr_is_terminal() { return isatty(2) == 1; }

bool read_stdin_line(std::string& line) {
  line.clear();
  for (;;) {
    // Waits in short steps, so that a request to end the program ends the wait too.
    if (termination_requested()) return false;
    struct pollfd in = {0, POLLIN, 0};
    int ready = poll(&in, 1, 100);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    char c;
    ssize_t n = read(0, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return !line.empty();
    if (c == '\n') return true;
    if (c != '\r') line += c;
  }
}

}  // namespace platform
