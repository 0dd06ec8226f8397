#include "platform/terminal.h"

#include <windows.h>

#include "platform/termination.h"

namespace platform {

namespace {

bool is_console(DWORD which) {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

bool stdin_is_terminal() { return is_console(STD_INPUT_HANDLE); }
bool stderr_is_terminal() { return is_console(STD_ERROR_HANDLE); }

bool read_stdin_line(std::string& line) {
  line.clear();
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  const bool console = stdin_is_terminal();
  for (;;) {
    // Waits in short steps, so that a request to end the program ends the wait too.
    if (termination_requested()) return false;
    if (console) {
      DWORD r = WaitForSingleObject(in, 100);
      if (r == WAIT_TIMEOUT) continue;
      if (r != WAIT_OBJECT_0) return false;
      wchar_t c;
      DWORD n = 0;
      // Console input arrives a line at a time; key and mouse events without text read as 0.
      if (!ReadConsoleW(in, &c, 1, &n, nullptr)) return false;
      if (n == 0) continue;
      if (c == L'\n') return true;
      if (c == L'\r') continue;
      char utf8[8];
      int len = WideCharToMultiByte(CP_UTF8, 0, &c, 1, utf8, sizeof utf8, nullptr, nullptr);
      line.append(utf8, len > 0 ? static_cast<size_t>(len) : 0);
      continue;
    }
    char c;
    DWORD n = 0;
    if (!ReadFile(in, &c, 1, &n, nullptr) || n == 0) return !line.empty();
    if (c == '\n') return true;
    if (c != '\r') line += c;
  }
}

}  // namespace platform
