// The helpers that only a POSIX system has: a tmpfs, a forked child, the X resources.
#include "tests/test_util.h"

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

bool posix_system() { return true; }

bool run_as_nobody() { return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0); }

bool limit_file_size(unsigned long bytes) {
  signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
  rlimit limit = {bytes, bytes};
  return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

void send_signal(int pid, int signal) { kill(pid, signal); }

int make_fifo(const std::string& path) { return mkfifo(path.c_str(), 0644) == 0 ? 0 : errno; }

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
