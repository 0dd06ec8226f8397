#include "engine/dvd_discovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "core/alert.h"
#include "engine/manifest.h"
#include "platform/child_process.h"
#include "tests/test_util.h"

namespace {

const std::string kDiscHeader = "A\n900\nDVD\n";

class DvdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_dvd_discovery();
    reset_install_manifest();
    set_environment("TMPDIR", temp.path().c_str());
    set_alert_handler([this](const AlertRequest& r) { alerts.push_back(r); });
  }
  void TearDown() override {
    set_alert_handler(nullptr);
    reset_dvd_discovery();
    reset_install_manifest();
    unset_environment("TMPDIR");
  }
  std::string make_drive(const std::string& name) {
    std::string root = drives / name + "/";
    make_folder(root);
    return root;
  }
  // A first disc of the set "Set Name" holding a one-file manifest.
  std::string make_install_disc(const std::string& name, const std::string& version_line = "VERSION Set Name") {
    std::string root = make_drive(name);
    write_file(root + "dvd_version.txt", kDiscHeader + version_line + "\n");
    std::string folder = root + "Set Name/";
    make_folder(folder);
    EXPECT_TRUE(write_archive(
        folder + "directory.txt.zip",
        {{"directory.txt",
          "I\n900\nINSTALLER\nDISK 0\nFILE 1 0 0 0 10 0123456789abcdef0123456789abcdef Z/Resources/a.txt\n"
          "DISK 1\nFILE 1 0 0 0 10 0123456789abcdef0123456789abcdef Z/Resources/b.txt\n"}}));
    return root;
  }

  TempDir drives, temp;
  std::vector<AlertRequest> alerts;
};

TEST_F(DvdTest, NoDiscAndForeignDisc) {
  std::string empty = make_drive("empty");
  set_dvd_drives(empty);
  read_disc_identity();
  EXPECT_EQ(dvd_root(), "");
  EXPECT_FALSE(dvd_scan(true));

  std::string foreign = make_drive("foreign");
  write_file(foreign + "dvd_version.txt", "A\n840\nDVD\nVERSION Old\n");
  std::string wrong_word = make_drive("wrong_word");
  write_file(wrong_word + "dvd_version.txt", "A\n900\nINSTALLER\nVERSION Old\n");
  set_dvd_drives(empty + list_separator() + foreign + list_separator() + wrong_word);
  EXPECT_FALSE(dvd_scan(true));
  EXPECT_EQ(dvd_root(), "");
  EXPECT_TRUE(alerts.empty());
}

TEST_F(DvdTest, ValidDiscGivesRootVersionAndManifest) {
  std::string other = make_drive("other");
  std::string disc = make_install_disc("disc1");
  set_dvd_drives(other + list_separator() + disc.substr(0, disc.size() - 1));
  read_disc_identity();
  EXPECT_EQ(dvd_root(), disc);
  EXPECT_EQ(dvd_version(), "Set Name");
  EXPECT_EQ(manifest_read_status(), 3);
  EXPECT_EQ(manifest_group_count(), 2);
  EXPECT_EQ(dvd_archive_folder(), disc + "Set Name/");
  EXPECT_TRUE(alerts.empty());
}

TEST_F(DvdTest, VersionLines) {
  std::string disc = make_drive("d");
  set_dvd_drives(disc);
  write_file(disc + "dvd_version.txt", kDiscHeader + "VERSIONS x\n");
  read_disc_identity();
  EXPECT_EQ(dvd_root(), disc);
  EXPECT_EQ(dvd_version(), "");  // not a VERSION line: the disc is not an install disc yet

  reset_dvd_discovery();
  set_dvd_drives(disc);
  write_file(disc + "dvd_version.txt", kDiscHeader + "VERSION First\n  VERSION\tA B \r\nOTHER line\n");
  dvd_scan(true);
  reset_install_manifest();
  // Without an archive on the disc the manifest extraction fails fatally; only the version matters here.
  read_disc_identity();
  EXPECT_EQ(dvd_version(), "A B ");
  ASSERT_FALSE(alerts.empty());
  EXPECT_EQ(alerts[0].lines[0], "DVD scan: The installer cannot extract a file.");
  EXPECT_EQ(alerts[0].kind, alert_quit);
}

TEST_F(DvdTest, TwoInstallDiscsAreFatal) {
  std::string a = make_install_disc("a");
  std::string b = make_install_disc("b");
  set_dvd_drives(a + list_separator() + b);
  dvd_scan(true);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "I found multiple Zephiro CDs in the drives!");
  EXPECT_EQ(alerts[0].kind, alert_quit);
}

