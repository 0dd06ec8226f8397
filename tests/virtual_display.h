#pragma once
// A display for tests that open the real window: an Xvfb server of our own with a screen
// of the size asked, and Mesa's software renderer. The display the tests were started on
// (a desktop, xvfb-run) is never used: its size, depth and scale are not the test's.

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/child_process.h"
#include "tests/test_util.h"

class VirtualDisplay {
 public:
  explicit VirtualDisplay(int width = 1024, int height = 768) : width_(width), height_(height) {}
  ~VirtualDisplay() { stop(); }
  // Returns "" when a display is ready, else why not.
  std::string start() {
    set_environment("LIBGL_ALWAYS_SOFTWARE", "1");
    // A Windows program under Wine reaches the X display its Wine session was started on:
    // the Windows test run brings its own Xvfb (cmake/windows_tests.cmake).
    if (pid_ > 0 || !posix_system()) return "";
    const std::string xvfb = find_program("Xvfb");
    if (xvfb.empty()) return "Xvfb is missing: install the package xvfb (setup.sh lists it)";
    const std::string screen = std::to_string(width_) + "x" + std::to_string(height_) + "x24";
    int n = 100 + (current_process_id() * 7 + 300) % 800;
    // Another test process may take the same number at the same moment: try the next.
    for (int attempt = 0; attempt < 5; ++attempt, ++n) {
      while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)) ||
             std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock"))
        ++n;
      const std::string display = ":" + std::to_string(n);
      // -noreset: resources a test sets on the screen stay when its client goes, as on a desktop.
      pid_ = start_process({xvfb, display, "-screen", "0", screen, "-nolisten", "tcp", "-noreset"});
      if (pid_ < 0) return "Xvfb could not be started";
      for (int i = 0; i < 400 && process_running(pid_); ++i) {
        if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
          saved_display_ = get_environment("DISPLAY");
          saved_wayland_ = get_environment("WAYLAND_DISPLAY");
          set_environment("DISPLAY", display);
          unset_environment("WAYLAND_DISPLAY");
          name_ = display;
          return "";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
      }
      stop_process(pid_);
      pid_ = -1;
    }
    return "Xvfb did not open its socket";
  }
  // Ends the server and puts the environment's displays back as they were.
  void stop() {
    if (pid_ <= 0) return;
    stop_process(pid_);
    pid_ = -1;
    if (saved_display_.empty()) unset_environment("DISPLAY");
    else set_environment("DISPLAY", saved_display_);
    if (!saved_wayland_.empty()) set_environment("WAYLAND_DISPLAY", saved_wayland_);
  }
  const std::string& name() const { return name_; }

 private:
  int width_, height_;
  int pid_ = -1;
  std::string name_, saved_display_, saved_wayland_;
};
