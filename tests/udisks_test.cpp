// Ejecting through UDisks2, against a stand-in service (tools/udisks_stand_in) on a private
// bus that the test starts and names as the system bus.

#include "platform/udisks.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"
#include "tests/test_util.h"

namespace {

const char k_block[] = "/org/freedesktop/UDisks2/block_devices/zephiro_2ddvd";
const char k_drive[] = "/org/freedesktop/UDisks2/drives/Stand_In_DVD_Drive";

bool wait_for(const std::function<bool()>& done) {
  for (int i = 0; i < 400; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}

class UdisksEject : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string daemon = find_program("dbus-daemon");
    ASSERT_NE(daemon, "") << "dbus-daemon is not installed";
    write_file(dir / "bus.conf",
               "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>custom</type>\n"
               "  <listen>unix:path=" + dir / "bus" + "</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n");
    bus_pid = start_process({daemon, "--config-file=" + dir / "bus.conf", "--nofork", "--nopidfile"});
    ASSERT_GT(bus_pid, 0);
    ASSERT_TRUE(wait_for([&] { return std::filesystem::exists(dir / "bus"); })) << "the private bus did not start";
    saved_address = get_environment("DBUS_SYSTEM_BUS_ADDRESS");
    set_environment("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir / "bus");
  }
  void TearDown() override {
    stop_process(service_pid);
    stop_process(bus_pid);
    if (saved_address.empty())
      unset_environment("DBUS_SYSTEM_BUS_ADDRESS");
    else
      set_environment("DBUS_SYSTEM_BUS_ADDRESS", saved_address);
  }
  // Starts the stand-in for the block device "zephiro-dvd" (any earlier one goes first);
  // `fail` names the method it refuses, with the error `error`.
  void serve(const std::string& fail = "", const std::string& error = "") {
    stop_process(service_pid);
    std::filesystem::remove(record_path());
    std::vector<std::string> argv = {ZEPHIRO_BINARY_DIR "/udisks_stand_in", "unix:path=" + dir / "bus", record_path(),
                                     "zephiro_2ddvd"};
    if (!fail.empty()) argv.push_back(fail);
    if (!error.empty()) argv.push_back(error);
    service_pid = start_process(argv);
    ASSERT_GT(service_pid, 0);
    ASSERT_TRUE(wait_for([&] { return read_file(record_path()) == "ready\n"; })) << "the stand-in did not start";
  }
  std::string record_path() const { return dir / "calls.txt"; }
  // The calls the stand-in got, one line each.
  std::string calls() const { return read_file(record_path()).substr(6); }

  TempDir dir;
  int bus_pid = -1, service_pid = -1;
  std::string saved_address;
};

const std::string k_get =
    std::string(k_block) + " org.freedesktop.DBus.Properties.Get (ss) org.freedesktop.UDisks2.Block Drive\n";
const std::string k_unmount = std::string(k_block) + " org.freedesktop.UDisks2.Filesystem.Unmount (a{sv})\n";
const std::string k_eject = std::string(k_drive) + " org.freedesktop.UDisks2.Drive.Eject (a{sv})\n";

}  // namespace

TEST(UdisksObject, TheKernelNameOfTheDeviceEscaped) {
  EXPECT_EQ(platform::udisks_block_object("/dev/sr0"), "/org/freedesktop/UDisks2/block_devices/sr0");
  EXPECT_EQ(platform::udisks_block_object("/dev/no-such.disc_1"),
            "/org/freedesktop/UDisks2/block_devices/no_2dsuch_2edisc_1");
  // A link names the device it leads to.
  TempDir dir;
  std::filesystem::create_symlink("/dev/null", dir / "cdrom");
  EXPECT_EQ(platform::udisks_block_object(dir / "cdrom"), "/org/freedesktop/UDisks2/block_devices/null");
}

TEST_F(UdisksEject, UnmountsTheFilesystemThenEjectsItsDrive) {
  ASSERT_NO_FATAL_FAILURE(serve());
  std::string detail;
  EXPECT_EQ(platform::udisks_eject("/dev/zephiro-dvd", &detail), 0) << detail;
  EXPECT_EQ(calls(), k_get + k_unmount + k_eject);
}

TEST_F(UdisksEject, EveryRefusalIsAFailureAndStopsWhatFollows) {
  std::string detail;
  // The user may not unmount: the drive is left alone.
  ASSERT_NO_FATAL_FAILURE(serve("Unmount", "org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain"));
  EXPECT_EQ(platform::udisks_eject("/dev/zephiro-dvd", &detail), EACCES);
  EXPECT_EQ(detail, "stand-in refuses Unmount");
  EXPECT_EQ(calls(), k_get + k_unmount);

  // Unmounted, but the drive will not open.
  ASSERT_NO_FATAL_FAILURE(serve("Eject", "org.freedesktop.UDisks2.Error.DeviceBusy"));
  EXPECT_EQ(platform::udisks_eject("/dev/zephiro-dvd"), EBUSY);
  EXPECT_EQ(calls(), k_get + k_unmount + k_eject);

  ASSERT_NO_FATAL_FAILURE(serve("Eject"));
  EXPECT_EQ(platform::udisks_eject("/dev/zephiro-dvd"), EIO);

  // A device the service does not know: nothing is unmounted.
  ASSERT_NO_FATAL_FAILURE(serve());
  EXPECT_EQ(platform::udisks_eject("/dev/sr5"), EIO);
  EXPECT_EQ(calls(), "/org/freedesktop/UDisks2/block_devices/sr5 org.freedesktop.DBus.Properties.Get (ss) "
                     "org.freedesktop.UDisks2.Block Drive\n");

  // No service on the bus, then no bus at all.
  stop_process(service_pid);
  service_pid = -1;
  EXPECT_EQ(platform::udisks_eject("/dev/zephiro-dvd"), ECONNREFUSED);
  set_environment("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir / "no-bus");
  EXPECT_EQ(platform::udisks_eject("/dev/zephiro-dvd", &detail), ECONNREFUSED);
  EXPECT_NE(detail, "");
}
