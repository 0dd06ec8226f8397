#include "tests/test_util.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fstream>
#include <sstream>
#include <cstring>
#include <stdexcept>

TempDir::TempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = (tmp && *tmp) ? tmp : "/tmp";
  if (base.back() != '/') base += '/';
  std::string pattern = base + "zephiro_test_XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore write permission first so read-only test files do not block the cleanup.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add |
                                     std::filesystem::perm_options::nofollow, ec);
  std::filesystem::remove_all(path_, ec);
}

TmpfsMount::TmpfsMount(const std::string& size) {
  if (geteuid() != 0) {
    problem_ = "mounting a tmpfs needs root, and this test runs as an ordinary user";
  } else if (mount("tmpfs", folder_.path().c_str(), "tmpfs", 0, ("size=" + size + ",mode=0755").c_str()) != 0) {
    problem_ = std::string("could not mount a tmpfs: ") + std::strerror(errno);
  }
}

TmpfsMount::~TmpfsMount() {
  if (problem_.empty()) umount2(folder_.path().c_str(), MNT_DETACH);
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool make_tiny_disc_set(const std::string& folder, int discs, const std::string& extra) {
  std::string cmd = std::string("'") + ZEPHIRO_BINARY_DIR + "/make_disc_set' --out='" + folder +
                    "' --discs=" + std::to_string(discs) + " --size=tiny " + extra + " > /dev/null";
  return std::system(cmd.c_str()) == 0;
}

int hold_in_child(const std::function<void()>& work) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    work();
    char c = 1;
    if (write(ready[1], &c, 1) != 1) _exit(1);
    for (;;) pause();
  }
  char c = 0;
  if (pid < 0 || read(ready[0], &c, 1) != 1) pid = -1;
  close(ready[0]);
  close(ready[1]);
  return pid;
}

void kill_child(int pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

NoDisplay::NoDisplay() {
  for (auto* v : {&display_, &wayland_}) {
    const char* name = v == &display_ ? "DISPLAY" : "WAYLAND_DISPLAY";
    const char* value = std::getenv(name);
    *v = value ? value : "";
    unsetenv(name);
  }
}

NoDisplay::~NoDisplay() {
  if (!display_.empty()) setenv("DISPLAY", display_.c_str(), 1);
  if (!wayland_.empty()) setenv("WAYLAND_DISPLAY", wayland_.c_str(), 1);
}

ProgramRun::ProgramRun() {
  for (const char* sub : {"desktop", "data", "tmp"}) mkdir((root / sub).c_str(), 0700);
}

int ProgramRun::start(const std::vector<std::string>& args, const std::string& desktop, const std::string& program) {
  std::string exe = program.empty() ? std::string(ZEPHIRO_BINARY_DIR "/zephiro-installer") : program;
  std::string out_file = root / "stdout.txt", err_file = root / "stderr.txt";
  pid_t pid = fork();
  if (pid == 0) {
    setenv("XDG_DESKTOP_DIR", (desktop.empty() ? root / "desktop" : desktop).c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("TMPDIR", (root / "tmp").c_str(), 1);
    unsetenv("GDK_SCALE");
    for (const auto& e : environment) setenv(e.first.c_str(), e.second.c_str(), 1);
    // The leak check of a sanitizer build cannot work under a tracer such as strace.
    if (!wrapper.empty()) {
      const char* options = std::getenv("ASAN_OPTIONS");
      setenv("ASAN_OPTIONS", (std::string(options ? options : "") + ":detect_leaks=0").c_str(), 1);
    }
    if (!freopen(out_file.c_str(), "w", stdout) || !freopen(err_file.c_str(), "w", stderr) ||
        !freopen("/dev/null", "r", stdin))
      _exit(120);
    std::vector<char*> argv;
    for (const std::string& w : wrapper) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(121);
  }
  return pid;
}

RunResult ProgramRun::finish(int pid) {
  RunResult r;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
  r.out = read_file(root / "stdout.txt");
  r.err = read_file(root / "stderr.txt");
  return r;
}

void ProgramRun::terminate(int pid) {
  if (pid > 0) kill(pid, SIGTERM);
}

RunResult ProgramRun::run(const std::vector<std::string>& args, const std::string& desktop) {
  return finish(start(args, desktop));
}

// Last: the X headers define names (None, Status) that clash with other headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

bool set_xft_dpi(const std::string& value) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const std::string resources = "Xft.dpi:\t" + value + "\n";
  XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(resources.data()), static_cast<int>(resources.size()));
  XCloseDisplay(display);
  return true;
}

bool wait_for(const std::function<bool()>& ready, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end)
    if (ready()) return true;
  return ready();
}
