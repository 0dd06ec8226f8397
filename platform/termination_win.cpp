#include "platform/termination.h"

#include <windows.h>

#include <csignal>

namespace {

// The console's Ctrl+C, Ctrl+Break and close are noted; the program polls the note.
volatile LONG g_signal = 0;

BOOL WINAPI note_request(DWORD event) {
  InterlockedExchange(&g_signal, event == CTRL_C_EVENT ? SIGINT : SIGTERM);
  return TRUE;
}

}  // namespace

namespace platform {

int catch_termination_requests() {
  return SetConsoleCtrlHandler(note_request, TRUE) ? 0 : static_cast<int>(GetLastError());
}

bool termination_requested() { return InterlockedCompareExchange(&g_signal, 0, 0) != 0; }

int termination_signal() { return static_cast<int>(InterlockedCompareExchange(&g_signal, 0, 0)); }

void clear_termination_request() { InterlockedExchange(&g_signal, 0); }

}  // namespace platform