// One disc reachable under two roots (a mount point and a link to it) is one disc.
TEST_F(DvdTest, OneDiscUnderTwoRootsCountsOnce) {
  if (!posix_system()) GTEST_SKIP() << "a link to a folder needs an administrator on Windows";
  std::string disc = make_install_disc("a");
  std::string link = drives / "link to a";
  std::filesystem::create_directory_symlink(disc, link);
  set_dvd_drives(disc + list_separator() + link + list_separator() + drives / "link to a/");
  EXPECT_TRUE(dvd_scan(true));
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(dvd_root(), disc);
}

TEST_F(DvdTest, RelativeDrivesAreTakenFromTheWorkingFolder) {
  std::string disc = make_install_disc("disc1");
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(drives.path().c_str()), 0);
  set_dvd_drives("disc1" + list_separator() + "./other");
  ASSERT_EQ(chdir(here), 0);
  std::vector<std::string> roots = dvd_drive_roots();
  ASSERT_EQ(roots.size(), 2u);
  EXPECT_EQ(roots[0], drives / "disc1/");
  EXPECT_EQ(roots[1], drives / "./other/");
  read_disc_identity();
  EXPECT_EQ(dvd_root(), disc);
  EXPECT_EQ(manifest_read_status(), 3);
}

// A damaged dvd_version.txt is never read whole and never names the set.
TEST_F(DvdTest, OversizedVersionFileOrNameIsNoInstallDisc) {
  std::string huge = make_drive("huge");
  write_file(huge + "dvd_version.txt", kDiscHeader + "VERSION Set\n" + std::string(200 * 1024, 'x') + "\n");
  std::string long_name = make_drive("long_name");
  write_file(long_name + "dvd_version.txt", kDiscHeader + "VERSION " + std::string(300, 'n') + "\n");
  set_dvd_drives(huge);
  read_disc_identity();
  EXPECT_EQ(dvd_root(), "");
  set_dvd_drives(long_name);
  read_disc_identity();
  EXPECT_EQ(dvd_root(), long_name);
  EXPECT_EQ(dvd_version(), "");
  EXPECT_TRUE(alerts.empty());
  // Disc numbers are shown one up, for any number a manifest may hold.
  EXPECT_EQ(disc_number_text(0), "1");
  EXPECT_EQ(disc_number_text(2147483647), "2147483648");
}

TEST_F(DvdTest, ScanIsCachedUnlessForced) {
  std::string drive = make_drive("late");
  set_dvd_drives(drive);
  EXPECT_FALSE(dvd_scan(false));
  write_file(drive + "dvd_version.txt", kDiscHeader + "VERSION Late\n");
  EXPECT_FALSE(dvd_scan(false));  // within the hour: the cached answer
  EXPECT_TRUE(dvd_scan(true));
  EXPECT_EQ(dvd_root(), drive);
}

TEST_F(DvdTest, FindNeededDiscAcceptsADiscWithoutMarkerFile) {
  std::string first = make_install_disc("first");
  set_dvd_drives(first);
  read_disc_identity();
  ASSERT_EQ(manifest_group_count(), 2);
  EXPECT_EQ(current_disc_number(), 0);
  // The second disc has no dvd_version.txt, only the archive under the set's folder.
  std::string second = make_drive("second");
  make_folder((second + "Set Name"));
  make_folder((second + "Set Name/Z"));
  make_folder((second + "Set Name/Z/Resources"));
  write_file(second + "Set Name/Z/Resources/b.txt.zip", "archive bytes");
  set_dvd_drives(first);
  EXPECT_FALSE(find_needed_disc(1));
  EXPECT_EQ(current_disc_number(), 0);
  set_dvd_drives(second);
  EXPECT_TRUE(find_needed_disc(1));
  EXPECT_EQ(dvd_root(), second);
  EXPECT_EQ(current_disc_number(), 1);
  EXPECT_FALSE(find_needed_disc(7));  // no such group
  // The marker is cleared again: an ordinary scan looks for dvd_version.txt.
  EXPECT_FALSE(is_install_disc(second));
}

TEST_F(DvdTest, DriveListFromFolders) {
  const std::string sep = list_separator();
  set_dvd_drives("/a" + sep + "/b/" + sep + sep + "/c/");
  std::vector<std::string> roots = dvd_drive_roots();
  ASSERT_EQ(roots.size(), 3u);
  EXPECT_EQ(roots[0], "/a/");
  EXPECT_EQ(roots[1], "/b/");
  EXPECT_EQ(roots[2], "/c/");
}

}  // namespace
