#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

int run_and_capture(const std::vector<std::string>& argv, std::string& output, int& exit_status) {
  output.clear();
  exit_status = -1;
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
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0) output.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR) break;
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return 0;
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
