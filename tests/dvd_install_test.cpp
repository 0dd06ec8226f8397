// The DVD install wizard in the real program's window, acted on by a scripted user:
// every page from Welcome to Finish, the world map, disc changes, cancelling, a damaged
// archive, the Install Name rules and the folder picker that leaves the window drawing.

#include "wizards/dvd_install.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/private_bus.h"
#include "tests/program_window_fixture.h"

namespace fs = std::filesystem;

namespace {

// Where the tiny set's tiles lie on the map: a drag from (600, 310) to (740, 350) sweeps
// four of the six, two on the first disc and two on the third.
const char k_drag_over_four_tiles[] = "drag 600 310 740 350\n";
const char* const k_dragged_tiles[] = {"+20+070/+27+076.dsf", "+40+070/+43+073.dsf", "+40+160/+44+163.dsf",
                                       "+50+150/+57+155.dsf"};
const char* const k_other_tiles[] = {"-30+010/-23+018.dsf", "-50-040/-48-036.dsf"};

class DvdInstallFlow : public ThreeDiscWindowTest {
 protected:
  std::string copy() { return desktop() + "Zephiro 9 DVD/"; }
  std::string tile(const char* name) { return copy() + "Global Scenery/-global terrain-/" + name; }
  RunResult run(const std::string& drives, const std::string& text, std::vector<std::string> more = {}) {
    more.insert(more.begin(), {"--lang=en", "--dvd_drives=" + drives, script(text)});
    return p.run(more);
  }
};

}  // namespace

