#include "platform/child_process.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/fs.h"
#include "platform/windows_text.h"

namespace {

// Process ids name the children; the table keeps the handles that wait for them.
struct ChildTable {
  std::mutex mutex;
  std::map<int, HANDLE> processes;
};
ChildTable& children() {
  static ChildTable table;
  return table;
}

HANDLE process_handle(int pid) {
  std::lock_guard<std::mutex> guard(children().mutex);
  auto it = children().processes.find(pid);
  return it == children().processes.end() ? nullptr : it->second;
}

void forget_process(int pid) {
  std::lock_guard<std::mutex> guard(children().mutex);
  auto it = children().processes.find(pid);
  if (it == children().processes.end()) return;
  CloseHandle(it->second);
  children().processes.erase(it);
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

std::wstring command_line(const std::vector<std::string>& argv) {
  std::wstring line;
  for (const std::string& a : argv) {
    // The program's own name with the system's separators: some programs (cmd.exe) read a
    // '/' in it as the start of a switch.
    if (!line.empty()) line += L' ';
    line += quoted(line.empty() ? platform::wide_path(a) : platform::wide_text(a));
  }
  return line;
}

// Starts the child with the given standard output and error (and input, and environment
// block, when given); its id, or -1 (errno set).
int spawn(const std::vector<std::string>& argv, HANDLE out, HANDLE err, HANDLE in = nullptr,
          wchar_t* environment = nullptr) {
  STARTUPINFOW start = {};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = in ? in : GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = out;
  start.hStdError = err;
  PROCESS_INFORMATION info = {};
  std::wstring line = command_line(argv);
  std::wstring program = platform::wide_path(argv[0]);
  const DWORD flags = CREATE_NO_WINDOW | (environment ? CREATE_UNICODE_ENVIRONMENT : 0);
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, flags, environment, nullptr, &start,
                      &info)) {
    errno = platform::last_system_errno();
    return -1;
  }
  CloseHandle(info.hThread);
  std::lock_guard<std::mutex> guard(children().mutex);
  children().processes[static_cast<int>(info.dwProcessId)] = info.hProcess;
  return static_cast<int>(info.dwProcessId);
}

HANDLE null_device(DWORD access = GENERIC_WRITE) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
}

// A new file the child writes its output to; the handle is inherited.
HANDLE output_file_for_child(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(platform::wide_path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The caller's environment block with NAME=VALUE entries replacing theirs (names compared
// without case, as Windows does) and bare NAMEs removed, sorted as the system keeps it.
std::wstring environment_block(const std::vector<std::string>& changes) {
  std::vector<std::wstring> entries;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* e = block; *e; e += wcslen(e) + 1) entries.emplace_back(e);
    FreeEnvironmentStringsW(block);
  }
  auto name_of = [](const std::wstring& e) { return e.substr(0, e.find(L'=', 1)); };
  for (const std::string& change : changes) {
    const std::wstring c = platform::wide_text(change);
    const std::wstring name = name_of(c);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::wstring& e) { return _wcsicmp(name_of(e).c_str(), name.c_str()) == 0; }),
                  entries.end());
    if (c.find(L'=', 1) != std::wstring::npos) entries.push_back(c);
  }
  std::sort(entries.begin(), entries.end(), [&](const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(name_of(a).c_str(), name_of(b).c_str()) < 0;
  });
  std::wstring block;
  for (const std::wstring& e : entries) block += e + L'\0';
  return block + L'\0';
}

