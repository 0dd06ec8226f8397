// What stands for the POSIX-only helpers on Windows: each says it cannot be had, and the
// tests that need them are left out of the Windows run (cmake/windows_tests.cmake says why).
#include "tests/test_util.h"

#include <cerrno>

TmpfsMount::TmpfsMount(const std::string&) {
  problem_ = "Windows has no tmpfs to mount";
}

TmpfsMount::~TmpfsMount() = default;

bool posix_system() { return false; }

bool run_as_nobody() { return false; }

bool limit_file_size(unsigned long) { return false; }

void send_signal(int, int) {}

int make_fifo(const std::string&) { return ENOSYS; }

int hold_in_child(const std::function<void()>&) { return -1; }

void kill_child(int) {}

bool set_xft_dpi(const std::string&) { return false; }
