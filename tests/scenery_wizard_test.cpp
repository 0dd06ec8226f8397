// The add/remove scenery wizard in the real program's window, acted on by a scripted
// user: tiles added by a drag across disc changes, all removed by SELECT NONE, a run that
// changes nothing, and QUIT while the scan runs.

#include "wizards/scenery_wizard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "platform/fs.h"
#include "tests/program_window_fixture.h"

namespace fs = std::filesystem;

namespace {

const char k_menu[] = "You already have Zephiro 9 installed on this computer.  What would you like to do?";
const char k_map_text[] = "Click on the world map to select what scenery you would like to install.";
// Where the tiny set's tiles lie on the map: the drag sweeps four of the six.
const char k_drag_over_four_tiles[] = "drag 600 310 740 350\n";
const char* const k_dragged_tiles[] = {"+20+070/+27+076.dsf", "+40+070/+43+073.dsf", "+40+160/+44+163.dsf",
                                       "+50+150/+57+155.dsf"};
const char* const k_other_tiles[] = {"-30+010/-23+018.dsf", "-50-040/-48-036.dsf"};

// What identifies a file's contents on disk without reading them: a rewrite or a
// replacement changes the inode or the time.
struct FileStamp {
  uint64_t inode = 0;
  long long mtime_ns = 0;
  uint64_t size = 0;
  bool operator==(const FileStamp& o) const { return inode == o.inode && mtime_ns == o.mtime_ns && size == o.size; }
};

// Every file of a copy outside its scenery, by path.
std::map<std::string, FileStamp> base_files(const std::string& copy) {
  std::map<std::string, FileStamp> files;
  for (const auto& e : fs::recursive_directory_iterator(copy)) {
    const std::string path = e.path().generic_u8string();
    if (!e.is_regular_file() || path.find("/Global Scenery/") != std::string::npos) continue;
    FileStamp stamp;
    uint64_t device = 0;
    if (platform::file_identity(path, &device, &stamp.inode) != 0) continue;
    stamp.mtime_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(e.last_write_time().time_since_epoch()).count();
    stamp.size = e.file_size();
    files[path] = stamp;
  }
  return files;
}

class SceneryWizardFlow : public ThreeDiscWindowTest {
 protected:
  std::string copy() { return p.root / "Zephiro 9/"; }
  std::string tile(const char* name) { return copy() + "Global Scenery/-global terrain-/" + name; }
  RunResult run(const std::string& drives, const std::string& text, std::vector<std::string> more = {}) {
    more.insert(more.begin(), {"--lang=en", "--dvd_drives=" + drives, script(text)});
    return p.run(more);
  }
  // From the main menu to the map, with the only copy.
  static std::string to_the_map() {
    return std::string("wait_text ") + k_menu + "\n" +
           "click_text Add Or Remove Scenery\n"
           "wait_text Select Zephiro 9 to Add or Remove Scenery\n"
           "click_text CONTINUE\n"
           "wait_text " + k_map_text + "\n";
  }
};

}  // namespace

