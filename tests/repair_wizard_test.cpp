// The repair wizard in the real program's window, acted on by a scripted user: an intact
// copy, a file the user changed, and missing files on other discs.

#include "wizards/repair_wizard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/program_window_fixture.h"

namespace fs = std::filesystem;

namespace {

const char k_menu[] = "You already have Zephiro 9 installed on this computer.  What would you like to do?";

class RepairWizardFlow : public ThreeDiscWindowTest {
 protected:
  std::string copy() { return p.root / "Zephiro 9/"; }
  RunResult run(const std::string& drives, const std::string& text) {
    return p.run({"--lang=en", "--dvd_drives=" + drives, script(text), "--pref:_log_actions=1"});
  }
  // From the main menu to the confirmation page, with the only copy.
  static std::string to_confirm_repairs() {
    return std::string("wait_text ") + k_menu + "\n" +
           "click_text Repair Zephiro\n"
           "wait_text Repair Zephiro 9\n"
           "wait_text Please pick which copy of Zephiro 9 you would like to repair.\n"
           "click_text CONTINUE\n"
           "wait_text Confirm Repairs\n";
  }
  void expect_verified() {
    RunResult v = verify(copy());
    EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
    EXPECT_NE(v.out.find(": 0 missing, 0 damaged."), std::string::npos) << v.out;
  }
};

}  // namespace

