#include "platform/termination.h"

#include <errno.h>
#include <signal.h>

namespace {

volatile sig_atomic_t g_requested = 0;

void note_request(int) { g_requested = 1; }

}  // namespace

namespace platform {

int catch_termination_requests() {
  struct sigaction action = {};
  action.sa_handler = note_request;
  sigemptyset(&action.sa_mask);
  // Restarted calls: a blocking read elsewhere must not fail because of the request.
  action.sa_flags = SA_RESTART;
  if (sigaction(SIGTERM, &action, nullptr) != 0) return errno;
  if (sigaction(SIGINT, &action, nullptr) != 0) return errno;
  return 0;
}

bool termination_requested() { return g_requested != 0; }

void clear_termination_request() { g_requested = 0; }

}  // namespace platform