TEST_F(SceneryWizardFlow, TilesAddedByADragAcrossDiscsThenARunThatChangesNothing) {
  ASSERT_NO_FATAL_FAILURE(install_copy(copy(), "none"));
  const std::string registry = read_file(p.root / "data/zephiro_install.txt");
  RunResult r = run(disc(1),
                    std::string("check_fit\n") + "wait_text " + k_menu + "\n" +
                        "click_text Add Or Remove Scenery\n"
                        "wait_text Select Zephiro 9 to Add or Remove Scenery\n"
                        "wait_text Please pick which copy of Zephiro 9 you would like to add scenery to.\n"
                        "no_text You have more than one copy\n"
                        "wait_text " + copy() + "\n"
                        "wait_text Scan Existing Scenery\n"
                        "# the only copy is ticked, but the page waits for CONTINUE\n"
                        "frames 10\n"
                        "wait_text Please pick which copy of Zephiro 9 you would like to add scenery to.\n"
                        "click_text CONTINUE\n"
                        "wait_text " + k_map_text + "\n"
                        "# no scenery yet: nothing selected, nothing needed\n"
                        "wait_text Disk space needed to install: 0 KB\n"
                        "wait_text You have enough free disk space to install this scenery.\n" +
                        k_drag_over_four_tiles +
                        "wait_text Disk space needed to install: 4 KB\n"
                        "click_text CONTINUE\n"
                        "wait_text Installing Scenery - Please change DVDs\n"
                        "wait_text Please insert DVD number 2 and click continue.\n"
                        "# going back asks whether to stop; Continue returns to the waiting work\n"
                        "click_text GO BACK\n"
                        "wait_text Are you sure you want to stop scenery installation?  You can add or remove more "
                        "scenery later.\n"
                        "click_text Continue\n"
                        "wait_text Please insert DVD number 2 and click continue.\n"
                        "set_drives " + disc(2) + "\n"
                        "click_text CONTINUE\n"
                        "wait_text Please insert DVD number 3 and click continue.\n"
                        "set_drives " + disc(3) + "\n"
                        "click_text CONTINUE\n"
                        "wait_text Finished With Add/Remove Scenery\n"
                        "wait_text I have successfully installed more scenery to match your choices on the map.\n"
                        "wait_text Run Zephiro Now\n"
                        "# again: the map starts with the installed tiles, so CONTINUE changes nothing\n"
                        "click_text GO BACK\n" +
                        to_the_map() +
                        "wait_text Disk space needed to install: 0 KB\n"
                        "click_text CONTINUE\n"
                        "wait_text I have successfully updated scenery to match your choices on the map.\n"
                        "no_text Please insert DVD\n"
                        "click_text QUIT\n",
                    {"--pref:_log_actions=1"});
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  for (const char* t : k_dragged_tiles) EXPECT_TRUE(fs::exists(tile(t))) << t;
  for (const char* t : k_other_tiles) EXPECT_FALSE(fs::exists(tile(t))) << t;
  // Each tile was extracted once, by the first run; the second deleted nothing.
  const std::string log = p.log();
  for (const char* t : k_dragged_tiles) {
    const std::string line = "EXPANDING file " + tile(t) + ", with result=0.";
    const size_t first = log.find(line);
    EXPECT_NE(first, std::string::npos) << t << "\n" << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << t;
  }
  EXPECT_EQ(log.find("DELETING"), std::string::npos);
  // The copy was not registered a second time.
  EXPECT_EQ(read_file(p.root / "data/zephiro_install.txt"), registry);
  RunResult v = verify(copy());
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
}

TEST_F(SceneryWizardFlow, SelectNoneRemovesEveryTileAndItsFoldersButNoBaseFile) {
  ASSERT_NO_FATAL_FAILURE(install_copy(copy(), "all"));
  for (const char* t : k_dragged_tiles) ASSERT_TRUE(fs::exists(tile(t))) << t;
  // A file of the user's beside the scenery keeps its folder.
  write_file(copy() + "Global Scenery/my notes.txt", "mine");
  const std::map<std::string, FileStamp> before = base_files(copy());
  RunResult r = run(disc(1), to_the_map() +
                                 "wait_text Disk space needed to install: 0 KB\n"
                                 "click_text SELECT NONE\n"
                                 "frames 3\n"
                                 "click_text CONTINUE\n"
                                 "wait_text Finished With Add/Remove Scenery\n"
                                 "wait_text I have successfully removed scenery to match your choices on the map.\n"
                                 "no_text Please insert DVD\n"
                                 "click_text QUIT\n",
                    {"--pref:_log_actions=1"});
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  // The tile files and their emptied folders are gone; the user's file and its folder stay.
  EXPECT_FALSE(fs::exists(copy() + "Global Scenery/-global terrain-"));
  EXPECT_EQ(read_file(copy() + "Global Scenery/my notes.txt"), "mine");
  EXPECT_NE(p.log().find("cleanup: DELETING  file " + copy() + "Global Scenery/-global terrain-/+40+070/"),
            std::string::npos)
      << p.log();
  // Every other file of the copy is the very file it was.
  EXPECT_EQ(base_files(copy()), before);
  RunResult v = verify(copy());
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
  EXPECT_NE(v.out.find(": 0 missing, 0 damaged."), std::string::npos) << v.out;
}

