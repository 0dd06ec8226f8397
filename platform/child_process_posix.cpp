#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace {

std::vector<char*> c_args(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  for (const std::string& a : argv) out.push_back(const_cast<char*>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

}  // namespace

std::string find_program(const std::string& name, const std::string& search_path) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
  std::string path = search_path;
  if (path.empty()) {
    const char* env = std::getenv("PATH");
    path = env ? env : "/usr/bin:/bin";
  }
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return "";
}

int start_captured(const std::vector<std::string>& argv, CapturedChild& child) {
  child = CapturedChild();
  if (argv.empty()) return EINVAL;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return errno;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  std::vector<char*> args = c_args(argv);
  pid_t pid;
  const int r = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (r != 0) {
    close(fds[0]);
    return r;
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  child.pid = static_cast<int>(pid);
  child.fd = fds[0];
  return 0;
}

bool poll_captured(CapturedChild& child, int& exit_status) {
  exit_status = -1;
  if (child.pid <= 0) return true;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(child.fd, buffer, sizeof buffer);
    if (n > 0) {
      child.output.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // nothing more for now (EAGAIN), or the end of its output
  }
  int status = 0;
  const pid_t done = waitpid(child.pid, &status, WNOHANG);
  if (done == 0) return false;
  // Ended: what it wrote last is still in the pipe.
  for (ssize_t n; (n = read(child.fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
    if (n > 0) child.output.append(buffer, static_cast<size_t>(n));
  close(child.fd);
  child.fd = -1;
  child.pid = -1;
  if (done > 0) exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

void stop_captured(CapturedChild& child) {
  if (child.pid > 0) {
    kill(child.pid, SIGTERM);
    int status;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (child.fd >= 0) close(child.fd);
  child = CapturedChild();
}

int start_process(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args = c_args(argv);
  pid_t pid;
  const int r = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return r == 0 ? static_cast<int>(pid) : -1;
}

void stop_process(int pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

bool process_running(int pid) {
  if (pid <= 0) return false;
  int status;
  return waitpid(pid, &status, WNOHANG) == 0;
}

void set_environment(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }

void unset_environment(const std::string& name) { unsetenv(name.c_str()); }

std::string get_environment(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  return v ? v : "";
}

int current_process_id() { return static_cast<int>(getpid()); }

int start_program(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  const std::string& output_file, const std::string& error_file) {
  if (argv.empty()) return -1;
  // The caller's environment with the entries given replacing (or removing) theirs.
  std::vector<std::string> entries;
  for (char** e = environ; *e; ++e) entries.emplace_back(*e);
  for (const std::string& change : environment) {
    const std::string name = change.substr(0, change.find('='));
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::string& e) { return e.compare(0, name.size() + 1, name + "=") == 0; }),
                  entries.end());
    if (change.find('=') != std::string::npos) entries.push_back(change);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> args = c_args(argv);
  std::vector<char*> envp = c_args(entries);
  pid_t pid;
  const int r = posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return r == 0 ? static_cast<int>(pid) : -1;
}

int wait_for_exit(int pid) {
  int status = 0;
  if (pid <= 0) return -1;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool request_end(int pid) { return pid > 0 && kill(pid, SIGTERM) == 0; }

void end_at_once(int pid) {
  if (pid > 0) kill(pid, SIGKILL);
}
