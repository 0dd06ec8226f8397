// Ejecting through UDisks2, against a stand-in service (tools/udisks_stand_in) on a private
// bus that the test starts and names as the system bus.

#include "platform/udisks_linux.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/child_process.h"
#include "tests/private_bus.h"
#include "tests/test_util.h"

namespace {

const char k_block[] = "/org/freedesktop/UDisks2/block_devices/zephiro_2ddvd";
const char k_drive[] = "/org/freedesktop/UDisks2/drives/Stand_In_DVD_Drive";

class UdisksEject : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(bus.start(), "");
    saved_address = get_environment("DBUS_SYSTEM_BUS_ADDRESS");
    set_environment("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
  }
  void TearDown() override {
    if (saved_address.empty())
      unset_environment("DBUS_SYSTEM_BUS_ADDRESS");
    else
      set_environment("DBUS_SYSTEM_BUS_ADDRESS", saved_address);
  }
  // The stand-in for the block device "zephiro-dvd".
  void serve(const std::string& fail = "", const std::string& error = "") {
    ASSERT_TRUE(bus.serve("zephiro_2ddvd", fail, error)) << "the stand-in did not start";
  }
  std::string calls() const { return bus.calls(); }

  PrivateBus bus;
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
  bus.stop_service();
  EXPECT_EQ(platform::udisks_eject("/dev/zephiro-dvd"), ECONNREFUSED);
  set_environment("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + bus.dir() / "no-bus");
  EXPECT_EQ(platform::udisks_eject("/dev/zephiro-dvd", &detail), ECONNREFUSED);
  EXPECT_NE(detail, "");
}
