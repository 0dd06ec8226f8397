/* Stands in for the Windows simulator, Zephiro.exe, in the generated disc sets: each start
   adds a line to "Zephiro started.txt" beside the program, so a test can see that the
   installer started it and with how many parameters. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <wchar.h>

int main(void) {
  wchar_t path[MAX_PATH + 32];
  DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  wchar_t* slash = wcsrchr(path, L'\\');
  wcscpy(slash ? slash + 1 : path, L"Zephiro started.txt");
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args) LocalFree(args);
  char line[96];
  int len = snprintf(line, sizeof line, "Zephiro 9 started with %d parameters\n", count > 0 ? count - 1 : 0);
  HANDLE f = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  BOOL ok = WriteFile(f, line, (DWORD)len, &written, NULL);
  CloseHandle(f);
  return ok ? 0 : 1;
}
