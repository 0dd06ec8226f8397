#pragma once
// Requests from outside to end the program (SIGTERM from a session manager or `kill`,
// SIGINT from a terminal): they are noted and the main loop quits as if the window had
// been closed, so the normal shutdown runs and the preferences are saved.

namespace platform {

// Notes SIGTERM and SIGINT from now on instead of dying at once. Returns 0 or the
// system's error.
int catch_termination_requests();
// Whether such a request came; it stays noted until cleared.
bool termination_requested();
void clear_termination_request();

}  // namespace platform