bool is_program(const std::string& path) {
  DWORD a = GetFileAttributesW(platform::wide_path(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string find_program(const std::string& name, const std::string& search_path) {
  const bool has_ext = name.size() > 4 && name[name.size() - 4] == '.';
  if (name.find_first_of("/\\") != std::string::npos) return is_program(name) ? name : "";
  std::string path = search_path.empty() ? platform::env("PATH") : search_path;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(';', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (dir.empty()) dir = ".";
    if (is_program(dir + "/" + name)) return dir + "/" + name;
    if (!has_ext && is_program(dir + "/" + name + ".exe")) return dir + "/" + name + ".exe";
    start = end + 1;
  }
  return "";
}

int start_captured(const std::vector<std::string>& argv, CapturedChild& child) {
  child = CapturedChild();
  if (argv.empty()) return EINVAL;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end, write_end;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return platform::last_system_errno();
  // Only the child's end is inherited.
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  int pid = spawn(argv, write_end, err);
  int code = errno;
  CloseHandle(write_end);
  if (pid < 0) {
    CloseHandle(read_end);
    return code;
  }
  child.pid = pid;
  child.fd = static_cast<int>(reinterpret_cast<intptr_t>(read_end));
  return 0;
}

bool poll_captured(CapturedChild& child, int& exit_status) {
  exit_status = -1;
  if (child.pid <= 0) return true;
  HANDLE pipe = reinterpret_cast<HANDLE>(static_cast<intptr_t>(child.fd));
  HANDLE process = process_handle(child.pid);
  auto drain = [&]() {
    char buffer[4096];
    DWORD waiting = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0) {
      DWORD n = 0;
      if (!ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) || n == 0) break;
      child.output.append(buffer, n);
    }
  };
  drain();
  if (process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) return false;
  drain();  // what it wrote last is still in the pipe
  DWORD code = 0;
  if (process && GetExitCodeProcess(process, &code)) exit_status = static_cast<int>(code);
  CloseHandle(pipe);
  forget_process(child.pid);
  child.fd = -1;
  child.pid = -1;
  return true;
}

void stop_captured(CapturedChild& child) {
  if (child.pid > 0) stop_process(child.pid);
  if (child.fd >= 0) CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(child.fd)));
  child = CapturedChild();
}

int start_process(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  HANDLE sink = null_device();
  int pid = spawn(argv, sink, sink);
  if (sink != INVALID_HANDLE_VALUE) CloseHandle(sink);
  return pid;
}

void stop_process(int pid) {
  HANDLE process = process_handle(pid);
  if (!process) return;
  TerminateProcess(process, 1);
  WaitForSingleObject(process, INFINITE);
  forget_process(pid);
}

bool process_running(int pid) {
  HANDLE process = process_handle(pid);
  return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

void set_environment(const std::string& name, const std::string& value) {
  // Both the system's copy (read by libraries) and the C runtime's (read by getenv).
  SetEnvironmentVariableW(platform::wide_text(name).c_str(), platform::wide_text(value).c_str());
  _wputenv_s(platform::wide_text(name).c_str(), platform::wide_text(value).c_str());
}

void unset_environment(const std::string& name) {
  SetEnvironmentVariableW(platform::wide_text(name).c_str(), nullptr);
  _wputenv_s(platform::wide_text(name).c_str(), L"");
}

std::string get_environment(const std::string& name) { return platform::env(name.c_str()); }

int current_process_id() { return static_cast<int>(GetCurrentProcessId()); }

int start_program(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  const std::string& output_file, const std::string& error_file) {
  if (argv.empty()) return -1;
  std::vector<std::string> args = argv;
  if (args[0].find_first_of("/\\") == std::string::npos) args[0] = find_program(args[0]);
  if (args[0].empty()) return -1;
  // A program named without its ".exe", as the system's own command line takes it.
  if (!is_program(args[0]) && is_program(args[0] + ".exe")) args[0] += ".exe";
  HANDLE in = null_device(GENERIC_READ);
  HANDLE out = output_file_for_child(output_file);
  HANDLE err = output_file_for_child(error_file);
  std::wstring block = environment_block(environment);
  int pid = -1;
  if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE)
    pid = spawn(args, out, err, in, &block[0]);
  for (HANDLE h : {in, out, err})
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return pid;
}

int wait_for_exit(int pid) {
  HANDLE process = process_handle(pid);
  if (!process) return -1;
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  const int result = GetExitCodeProcess(process, &code) ? static_cast<int>(code) : -1;
  forget_process(pid);
  return result;
}

// As `taskkill` without /F and the end of a session do: each top-level window of the
// process is asked to close. A program without a window gets no such request.
bool request_end(int pid) {
  struct Search {
    DWORD pid;
    bool asked;
  } search = {static_cast<DWORD>(pid), false};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == s->pid && PostMessageW(window, WM_CLOSE, 0, 0)) s->asked = true;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.asked;
}

void end_at_once(int pid) {
  if (HANDLE process = process_handle(pid)) TerminateProcess(process, 1);
}
