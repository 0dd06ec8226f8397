// Disc sets laid out as real discs are, through the install, the scenery change and the
// repair, on the command line and in the window: tiles of several 10-degree cells straight
// in one folder with only some of them chosen, a plugin the product no longer uses beside a
// current one, and a changed file of the user's among the tiles.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/manifest.h"
#include "engine/work_record.h"
#include "io/md5.h"
#include "tests/program_window_fixture.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;

namespace {

const char k_set_name[] = "Zephiro 9 DVD";
const char k_terrain[] = "Global Scenery/-global terrain-/";
const char k_menu[] = "You already have Zephiro 9 installed on this computer.  What would you like to do?";

// A file of the set: its path in the copy, its versions oldest first ("" for the version
// that says the file left the product), and its disc (0-based).
struct SetFile {
  std::string path;
  std::vector<std::string> versions;
  int disc;
};

// Resources/ holds nothing but plugins/, where a plugin that left the product lies beside a
// current one. Three cells' tiles lie side by side in -global terrain-/, with a tile of the
// cell +40-080 that left the product among them.
const std::vector<SetFile>& layout_files() {
  static const std::vector<SetFile> files = {
      {"Zephiro", {"#!/bin/sh\n"}, 0},
      {"Airfoils/Clark Y.afl", {"airfoil 1\n", "airfoil 2\n"}, 0},
      {"Instructions/Readme.txt", {"read me\n"}, 0},
      {"Resources/plugins/radar.xpl", {"radar plugin\n", ""}, 0},
      {"Resources/plugins/weather.xpl", {"weather plugin 1\n", "weather plugin 2\n"}, 0},
      {std::string(k_terrain) + "+40-073.dsf", {"tile +40-073 of the first release\n", ""}, 1},
      {std::string(k_terrain) + "+40-074.dsf", {"tile +40-074\n"}, 1},
      {std::string(k_terrain) + "+50-074.dsf", {"tile +50-074\n"}, 1},
      {std::string(k_terrain) + "+40-064.dsf", {"tile +40-064\n"}, 1},
  };
  return files;
}

std::string signature_of(const std::string& bytes) {
  Md5Digest digest;
  digest.add(bytes.data(), bytes.size());
  return digest.finish();
}

// The set in `folder`: disc1/ and disc2/, each with the set's folder and its manifest,
// the archive of each file's current version on its disc, dvd_version.txt on the first.
bool write_layout_set(const std::string& folder) {
  const std::string top = std::string(k_set_name) + "/Zephiro 9/";
  std::string manifest = "I\n900\nINSTALLER\n\n";
  int disc = -1;
  bool whole = true;
  for (const SetFile& f : layout_files()) {
    if (f.disc != disc) manifest += "DISK " + std::to_string(disc = f.disc) + "\n";
    for (size_t v = 0; v < f.versions.size(); ++v) {
      const std::string signature = f.versions[v].empty() ? "GONE" : signature_of(f.versions[v]);
      manifest += "FILE " + std::to_string(v + 1) + " 0 0 " + std::to_string(f.disc) + " 1 " + signature +
                  " Zephiro 9/" + f.path + "\n";
    }
    const std::string& current = f.versions.back();
    if (current.empty()) continue;
    const std::string archive = folder + "disc" + std::to_string(f.disc + 1) + "/" + top + f.path +
                                (f.path.find("Global Scenery") != std::string::npos ? ".7z" : ".zip");
    fs::create_directories(fs::u8path(archive).parent_path());
    whole = write_archive(archive, {{fs::u8path(f.path).filename().u8string(), current}}) && whole;
  }
  for (int d = 1; d <= 2; ++d) {
    const std::string root = folder + "disc" + std::to_string(d) + "/";
    fs::create_directories(fs::u8path(root + k_set_name));
    whole = write_archive(root + k_set_name + "/directory.txt.zip", {{"directory.txt", manifest}}) && whole;
  }
  write_file(folder + "disc1/dvd_version.txt", std::string("A\n900\nDVD\nVERSION ") + k_set_name + "\n");
  return whole;
}

// The current bytes of a file of the set.
std::string current_bytes(const std::string& path) {
  for (const SetFile& f : layout_files())
    if (f.path == path) return f.versions.back();
  ADD_FAILURE() << "no file " << path;
  return "";
}

std::string tile(const std::string& name) { return std::string(k_terrain) + name + ".dsf"; }

// The set is made once for all the tests; they only read it.
class DiscLayoutTest : public ProgramWindowTest {
 protected:
  static void SetUpTestSuite() {
    ProgramWindowTest::SetUpTestSuite();
    set_ = std::make_unique<TempDir>();
    ASSERT_TRUE(write_layout_set(set_->path()));
  }
  static void TearDownTestSuite() {
    ProgramWindowTest::TearDownTestSuite();
    set_.reset();
  }
  static std::string disc(int n) { return set_->path() + "disc" + std::to_string(n); }
  static std::string both_discs() { return disc(1) + list_separator() + disc(2); }

