#pragma once
// A display for tests that open the real window: the one in DISPLAY when there is one,
// else an Xvfb server of our own. Mesa's software renderer either way.

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/child_process.h"

class VirtualDisplay {
 public:
  ~VirtualDisplay() { stop(); }
  // Returns "" when a display is ready, else why not.
  std::string start() {
    set_environment("LIBGL_ALWAYS_SOFTWARE", "1");
    if (!get_environment("DISPLAY").empty()) return "";
    const std::string xvfb = find_program("Xvfb");
    if (xvfb.empty()) return "Xvfb is missing: install the package xvfb (setup.sh lists it)";
    int n = 100 + (current_process_id() * 7 + 300) % 800;
    // Another test process may take the same number at the same moment: try the next.
    for (int attempt = 0; attempt < 5; ++attempt, ++n) {
      while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)) ||
             std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock"))
        ++n;
      const std::string display = ":" + std::to_string(n);
      pid_ = start_process({xvfb, display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
      if (pid_ < 0) return "Xvfb could not be started";
      for (int i = 0; i < 400 && process_running(pid_); ++i) {
        if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
          set_environment("DISPLAY", display);
          return "";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
      }
      stop_process(pid_);
      pid_ = -1;
    }
    return "Xvfb did not open its socket";
  }
  // Ends our own server and forgets it, so later tests run without a display again.
  void stop() {
    if (pid_ <= 0) return;
    stop_process(pid_);
    unset_environment("DISPLAY");
    pid_ = -1;
  }

 private:
  int pid_ = -1;
};
