#include "platform/termination.h"

#include <errno.h>
#include <signal.h>

namespace {

// Only an async-signal-safe store happens in the handler; the program polls it.
volatile sig_atomic_t g_signal = 0;

void note_request(int signal_number) { g_signal = signal_number; }

}  // namespace

namespace platform {

int catch_termination_requests() {
  struct sigaction action = {};
  action.sa_handler = note_request;
  sigemptyset(&action.sa_mask);
  // Restarted calls: a read or write on any thread must not fail because of the request.
  action.sa_flags = SA_RESTART;
  if (sigaction(SIGTERM, &action, nullptr) != 0) return errno;
  if (sigaction(SIGINT, &action, nullptr) != 0) return errno;
  return 0;
}

bool termination_requested() { return g_signal != 0; }

int termination_signal() { return g_signal; }

void clear_termination_request() { g_signal = 0; }

}  // namespace platform