TEST_F(RepairWizardFlow, AnIntactCopyNeedsNoFilesAndFinishesWithoutInstalling) {
  // The set has a file the product no longer uses; an intact copy does not hold it.
  ASSERT_NO_FATAL_FAILURE(install_copy(copy(), "all"));
  RunResult r = run(disc(1), to_confirm_repairs() +
                                 "wait_text The copy of Zephiro 9 in " + copy() +
                                 " is complete: no file needs to be repaired.\n"
                                 "wait_text Click continue to finish.\n"
                                 "no_text I need to install approximately\n"
                                 "no_text Click continue to begin repairing\n"
                                 "no_text Disk space needed to install\n"
                                 "click_text CONTINUE\n"
                                 "wait_text Finished Repairing Zephiro.\n"
                                 "wait_text I have finished repairing " + copy() +
                                 " - click Go Back to return to the main menu.\n"
                                 "wait_text Run Zephiro Now\n"
                                 "no_text Please insert DVD\n"
                                 "click_text GO BACK\n"
                                 "wait_text " + k_menu + "\n"
                                 "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  const std::string log = p.log();
  EXPECT_NE(log.find("Starting install at "), std::string::npos) << log;
  EXPECT_EQ(log.find("EXPANDING"), std::string::npos) << log;
  EXPECT_EQ(log.find("DELETING"), std::string::npos) << log;
  // Repair leaves scenery alone.
  EXPECT_TRUE(fs::exists(copy() + "Global Scenery/-global terrain-/+40+160/+44+163.dsf"));
}

TEST_F(RepairWizardFlow, AFileTheUserChangedIsReinstalledThroughTheConflictPrompt) {
  ASSERT_NO_FATAL_FAILURE(install_copy(copy()));
  const std::string registry = read_file(p.root / "data/zephiro_install.txt");
  const std::string airfoil = copy() + "Airfoils/Clark Y.afl";
  const std::string original = read_file(airfoil);
  write_file(airfoil, "my own airfoil");
  RunResult r = run(disc(1), "check_fit\n" + to_confirm_repairs() +
                                     "wait_text I need to install approximately 1 file to repair " + copy() + ".\n"
                                     "click_text CONTINUE\n"
                                     "wait_text I am about to install:\n"
                                     "wait_text " + airfoil + "\n"
                                     "wait_text but it appears you have modified this file. What to do?\n"
                                     "click_text OVERWRITE THE OLD FILE\n"
                                     "wait_text Finished Repairing Zephiro.\n"
                                     "wait_text I have finished repairing\n"
                                     "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_EQ(read_file(airfoil), original);
  EXPECT_NE(p.log().find("File: " + airfoil + "  sig_want="), std::string::npos) << p.log();
  EXPECT_EQ(read_file(p.root / "data/zephiro_install.txt"), registry);
  expect_verified();
}

TEST_F(RepairWizardFlow, MissingFilesOnOtherDiscsGoThroughTheDiscChangePages) {
  // Five discs, so that files of the copy lie on the second and the third.
  TempDir set;
  ASSERT_TRUE(make_tiny_disc_set(set.path(), 5));
  auto set_disc = [&](int n) { return set.path() + "disc" + std::to_string(n); };
  const std::string drives = set_disc(1) + list_separator() + set_disc(2) + list_separator() + set_disc(3) + list_separator() + set_disc(4) + list_separator() + set_disc(5);
  RunResult installed = p.run({"--dvd_drives=" + drives, "--install=" + copy(), "--scenery=none"});
  ASSERT_EQ(installed.exit_code, 0) << installed.err;
  // Missing: a file of the second disc and one of the third. One of the first is a FIFO.
  fs::remove(copy() + "Resources/default data/earth_fix.dat");
  fs::remove(copy() + "Resources/settings.txt");
  const std::string readme = copy() + "Instructions/Readme.txt";
  fs::remove(readme);
  // Windows has no FIFOs: a file the user changed asks the same.
  if (posix_system()) {
    ASSERT_EQ(make_fifo(readme), 0);
  } else {
    write_file(readme, "my own notes");
  }
  RunResult r = run(set_disc(1), to_confirm_repairs() +
                                     "wait_text I need to install approximately 3 files to repair " + copy() + ".\n"
                                     "click_text CONTINUE\n"
                                     "# a FIFO where a file belongs matches no version: the user is asked\n"
                                     "wait_text but it appears you have modified this file. What to do?\n"
                                     "click_text OVERWRITE THE OLD FILE\n"
                                     "wait_text Repairing Zephiro - Please Change DVDs\n"
                                     "wait_text Please insert DVD number 2 and click continue.\n"
                                     "# going back asks whether to stop; Continue returns to the waiting work\n"
                                     "click_text GO BACK\n"
                                     "wait_text Are you sure you want to stop the repair operation?  Zephiro may not "
                                     "be usable until repairs are complete.\n"
                                     "wait_text the repair operation.\n"
                                     "click_text Continue\n"
                                     "wait_text Please insert DVD number 2 and click continue.\n"
                                     "set_drives " + set_disc(2) + "\n"
                                     "click_text CONTINUE\n"
                                     "wait_text Please insert DVD number 3 and click continue.\n"
                                     "# the wrong disc is refused\n"
                                     "click_text CONTINUE\n"
                                     "frames 5\n"
                                     "wait_text Please insert DVD number 3 and click continue.\n"
                                     "# stopping keeps what is done: one file is left to repair\n"
                                     "click_text GO BACK\n"
                                     "wait_text Are you sure you want to stop the repair operation?\n"
                                     "click_text Stop\n"
                                     "wait_text I need to install approximately 1 file to repair " + copy() + ".\n"
                                     "click_text CONTINUE\n"
                                     "wait_text Please insert DVD number 3 and click continue.\n"
                                     "set_drives " + set_disc(3) + "\n"
                                     "click_text CONTINUE\n"
                                     "wait_text Finished Repairing Zephiro.\n"
                                     "wait_text I have finished repairing\n"
                                     "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_TRUE(fs::is_regular_file(readme));
  // The work was started twice; each file was extracted once.
  const std::string log = p.log();
  const size_t first_start = log.find("Starting install at ");
  ASSERT_NE(first_start, std::string::npos);
  EXPECT_NE(log.find("Starting install at ", first_start + 1), std::string::npos);
  for (const std::string file : {"Instructions/Readme.txt", "Resources/default data/earth_fix.dat",
                                 "Resources/settings.txt"}) {
    const std::string line = "EXPANDING file " + copy() + file + ", with result=0.";
    const size_t at = log.find(line);
    EXPECT_NE(at, std::string::npos) << file << "\n" << log;
    EXPECT_EQ(log.find(line, at + 1), std::string::npos) << file;
  }
  RunResult v = p.run({"--dvd_drives=" + drives, "--verify=" + copy()});
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
  EXPECT_NE(v.out.find(": 0 missing, 0 damaged."), std::string::npos) << v.out;
}

// The first disc leaves its drive while its archives are being copied (strace slows each
// copy, so the moment falls inside the work), and comes back in another drive: the window
// asks for it on the Disc Change page, and the repair goes on without a failed file.
TEST_F(RepairWizardFlow, ADiscTakenOutDuringTheCopiesIsAskedForAgain) {
  if (!posix_system()) GTEST_SKIP() << "the copies are slowed down with strace";
  ASSERT_EQ(std::system("strace -V > /dev/null 2>&1"), 0) << "setup.sh installs strace";
  const std::string drive_a = p.root / "drive A", drive_b = p.root / "drive B";
  fs::copy(disc(1), drive_a, fs::copy_options::recursive);
  const std::string drives = drive_a + list_separator() + drive_b + list_separator() + disc(2) + list_separator() + disc(3);
  ASSERT_NO_FATAL_FAILURE(install_copy(copy()));
  // Every file of the copy that comes from the first disc goes missing.
  std::vector<std::string> missing;
  const std::string archives = drive_a + "/Zephiro 9 DVD/Zephiro 9/";
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(archives)) {
    const std::string rel = e.path().string().substr(archives.size());
    if (e.path().extension() != ".zip" || rel == "directory.txt.zip") continue;
    const std::string file = copy() + rel.substr(0, rel.size() - 4);
    if (fs::remove(file)) missing.push_back(file);
  }
  ASSERT_GE(missing.size(), 6u);

  p.wrapper = {"strace", "-f", "-qq", "--seccomp-bpf", "-o", "/dev/null", "-e", "inject=sendfile:delay_enter=400000"};
  const int pid = p.start({"--lang=en", "--dvd_drives=" + drives, "--pref:_log_actions=1",
                           script(to_confirm_repairs() +
                                  "wait_text I need to install approximately " + std::to_string(missing.size()) +
                                  " files to repair " + copy() + ".\n"
                                  "click_text CONTINUE\n"
                                  "timeout 60\n"
                                  "wait_text Please insert DVD number 1 and click continue.\n"
                                  "click_text CONTINUE\n"
                                  "wait_text Finished Repairing Zephiro.\n"
                                  "wait_text I have finished repairing " + copy() + "\n"
                                  "click_text QUIT\n")});
  p.wrapper.clear();
  // The disc goes once the first file is back.
  bool began = false;
  for (int i = 0; i < 1200 && !began; ++i) {
    for (const std::string& file : missing) began = began || fs::exists(file);
    if (!began) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  fs::rename(drive_a, drive_b);
  RunResult r = p.finish(pid);
  ASSERT_TRUE(began);
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  const std::string log = p.log();
  EXPECT_EQ(log.find("I was unable to copy"), std::string::npos) << log;
  for (const std::string& file : missing) EXPECT_TRUE(fs::is_regular_file(file)) << file;
  RunResult v = p.run({"--dvd_drives=" + drive_b + list_separator() + disc(2) + list_separator() + disc(3), "--verify=" + copy()});
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
}
