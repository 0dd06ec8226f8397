#pragma once
// A D-Bus daemon of the test's own with the UDisks2 stand-in (tools/udisks_stand_in) on it,
// for ejecting as a user who is not root. Any user may connect, so a program run as another
// user reaches it too.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"
#include "tests/test_util.h"

class PrivateBus {
 public:
  ~PrivateBus() {
    stop_process(service_pid_);
    if (bus_.pid > 0) stop_captured(bus_);
  }
  // Starts the daemon; "" when it runs, else why not.
  std::string start() {
    const std::string daemon = find_program("dbus-daemon");
    if (daemon.empty()) return "dbus-daemon is missing: install the package dbus-daemon (setup.sh lists it)";
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::all);
    write_file(dir_ / "bus.conf",
               "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>custom</type>\n"
               "  <listen>unix:path=" + dir_ / "bus" + "</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow user=\"*\"/>\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n");
    // The daemon prints its address once it accepts connections.
    if (start_captured({daemon, "--config-file=" + dir_ / "bus.conf", "--nofork", "--nopidfile", "--print-address"},
                       bus_) != 0)
      return "dbus-daemon could not be started";
    int status = 0;
    if (!wait_for([&] { return poll_captured(bus_, status) || bus_.output.find('\n') != std::string::npos; }) ||
        bus_.output.find("unix:") == std::string::npos)
      return "the private bus did not start: " + bus_.output;
    return "";
  }
  std::string address() const { return "unix:path=" + dir_ / "bus"; }
  // Starts the stand-in for the block device whose object is named `object_name` (an
  // earlier one goes first); `fail` names the method it refuses, with the error `error`.
  // False when it did not start.
  bool serve(const std::string& object_name, const std::string& fail = "", const std::string& error = "") {
    stop_service();
    std::filesystem::remove(record());
    std::vector<std::string> argv = {ZEPHIRO_BINARY_DIR "/udisks_stand_in", address(), record(), object_name};
    if (!fail.empty()) argv.push_back(fail);
    if (!error.empty()) argv.push_back(error);
    service_pid_ = start_process(argv);
    return service_pid_ > 0 && wait_for([&] { return read_file(record()) == "ready\n"; });
  }
  void stop_service() {
    stop_process(service_pid_);
    service_pid_ = -1;
  }
  // The calls the stand-in got, one line each.
  std::string calls() const {
    const std::string all = read_file(record());
    return all.size() > 6 ? all.substr(6) : "";
  }
  const TempDir& dir() const { return dir_; }

 private:
  std::string record() const { return dir_ / "calls.txt"; }
  // Generous: the machine may be busy with other tests.
  static bool wait_for(const std::function<bool()>& done) {
    for (int i = 0; i < 1200; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  }

  TempDir dir_;
  CapturedChild bus_;
  int service_pid_ = -1;
};
