// The windowless mode end to end: the real program on a 3-disc set in folder drives.
#include "app/command_line_mode.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "io/file_ops.h"
#include "tests/test_util.h"

namespace {

std::unique_ptr<TempDir> g_discs;

class CommandLineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_discs = std::make_unique<TempDir>();
    ASSERT_TRUE(make_tiny_disc_set(g_discs->path(), 3));
  }
  static void TearDownTestSuite() { g_discs.reset(); }

  std::string drives() const {
    return "--dvd_drives=" + g_discs->path() + "disc1:" + g_discs->path() + "disc2:" + g_discs->path() + "disc3";
  }
  std::string copy() const { return p.root / "Zephiro 9"; }
  RunResult run(std::vector<std::string> args) {
    args.push_back(drives());
    return p.run(args);
  }

  ProgramRun p;
};

TEST_F(CommandLineTest, InstallVerifyDamageRepair) {
  RunResult r = run({"--install=" + copy(), "--scenery=+40+160,+20+070"});
  ASSERT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_NE(r.err.find("Installing: "), std::string::npos);
  EXPECT_EQ(access((copy() + "/Zephiro").c_str(), X_OK), 0);
  EXPECT_TRUE(std::ifstream(copy() + "/Global Scenery/-global terrain-/+40+160/+44+163.dsf").good());
  EXPECT_FALSE(std::ifstream(copy() + "/Global Scenery/-global terrain-/+50+150/+57+155.dsf").good());
  // The copy is registered.
  EXPECT_NE(read_file(p.root / "data/zephiro_install.txt").find(copy() + "/\n"), std::string::npos);
  EXPECT_NE(p.log().find("os_dir_prefs"), std::string::npos);

  r = run({"--verify=" + copy()});
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_NE(r.out.find(": 0 missing, 0 damaged."), std::string::npos) << r.out;

  ASSERT_EQ(unlink((copy() + "/Airfoils/NACA 2412.afl").c_str()), 0);
  write_file(copy() + "/Resources/settings.txt", "damaged");
  r = run({"--verify=" + copy()});
  EXPECT_EQ(r.exit_code, cli_failed_files);
  EXPECT_NE(r.out.find("missing\tAirfoils/NACA 2412.afl\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("damaged\tResources/settings.txt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(": 1 missing, 1 damaged."), std::string::npos) << r.out;

  // Without a terminal a changed file is kept...
  r = run({"--repair=" + copy()});
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_EQ(read_file(copy() + "/Resources/settings.txt"), "damaged");
  EXPECT_TRUE(std::ifstream(copy() + "/Airfoils/NACA 2412.afl").good());
  // ...unless the command line says otherwise.
  r = run({"--repair=" + copy(), "--conflicts=overwrite"});
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  r = run({"--verify=" + copy()});
  EXPECT_EQ(r.exit_code, cli_ok) << r.out;
}

TEST_F(CommandLineTest, ModifySceneryAddsAndRemoves) {
  ASSERT_EQ(run({"--install=" + copy(), "--scenery=none"}).exit_code, cli_ok);
  std::string terrain = copy() + "/Global Scenery/-global terrain-/";
  EXPECT_FALSE(std::ifstream(terrain + "+40+160/+44+163.dsf").good());
  RunResult r = run({"--modify=" + copy(), "--scenery=+40+160,-50-040"});
  ASSERT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_TRUE(std::ifstream(terrain + "+40+160/+44+163.dsf").good());
  EXPECT_TRUE(std::ifstream(terrain + "-50-040/-48-036.dsf").good());
  // Without --scenery the installed selection stays.
  r = run({"--modify=" + copy()});
  ASSERT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_TRUE(std::ifstream(terrain + "-50-040/-48-036.dsf").good());
  r = run({"--modify=" + copy(), "--scenery=-50-040"});
  ASSERT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_FALSE(std::ifstream(terrain + "+40+160/+44+163.dsf").good());
  EXPECT_FALSE(folder_exists(terrain + "+40+160"));
  EXPECT_TRUE(std::ifstream(terrain + "-50-040/-48-036.dsf").good());
}

TEST_F(CommandLineTest, RunsThatCannotStart) {
  mkdir(copy().c_str(), 0755);
  RunResult r = run({"--install=" + copy()});
  EXPECT_EQ(r.exit_code, cli_not_started);
  EXPECT_NE(r.err.find("exists already"), std::string::npos);
  EXPECT_EQ(run({"--install=" + p.root / "no/such/parent/Z9"}).exit_code, cli_not_started);
  EXPECT_EQ(run({"--repair=" + copy()}).exit_code, cli_not_started);  // not a copy
  EXPECT_EQ(run({"--install=" + copy() + "2", "--scenery=+95+000"}).exit_code, cli_not_started);
  EXPECT_EQ(run({"--install=" + copy() + "2", "--conflicts=maybe"}).exit_code, cli_not_started);

  TempDir empty;
  r = p.run({"--install=" + copy() + "2", "--dvd_drives=" + empty.path()});
  EXPECT_EQ(r.exit_code, cli_not_started);
  EXPECT_NE(r.err.find("Please insert Zephiro 9 DVD number one to begin."), std::string::npos);
  EXPECT_FALSE(std::ifstream(copy() + "2").good());
}

TEST_F(CommandLineTest, MissingDiscStopsARunWithoutTerminal) {
  // Only the first disc is in a drive: the run stops at the first archive of disc 2.
  RunResult r = p.run({"--install=" + copy(), "--dvd_drives=" + g_discs->path() + "disc1"});
  EXPECT_EQ(r.exit_code, cli_not_started);
  EXPECT_NE(r.err.find("Please insert DVD number 2 and click continue."), std::string::npos) << r.err;
}

}  // namespace
