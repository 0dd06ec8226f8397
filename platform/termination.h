#pragma once
// Requests from outside to end the program (SIGTERM from a session manager or `kill`,
// SIGINT from a terminal): they are noted and the program stops in order, the window's
// main loop as if the window had been closed, the command-line mode by ending its work.

namespace platform {

// Notes SIGTERM and SIGINT from now on instead of dying at once. Returns 0 or the
// system's error.
int catch_termination_requests();
// Whether such a request came; it stays noted until cleared.
bool termination_requested();
// The signal of the request (SIGINT or SIGTERM), 0 when none came.
int termination_signal();
void clear_termination_request();

}  // namespace platform