  // Where the window's install puts the copy by default, so that every run finds it there.
  std::string copy() { return desktop() + k_set_name + "/"; }
  RunResult command_line(const std::string& action, const std::string& scenery = "") {
    std::vector<std::string> args = {"--dvd_drives=" + both_discs(), action + "=" + copy()};
    if (!scenery.empty()) args.push_back("--scenery=" + scenery);
    return p.run(args);
  }
  RunResult window(const std::string& text) {
    return p.run({"--lang=en", "--dvd_drives=" + disc(1), script(text), "--pref:_log_actions=1"});
  }
  // Every file the copy is to hold is current; `tiles` are installed, the other tiles are not.
  void expect_copy(const std::vector<std::string>& tiles) {
    RunResult v = command_line("--verify");
    EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
    EXPECT_NE(v.out.find(": 0 missing, 0 damaged."), std::string::npos) << v.out;
    for (const char* base : {"Zephiro", "Airfoils/Clark Y.afl", "Resources/plugins/weather.xpl"})
      EXPECT_EQ(read_file(copy() + base), current_bytes(base)) << base;
    EXPECT_FALSE(fs::exists(fs::u8path(copy() + "Resources/plugins/radar.xpl")));
    for (const char* cell : {"+40-074", "+50-074", "+40-064"}) {
      const bool wanted = std::find(tiles.begin(), tiles.end(), cell) != tiles.end();
      EXPECT_EQ(read_file(copy() + tile(cell)), wanted ? current_bytes(tile(cell)) : "") << cell;
    }
  }
  // The script from the main menu to the map of the scenery wizard, with the only copy.
  static std::string to_the_scenery_map() {
    return std::string("wait_text ") + k_menu + "\n" +
           "click_text Add Or Remove Scenery\n"
           "wait_text Select Zephiro 9 to Add or Remove Scenery\n"
           "click_text CONTINUE\n"
           "wait_text Click on the world map to select what scenery you would like to install.\n";
  }
  // The second disc, once the work asks for it.
  static std::string second_disc(const std::string& title) {
    return "wait_text " + title + "\n" +
           "wait_text Please insert DVD number 2 and click continue.\n"
           "set_drives " + disc(2) + "\n" +
           "click_text CONTINUE\n";
  }

 private:
  static inline std::unique_ptr<TempDir> set_;
};

// Where the cells lie on the map (their centres, clear of the grid lines).
const char k_tap_40_080[] = "tap 395 339\n";
const char k_tap_50_080[] = "tap 395 353\n";
const char k_tap_40_070[] = "tap 409 339\n";

}  // namespace

// The folders an install, a scenery change or a repair is about to write into are never
// pruned, though they are empty until their files are extracted: those of the chosen tiles
// beside tiles not chosen, Resources/plugins/ beside a plugin that left the product.
TEST_F(DiscLayoutTest, CommandLineInstallSceneryChangesAndRepair) {
  RunResult r = command_line("--install", "+40-080");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_copy({"+40-074"});

  // Another cell's tiles into the same folder, one cell's out of it.
  r = command_line("--modify", "+50-080,+40-070");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_copy({"+50-074", "+40-064"});
  // Every tile out: the folders the removal emptied go, and the copy's own folders stay.
  r = command_line("--modify", "none");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_copy({});
  EXPECT_FALSE(fs::exists(fs::u8path(copy() + "Global Scenery")));
  // Tiles again into a copy that has no scenery folder left.
  r = command_line("--modify", "+40-080,+50-080");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_copy({"+40-074", "+50-074"});

  // The repair: a current plugin missing, the one that left the product back at its old
  // version, so that plugins/ is emptied by the deletion before the current one returns.
  fs::remove(fs::u8path(copy() + "Resources/plugins/weather.xpl"));
  write_file(copy() + "Resources/plugins/radar.xpl", "radar plugin\n");
  r = command_line("--repair");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("1 files to install, 1 files to delete."), std::string::npos) << r.err;
  expect_copy({"+40-074", "+50-074"});
}