TEST_F(DvdInstallFlow, AFreshInstallThroughEveryPageAndThreeDiscs) {
  RunResult r = run(disc(1),
                    "check_fit\n"
                    "wait_text I will guide you through the process of installing Zephiro 9 DVD.\n"
                    "click_text CONTINUE\n"
                    "wait_text Pick Install Destination for Zephiro 9 DVD.\n"
                    "wait_text I will create the folder 'Zephiro 9 DVD' inside the folder '" + desktop() + "'.\n"
                    "wait_text (The folder Zephiro 9 DVD will appear on your desktop.)\n"
                    "wait_text You have enough free disk space to install Zephiro 9 at this location.\n"
                    "click_text CONTINUE\n"
                    "wait_text End User License Agreement\n"
                    "wait_text https://www.example.com/zephiro/commercial-use\n"
                    "# CONTINUE waits for the tick, and unticking takes it away again\n"
                    "click_text CONTINUE\n"
                    "frames 3\n"
                    "no_text Please pick the scenery\n"
                    "click_text I agree!\n"
                    "click_text I agree!\n"
                    "click_text CONTINUE\n"
                    "frames 3\n"
                    "no_text Please pick the scenery\n"
                    "tap_text I agree!\n"
                    "tap_text CONTINUE\n"
                    "wait_text Please pick the scenery you would like to install now.\n"
                    "wait_text You have enough free disk space to install Zephiro 9 with the selected scenery.\n"
                    "# back to the licence and forth: the tick stays\n"
                    "click_text GO BACK\n"
                    "wait_text End User License Agreement\n"
                    "click_text CONTINUE\n"
                    "wait_text Please pick the scenery\n"
                    "# taps: the press and the release reach the same frame\n"
                    "tap_text SELECT ALL\n"
                    "tap_text SELECT NONE\n" +
                        std::string(k_drag_over_four_tiles) +
                        "# one dragged tile off again, and one more on\n"
                        "tap 605 311\n"
                        "tap 521 241\n"
                        "tap_text CONTINUE\n"
                        "wait_text Installing Zephiro - Please Change DVDs\n"
                        "wait_text Please insert DVD number 2 and click continue.\n"
                        "no_text That is not the DVD I need\n"
                        "# the third disc is not the one asked for, and the page says so\n"
                        "set_drives " + disc(3) + "\n"
                        "click_text CONTINUE\n"
                        "wait_text That is not the DVD I need: I need DVD number 2.\n"
                        "wait_text Please insert DVD number 2 and click continue.\n"
                        "set_drives " + disc(2) + "\n"
                        "click_text CONTINUE\n"
                        "# the next request is a new one\n"
                        "wait_text Please insert DVD number 3 and click continue.\n"
                        "no_text That is not the DVD I need\n"
                        "set_drives " + disc(3) + "\n"
                        "click_text CONTINUE\n"
                        "wait_text Finished Installing Zephiro\n"
                        "wait_text Installation was successful.\n"
                        "click_text GO BACK\n"
                        "wait_text You already have Zephiro 9 installed on this computer.  What would you like to do?\n"
                        "wait_text Install A Second Copy of Zephiro\n"
                        "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  const std::string log = p.log();
  EXPECT_NE(log.find("Starting install at "), std::string::npos);
  EXPECT_NE(log.find("Clean exit from threads."), std::string::npos);
  // The copy is complete, with exactly the tiles the drag and the taps chose, and registered.
  RunResult v = verify(copy());
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
  EXPECT_NE(v.out.find(": 0 missing, 0 damaged."), std::string::npos) << v.out;
  for (const char* t : k_dragged_tiles) EXPECT_EQ(fs::exists(tile(t)), t != k_dragged_tiles[0]) << t;
  EXPECT_TRUE(fs::exists(tile(k_other_tiles[0])));
  EXPECT_FALSE(fs::exists(tile(k_other_tiles[1])));
  EXPECT_EQ(read_file(p.root / "data/zephiro_install.txt"), copy() + "\n");
}

TEST_F(DvdInstallFlow, EjectingAsRootAndAsAnOrdinaryUserAndADiscThatWillNotComeOut) {
  // The program runs in a mount namespace of its own whose mount table shows the first disc
  // as a mounted DVD, from the device /dev/zephiro-dvd.
  if (!posix_system()) GTEST_SKIP() << "Windows has no mount table or UDisks2: its discs go out through their device";
  if (std::system("unshare -m --propagation private true 2>/dev/null") != 0)
    GTEST_SKIP() << "mount namespaces are not available here";
  write_file(p.root / "mounts", "/dev/zephiro-dvd " + disc(1) + " iso9660 ro 0 0\n");
  const std::string to_disc_two = to_select_scenery() + k_drag_over_four_tiles +
                                  "click_text CONTINUE\n"
                                  "wait_text Please insert DVD number 2 and click continue.\n";
  auto run_with_disc_mounted = [&](const std::string& user, const std::string& text) {
    const std::string become = user.empty() ? "" : "setpriv --reuid=" + user + " --regid=" + user + " --clear-groups ";
    const std::string replace_mounts = "mount --bind \"$0\" /proc/$$/mounts && exec " + become + "\"$@\"";
    const std::vector<std::string> args = {
        "-m", "--propagation", "private", "sh", "-c", replace_mounts, p.root / "mounts",
        ZEPHIRO_BINARY_DIR "/zephiro-installer", "--lang=en", "--dvd_drives=" + disc(1), script("check_fit\n" + text)};
    return p.finish(p.start(args, "", "/usr/bin/unshare"));
  };

  // Root unmounts by itself; a folder cannot be unmounted, so the user is asked to take the
  // disc out, and the install goes on. The second disc is no mounted DVD: it goes out
  // without a word.
  RunResult r = run_with_disc_mounted("", to_disc_two +
                                              "wait_text The DVD could not be ejected.\n"
                                              "set_drives " + disc(2) + "\n"
                                              "click_text CONTINUE\n"
                                              "wait_text Please insert DVD number 3 and click continue.\n"
                                              "no_text could not be ejected\n"
                                              "set_drives " + disc(3) + "\n"
                                              "click_text CONTINUE\n"
                                              "wait_text Installation was successful.\n"
                                              "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_NE(p.log().find("Could not eject " + disc(1)), std::string::npos) << p.log();
  EXPECT_EQ(verify(copy()).exit_code, 0);
  fs::remove_all(copy());

  // Anyone else asks UDisks2 on the system bus: unmount the filesystem, then eject the drive.
  PrivateBus bus;
  ASSERT_EQ(bus.start(), "");
  ASSERT_TRUE(bus.serve("zephiro_2ddvd"));
  p.environment.push_back({"DBUS_SYSTEM_BUS_ADDRESS", bus.address()});
  ASSERT_EQ(std::system(("chmod -R a+rwX '" + p.root.path() + "' && chmod a+rx '" + disc(1) + "/..'").c_str()), 0);
  const std::string nobody = "65534";
  r = run_with_disc_mounted(nobody, to_disc_two + "frames 5\nno_text could not be ejected\nclick_text QUIT\n");
  EXPECT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_EQ(bus.calls(), "/org/freedesktop/UDisks2/block_devices/zephiro_2ddvd org.freedesktop.DBus.Properties.Get "
                         "(ss) org.freedesktop.UDisks2.Block Drive\n"
                         "/org/freedesktop/UDisks2/block_devices/zephiro_2ddvd "
                         "org.freedesktop.UDisks2.Filesystem.Unmount (a{sv})\n"
                         "/org/freedesktop/UDisks2/drives/Stand_In_DVD_Drive "
                         "org.freedesktop.UDisks2.Drive.Eject (a{sv})\n");
  // The service refuses: the same line as for root. (QUIT left a partial copy behind.)
  fs::remove_all(copy());
  ASSERT_TRUE(bus.serve("zephiro_2ddvd", "Unmount", "org.freedesktop.UDisks2.Error.NotAuthorized"));
  r = run_with_disc_mounted(nobody, to_disc_two + "wait_text The DVD could not be ejected.\nclick_text QUIT\n");
  EXPECT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_EQ(bus.calls().find("Eject"), std::string::npos) << bus.calls();
}

TEST_F(DvdInstallFlow, GoBackDuringTheInstallThenContinueThenCancel) {
  write_file(desktop() + "keep me.txt", "the user's own file");
  RunResult r = run(disc(1),
                    to_select_scenery() + k_drag_over_four_tiles +
                        "click_text CONTINUE\n"
                        "wait_text Please insert DVD number 2 and click continue.\n"
                        "click_text GO BACK\n"
                        "wait_text Are you sure you want to cancel the installation?  This will delete the partially "
                        "installed copy of Zephiro 9.\n"
                        "wait_text the installation and delete partial installation.\n"
                        "click_text Continue\n"
                        "wait_text Please insert DVD number 2 and click continue.\n"
                        "set_drives " + disc(2) + "\n"
                        "click_text CONTINUE\n"
                        "wait_text Please insert DVD number 3 and click continue.\n"
                        "click_text GO BACK\n"
                        "wait_text Are you sure you want to cancel the installation?\n"
                        "click_text Cancel\n"
                        "wait_text Please pick the scenery you would like to install now.\n"
                        "no_text Are you sure\n"
                        "click_text QUIT\n",
                    {"--pref:_log_actions=1"});
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  // The partial copy is gone; the rest of the desktop is as it was.
  EXPECT_FALSE(fs::exists(copy()));
  EXPECT_EQ(read_file(desktop() + "keep me.txt"), "the user's own file");
  EXPECT_TRUE(fs::exists(desktop() + "Zephiro Installer Log.txt"));
  // "Continue" went on where the work was: every file of the first two discs was
  // extracted once.
  const std::string log = p.log();
  for (const char* file : {"Airfoils/Clark Y.afl", "Resources/settings.txt", "Global Scenery/-global terrain-/+20+070/+27+076.dsf"}) {
    const std::string line = "EXPANDING file " + copy() + file + ", with result=0.";
    const size_t first = log.find(line);
    EXPECT_NE(first, std::string::npos) << file << "\n" << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << file;
  }
  EXPECT_EQ(log.find("EXPANDING file " + copy() + "Global Scenery/-global terrain-/+40+160"), std::string::npos);
  // The registry line written at the start stays; the next read leaves it out.
  EXPECT_EQ(read_file(p.root / "data/zephiro_install.txt"), copy() + "\n");

  // Closing the window instead of answering quits as QUIT does: the partial copy stays.
  r = run(disc(1), to_select_scenery() + k_drag_over_four_tiles +
                       "click_text CONTINUE\n"
                       "wait_text Please insert DVD number 2 and click continue.\n"
                       "click_text GO BACK\n"
                       "wait_text Are you sure you want to cancel the installation?\n"
                       "quit\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_TRUE(fs::exists(copy() + "Airfoils/Clark Y.afl"));
  EXPECT_EQ(read_file(desktop() + "keep me.txt"), "the user's own file");
}

TEST_F(DvdInstallFlow, ADamagedArchiveAsksAndTheFinishPageTellsOfErrors) {
  TempDir set;
  ASSERT_TRUE(make_tiny_disc_set(set.path(), 1));
  const std::string disc1 = set.path() + "disc1";
  write_file(disc1 + "/Zephiro 9 DVD/Zephiro 9/Airfoils/NACA 2412.afl.zip", "PK\x03\x04 this is no zip archive");
  RunResult r = run(disc1, to_select_scenery() +
                               "click_text CONTINUE\n"
                               "wait_text An error occurred during installation:\n"
                               "wait_text (We were unable to open a zip file. It may be missing or damaged)\n"
                               "wait_text You can continue with the installation and attempt to repair the damaged "
                               "files later, or you can cancel the installation.\n"
                               "wait_text the install.\n"
                               "click_text Continue\n"
                               "wait_text Finished Installing Zephiro\n"
                               "wait_text There were errors during the install; your copy of Zephiro may not be usable.\n"
                               "no_text Run Zephiro Now\n"
                               "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  // Everything else was installed; the damaged file is missing, nothing in its place.
  EXPECT_TRUE(fs::exists(copy() + "Airfoils/Clark Y.afl"));
  EXPECT_TRUE(fs::exists(copy() + "Resources/settings.txt"));
  EXPECT_FALSE(fs::exists(copy() + "Airfoils/NACA 2412.afl"));
}

// A temporary folder on a small disk of its own, too small for the largest archive on its
// way from the disc: the disk-space panel says so and CONTINUE stays held back.
TEST_F(DvdInstallFlow, ATemporaryFolderTooSmallForAnArchiveHoldsTheInstallBack) {
  TmpfsMount small("16k");
  if (!small.problem().empty()) GTEST_SKIP() << small.problem();
  const std::string small_folder = small.path().substr(0, small.path().size() - 1);
  p.environment = {{"TMPDIR", small_folder}};
  RunResult r = run(disc(1), "check_fit\n" + to_select_scenery() +
                                 "wait_text The temporary folder " + small_folder + "/zephiro-run-\n"
                                 "wait_text there on its way from the DVD.\n"
                                 "click_text CONTINUE\n"
                                 "frames 5\n"
                                 "wait_text Please pick the scenery you would like to install now.\n"
                                 "no_text Installing Zephiro\n"
                                 "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_FALSE(fs::exists(copy()));
}

TEST_F(DvdInstallFlow, TheInstallNameIsOneNewFolderName) {
  fs::create_directory(desktop() + "Taken");
  fs::create_directory(desktop() + ".hidden");
  fs::create_directory(p.root / "other");
  const std::string name_rule = "wait_text Please pick a name for your Zephiro 9 installation...\n"
                                "no_text I will create\n"
                                "no_text Disk size:\n";
  RunResult r = run(disc(1),
                    "wait_text I will guide you through the process\n"
                    "click_text CONTINUE\n"
                    "wait_text (The folder Zephiro 9 DVD will appear on your desktop.)\n"
                    "wait_text Disk size:\n"
                    "click_text Install Name:\n"
                    "key CTRL+a\n"
                    "key DELETE\n" +
                        name_rule +
                        "type My Copy\n"
                        "wait_text I will create the folder 'My Copy' inside the folder '" + desktop() + "'.\n"
                        "key CTRL+a\n"
                        "type ..\n" +
                        name_rule +
                        "# no CONTINUE while the name is not usable\n"
                        "click_text CONTINUE\n"
                        "frames 3\n"
                        "no_text End User License Agreement\n"
                        "click_text Install Name:\n"
                        "key CTRL+a\n"
                        "type My Copy\n"
                        "wait_text I will create the folder 'My Copy'\n"
                        "key CTRL+a\n"
                        "type .\n" +
                        name_rule +
                        "key CTRL+a\n"
                        "type My Copy\n"
                        "wait_text I will create the folder 'My Copy'\n"
                        "key CTRL+a\n"
                        "type a/b\n" +
                        name_rule +
                        "key CTRL+a\n"
                        "type Taken\n"
                        "wait_text The folder 'Taken' already exists inside the folder '" + desktop() + "'.\n"
                        "wait_text Please change the install name or destination.\n"
                        "key CTRL+a\n"
                        "type .hidden\n"
                        "wait_text The folder '.hidden' already exists\n"
                        "key CTRL+a\n"
                        "type My Copy\n"
                        "wait_text will appear on your desktop\n"
                        "# another destination: no desktop note\n"
                        "pick_folder " + p.root / "other" + "\n"
                        "click_text Change Destination\n"
                        "wait_text I will create the folder 'My Copy' inside the folder '" + p.root / "other/" + "'.\n"
                        "no_text will appear on your desktop\n"
                        "pick_cancel\n"
                        "click_text Change Destination\n"
                        "frames 3\n"
                        "wait_text inside the folder '" + p.root / "other/" + "'.\n"
                        "click_text CONTINUE\n"
                        "wait_text End User License Agreement\n"
                        "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  // Nothing was made or removed on the way.
  EXPECT_TRUE(fs::exists(desktop() + "Taken"));
  EXPECT_TRUE(fs::exists(desktop() + ".hidden"));
  EXPECT_FALSE(fs::exists(p.root / "other/My Copy"));
  EXPECT_TRUE(fs::exists(p.root / "other"));
}

TEST_F(DvdInstallFlow, TheFolderPickerLeavesTheWindowDrawing) {
  if (!posix_system()) GTEST_SKIP() << "Windows shows its own folder dialog, which no program on the PATH stands in for";
  // A stand-in zenity that answers only once the test lets it.
  const std::string bin = p.root / "bin/";
  fs::create_directory(bin);
  write_file(bin + "zenity", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + bin + "args'\n"
                             "while [ ! -e '" + bin + "answer' ]; do sleep 0.05; done\ncat '" + bin + "answer'\n");
  fs::permissions(bin + "zenity", fs::perms::owner_all);
  fs::create_directory(p.root / "picked");
  const std::string path = get_environment("PATH");
  set_environment("PATH", bin + list_separator() + path);
  const int pid = p.start({"--lang=en", "--dvd_drives=" + disc(1),
                           script("wait_text I will guide you through the process\n"
                                  "click_text CONTINUE\n"
                                  "wait_text I will create the folder\n"
                                  "click_text Change Destination\n"
                                  "frames 10\n"
                                  "# the page under the dialog takes no clicks\n"
                                  "click_text GO BACK\n"
                                  "frames 10\n"
                                  "screenshot " + p.root / "while the dialog is up.png\n"
                                  "wait_text inside the folder '" + p.root / "picked/'.\n"
                                  "wait_text Pick Install Destination\n"
                                  "click_text QUIT\n")});
  set_environment("PATH", path);
  ASSERT_GT(pid, 0);
  // Frames go on while the dialog waits for its answer.
  const bool drawn = file_reaches(p.root / "while the dialog is up.png", "PNG");
  write_file(bin + "answer.tmp", p.root / "picked\n");
  fs::rename(bin + "answer.tmp", bin + "answer");
  RunResult r = p.finish(pid);
  EXPECT_TRUE(drawn);
  EXPECT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_EQ(read_file(bin + "args"), "--file-selection\n--title=Pick a folder to install Zephiro 9 into.\n"
                                     "--directory\n--filename=" + desktop() + "\n");
}