TEST_F(SceneryWizardFlow, StopAtAFailedTileEndsOnTheErrorText) {
  TempDir set;
  ASSERT_TRUE(make_tiny_disc_set(set.path(), 1));
  const std::string disc1 = set.path() + "disc1";
  write_file(disc1 + "/Zephiro 9 DVD/Zephiro 9/Global Scenery/-global terrain-/+40+070/+43+073.dsf.7z",
             "7z this is no archive");
  RunResult installed = p.run({"--dvd_drives=" + disc1, "--install=" + copy(), "--scenery=none"});
  ASSERT_EQ(installed.exit_code, 0) << installed.err;
  RunResult r = run(disc1, to_the_map() +
                               "click_text SELECT ALL\n"
                               "frames 3\n"
                               "click_text CONTINUE\n"
                               "wait_text An error occurred during scenery installation:\n"
                               "wait_text You can continue with the installation and attempt to reinstall the damaged "
                               "files later, or you can stop the installation\n"
                               "wait_text the scenery install.\n"
                               "click_text Stop\n"
                               "wait_text Finished With Add/Remove Scenery\n"
                               "wait_text There were errors while installing your scenery.  Your copy of Zephiro may "
                               "not be usable.\n"
                               "wait_text You can click Go Back and use the repair and add-remove scenery functions\n"
                               "no_text Run Zephiro Now\n"
                               "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  // What came before the failed tile stays installed; the failed one is not there.
  EXPECT_TRUE(fs::exists(tile("+20+070/+27+076.dsf")));
  EXPECT_FALSE(fs::exists(tile("+40+070/+43+073.dsf")));
}

TEST_F(SceneryWizardFlow, QuitWhileTheScanRunsStopsItAndEndsTheProgram) {
  // So many files that the scan takes many frames however many processors share it.
  std::string lines = "FILE 1 0 0 0 1 0123456789abcdef0123456789abcdef Z/Global Scenery/+40-080/+44-074.dsf\n";
  for (int i = 0; i < 100000; ++i)
    lines += "FILE 1 0 0 0 1 0123456789abcdef0123456789abcdef Z/Resources/part " + std::to_string(i) + ".txt\n";
  const std::string set = hand_made_set("Big Set", lines);
  const std::string folder = p.root / "copy/";
  for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(folder + sub);
  register_copies({folder});
  // The scenery wizard's quick scan, then the repair wizard's full one.
  const struct {
    const char* choice;
    const char* scan_text;
  } wizards[] = {{"Add Or Remove Scenery", "to see what scenery you already have installed."},
                 {"Repair Zephiro", "for missing or damaged files."}};
  for (const auto& w : wizards) {
    RunResult r = run(set, std::string("wait_text ") + k_menu + "\n" + "click_text " + w.choice + "\n" +
                               "wait_text " + folder + "\n"
                               "click_text CONTINUE\n"
                               "wait_text I am scanning " + folder + " " + w.scan_text + "\n"
                               "wait_text of 100001 files.\n"
                               "click_text QUIT\n"
                               "frames 100\n"
                               "wait_text never drawn: the program has ended\n");
    EXPECT_EQ(r.exit_code, 0) << w.choice << r.err << p.log();
    // The scan started and was stopped, not finished; the workers ended in order.
    const std::string log = p.log();
    EXPECT_NE(log.find(" Start of MD5 at "), std::string::npos) << w.choice << log;
    EXPECT_EQ(log.find(" End of MD5 at "), std::string::npos) << w.choice << log;
    EXPECT_NE(log.find("Clean exit from threads."), std::string::npos) << w.choice << log;
  }
}