// A copy that an install left without its Resources/ and scenery folders (as one that pruned
// them before extracting did), its record of the work kept: the repair finishes it.
TEST_F(DiscLayoutTest, ARepairFinishesAnInstallThatLostItsFolders) {
  RunResult r = command_line("--install", "+40-080");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  fs::remove_all(fs::u8path(copy() + "Resources"));
  fs::remove_all(fs::u8path(copy() + "Global Scenery"));
  WorkRecord record;
  record.base_files = record.scenery_tiles = true;
  int row = 0, column = 0;
  ASSERT_TRUE(tile_of_name("+40-074.dsf", &row, &column));
  record.tiles.set(column, row, true);
  ASSERT_EQ(write_work_record(copy(), record), 0);

  r = command_line("--repair");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("Finishing the interrupted install of " + copy()), std::string::npos) << r.err;
  EXPECT_FALSE(read_work_record(copy(), nullptr));
  expect_copy({"+40-074"});
}

TEST_F(DiscLayoutTest, InstallSceneryChangeAndRepairInTheWindow) {
  RunResult r = window(to_select_scenery() + std::string(k_tap_40_080) +
                       "wait_text Disk space needed to install: 5 KB\n"
                       "click_text CONTINUE\n" +
                       second_disc("Installing Zephiro - Please Change DVDs") +
                       "wait_text Installation was successful.\n"
                       "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  expect_copy({"+40-074"});

  // The scenery change adds tiles to a copy that has none left, and so no scenery folder.
  ASSERT_EQ(command_line("--modify", "none").exit_code, 0);
  ASSERT_FALSE(fs::exists(fs::u8path(copy() + "Global Scenery")));
  r = window(to_the_scenery_map() + k_tap_50_080 + k_tap_40_070 +
             "wait_text Disk space needed to install: 2 KB\n"
             "click_text CONTINUE\n" +
             second_disc("Installing Scenery - Please change DVDs") +
             "wait_text I have successfully installed more scenery to match your choices on the map.\n"
             "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  expect_copy({"+50-074", "+40-064"});
  // One cell's tiles out and another's in, beside the third's in the same folder.
  r = window(to_the_scenery_map() + k_tap_50_080 + k_tap_40_080 +
             "click_text CONTINUE\n" +
             second_disc("Installing Scenery - Please change DVDs") +
             "wait_text I have successfully added and removed scenery to match your choices on the map.\n"
             "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  expect_copy({"+40-074", "+40-064"});

  // The repair deletes the plugin that left the product before the current one returns.
  fs::remove(fs::u8path(copy() + "Resources/plugins/weather.xpl"));
  write_file(copy() + "Resources/plugins/radar.xpl", "radar plugin\n");
  r = window(std::string("wait_text ") + k_menu + "\n" +
             "click_text Repair Zephiro\n"
             "wait_text Please pick which copy of Zephiro 9 you would like to repair.\n"
             "click_text CONTINUE\n"
             "wait_text I need to install approximately 2 files to repair " + copy() + ".\n"
             "click_text CONTINUE\n"
             "wait_text I have finished repairing " + copy() + " - click Go Back to return to the main menu.\n"
             "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_NE(p.log().find("DELETING  file " + copy() + "Resources/plugins/radar.xpl, with result=0."),
            std::string::npos)
      << p.log();
  expect_copy({"+40-074", "+40-064"});
}

// A tile that left the product, changed by the user: the scenery change's quick scan only
// sees that it is there, which cannot tell it from the product's old file, so the scenery
// changes keep it and do not count it as removed.
TEST_F(DiscLayoutTest, AChangedFileThatLeftTheProductIsKeptBySceneryChanges) {
  RunResult r = command_line("--install", "+40-080");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string mine = copy() + tile("+40-073");
  write_file(mine, "my own mesh\n");

  // The installed selection stays, and nothing is deleted.
  r = command_line("--modify");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("0 files to install, 0 files to delete."), std::string::npos) << r.err;
  EXPECT_EQ(read_file(mine), "my own mesh\n");
  r = command_line("--modify", "+40-080,+50-080");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("1 files to install, 0 files to delete."), std::string::npos) << r.err;
  EXPECT_EQ(read_file(mine), "my own mesh\n");

  r = window(to_the_scenery_map() + k_tap_40_070 +
             "click_text CONTINUE\n" +
             second_disc("Installing Scenery - Please change DVDs") +
             "wait_text I have successfully installed more scenery to match your choices on the map.\n"
             "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_EQ(p.log().find("DELETING"), std::string::npos) << p.log();
  EXPECT_EQ(read_file(mine), "my own mesh\n");
  expect_copy({"+40-074", "+50-074", "+40-064"});
}
