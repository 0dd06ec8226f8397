#pragma once
// The real program in its window on a virtual display, acted on by a QA script: the
// display is shared by the tests of a suite, each test has its own folders (ProgramRun).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_util.h"
#include "tests/virtual_display.h"

class ProgramWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    display_ = std::make_unique<VirtualDisplay>();
    display_problem_ = display_->start();
  }
  static void TearDownTestSuite() { display_.reset(); }  // puts the DISPLAY of before back
  void SetUp() override {
    ASSERT_EQ(display_problem_, "");
    std::filesystem::create_directory(p.root / "drive");  // an empty folder drive
  }
  // Writes the script and returns the option that runs it.
  std::string script(const std::string& text) {
    write_file(p.root / "script.txt", text);
    return "--qa_script=" + p.root / "script.txt";
  }
  std::string empty_drive() { return "--dvd_drives=" + p.root / "drive"; }
  // The script from the Welcome page to Select Scenery, with the default destination.
  static std::string to_select_scenery() {
    return "wait_text I will guide you through the process of installing Zephiro 9 DVD.\n"
           "click_text CONTINUE\n"
           "wait_text I will create the folder 'Zephiro 9 DVD'\n"
           "click_text CONTINUE\n"
           "wait_text End User License Agreement\n"
           "click_text I agree!\n"
           "click_text CONTINUE\n"
           "wait_text Please pick the scenery you would like to install now.\n";
  }
  // Waits (within reason) until `path` holds `text`.
  static bool file_reaches(const std::string& path, const std::string& text) {
    for (int i = 0; i < 1200; ++i) {
      if (read_file(path).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  bool log_reaches(const std::string& text) { return file_reaches(p.root / "desktop/Zephiro Installer Log.txt", text); }
  std::string desktop() { return p.root / "desktop/"; }
  // A one-disc set of the given manifest lines, named `name`, without archives (enough for
  // the pages that only read the manifest). Returns the disc's folder.
  std::string hand_made_set(const std::string& name, const std::string& file_lines) {
    const std::string disc = p.root / ("set " + name + "/");
    std::filesystem::create_directories(disc + name);
    write_file(disc + "dvd_version.txt", "A\n900\nDVD\nVERSION " + name + "\n");
    EXPECT_TRUE(write_archive(disc + name + "/directory.txt.zip",
                              {{"directory.txt", "I\n900\nINSTALLER\nDISK 0\n" + file_lines}}));
    return disc;
  }
  void register_copies(const std::vector<std::string>& folders) {
    std::string lines;
    for (const std::string& f : folders) lines += f + "\n";
    write_file(p.root / "data/zephiro_install.txt", lines);
  }

  ProgramRun p;

 private:
  static inline std::unique_ptr<VirtualDisplay> display_;
  static inline std::string display_problem_;
};

// The same with a tiny 3-disc set ("Zephiro 9 DVD") shared by the tests of the suite.
class ThreeDiscWindowTest : public ProgramWindowTest {
 protected:
  static void SetUpTestSuite() {
    ProgramWindowTest::SetUpTestSuite();
    discs_ = std::make_unique<TempDir>();
    ASSERT_TRUE(make_tiny_disc_set(discs_->path(), 3));
  }
  static void TearDownTestSuite() {
    ProgramWindowTest::TearDownTestSuite();
    discs_.reset();
  }
  // The folder of disc n (1..3), and all three as drives.
  static std::string disc(int n) { return discs_->path() + "disc" + std::to_string(n); }
  static std::string all_discs() { return disc(1) + list_separator() + disc(2) + list_separator() + disc(3); }
  // A copy installed without a window at `folder` (ending '/'), registered, with the
  // scenery `--scenery` names.
  void install_copy(const std::string& folder, const std::string& scenery = "none") {
    std::filesystem::create_directories(std::filesystem::path(folder).parent_path().parent_path());
    RunResult r = p.run({"--dvd_drives=" + all_discs(), "--install=" + folder, "--scenery=" + scenery});
    ASSERT_EQ(r.exit_code, 0) << r.err;
  }
  RunResult verify(const std::string& folder) { return p.run({"--dvd_drives=" + all_discs(), "--verify=" + folder}); }

 private:
  static inline std::unique_ptr<TempDir> discs_;
};
