// The windowless mode end to end: the real program on a 3-disc set in folder drives.
#include "app/command_line_mode.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>

#include "engine/work_record.h"
#include "io/file_ops.h"
#include "platform/host.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<TempDir> g_discs;

// Every path below `folder` whose name marks a partial file or folder (links not followed).
std::vector<std::string> partial_files_below(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->path().filename().string().rfind(".zephiro-part-", 0) == 0) found.push_back(it->path().string());
  return found;
}

double seconds_of(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class CommandLineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_discs = std::make_unique<TempDir>();
    ASSERT_TRUE(make_tiny_disc_set(g_discs->path(), 3));
  }
  static void TearDownTestSuite() { g_discs.reset(); }

  std::string drives() const {
    return "--dvd_drives=" + g_discs->path() + "disc1" + list_separator() + g_discs->path() + "disc2" + list_separator() + g_discs->path() + "disc3";
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
  // The tile of the third disc is named while it is written; the end comes after it.
  const size_t third = r.err.find("Using DVD number 3");
  ASSERT_NE(third, std::string::npos) << r.err;
  const size_t tile = r.err.find("Installing: Zephiro 9/Global Scenery/-global terrain-/+40+160/", third);
  EXPECT_NE(tile, std::string::npos) << r.err;
  EXPECT_LT(tile, r.err.find("100% Finishing up...", third)) << r.err;
  const std::string program = copy() + "/" + platform::simulator_file_name();
  if (posix_system()) {
    EXPECT_EQ(access(program.c_str(), X_OK), 0);
  } else {
    EXPECT_TRUE(fs::is_regular_file(program));  // Windows runs a file by its name
  }
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
  // Only the two files repaired are named on the way, no file the repair leaves alone.
  std::istringstream lines(r.err);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Installing: ") == std::string::npos) continue;
    EXPECT_TRUE(line.find("NACA 2412.afl") != std::string::npos ||
                line.find("Resources/settings.txt") != std::string::npos)
        << line;
  }
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
  make_folder(copy());
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

// What a user at the terminal is told when a run cannot start or works on an unfinished
// copy: which drive holds what instead of the first disc, which tiles the discs hold, the
// files the scan looks at, and no source lines of the program.
TEST_F(CommandLineTest, MessagesSayWhatIsWrongInTheUsersTerms) {
  const std::string missing = p.root / "no such drive", empty = p.root / "empty drive", other = p.root / "other";
  make_folder(empty);
  make_folder(other);
  write_file(other + "/notes.txt", "not a disc");
  write_file(p.root / "junk.iso", "no image at all");
  RunResult r = p.run({"--install=" + copy(), "--dvd_drives=" + missing + list_separator() + empty + list_separator() +
                                                   other + list_separator() + p.root / "junk.iso"});
  EXPECT_EQ(r.exit_code, cli_not_started);
  for (const std::string& line :
       {std::string("ERROR: Please insert Zephiro 9 DVD number one to begin.\n"),
        "  " + missing + ": there is no such folder or disc image.\n", "  " + empty + ": the folder is empty.\n",
        "  " + other + ": the folder holds no dvd_version.txt, so it is not the first disc of a Zephiro 9 set.\n",
        "  " + p.root / "junk.iso" + ": the disc image cannot be read ("})
    EXPECT_NE(r.err.find(line), std::string::npos) << line << r.err;
  // The alert about the image has no source line on the terminal.
  EXPECT_NE(r.err.find("I cannot read the disc image " + p.root / "junk.iso"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(".cpp line "), std::string::npos) << r.err;
  r = p.run({"--install=" + copy(), "--dvd_drives="});
  EXPECT_NE(r.err.find("--dvd_drives names no folder."), std::string::npos) << r.err;

  // A tile the discs lack: the ones they hold are listed.
  r = run({"--install=" + copy(), "--scenery=+40+070,+41-081"});
  EXPECT_EQ(r.exit_code, cli_not_started);
  EXPECT_NE(r.err.find("ERROR: the discs hold no scenery for the tile +41-081. The discs hold 6 tiles:\n"
                       "  -50-040,-30+010,+20+070,+40+070,+40+160,+50+150\n"),
            std::string::npos)
      << r.err;

  // The scenery change's scan counts the tiles it looks at, not every path of the manifest.
  // (A scan that ends within its first step shows no count: the runs are repeated until one
  // shows it.)
  ASSERT_EQ(run({"--install=" + copy(), "--scenery=+40+070"}).exit_code, 0);
  int counts = 0;
  for (int attempt = 0; attempt < 20 && counts == 0; ++attempt) {
    r = run({"--modify=" + copy(), "--scenery=+40+070,+50+150"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    for (size_t at = r.err.find("Scanning "); at != std::string::npos; at = r.err.find("Scanning ", at + 1)) {
      const std::string line = r.err.substr(at, r.err.find('\n', at) - at);
      ++counts;
      EXPECT_NE(line.find(" of 6 files."), std::string::npos) << line;
    }
  }
  EXPECT_GT(counts, 0) << r.err;

  // Removing a copy whose install did not finish removes it; it does not finish the install.
  WorkRecord record;
  record.base_files = record.scenery_tiles = true;
  ASSERT_EQ(write_work_record(copy() + "/", record), 0);
  r = run({"--uninstall=" + copy()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err.find("Finishing the interrupted"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Removed "), std::string::npos) << r.err;
}

TEST_F(CommandLineTest, AMissingDiscIsAskedForOnATerminalAndStopsARunWithout) {
  // Only the first disc is in a drive: the run stops at the first archive of disc 2.
  RunResult r = p.run({"--install=" + copy(), "--dvd_drives=" + g_discs->path() + "disc1"});
  EXPECT_EQ(r.exit_code, cli_not_started);
  EXPECT_NE(r.err.find("ERROR: DVD number 2 is needed: put it in a drive and run the command again."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("click continue"), std::string::npos) << r.err;

  // On a terminal (given by `script`) the user is asked; the input ends at once, which ends
  // the wait.
  if (!posix_system()) return;  // the terminal comes from script(1), which Windows lacks
  const std::string command = "'" ZEPHIRO_BINARY_DIR "/zephiro-installer' '--install=" + copy() + "2' '--dvd_drives=" +
                              g_discs->path() + "disc1'";
  r = p.finish(p.start({"-qec", command, "/dev/null"}, "", "/usr/bin/script"));
  EXPECT_EQ(r.exit_code, cli_not_started) << r.out;
  EXPECT_NE(r.out.find("Please insert DVD number 2 and press Enter (or type q to stop): "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("click continue"), std::string::npos) << r.out;
}

// The copy's damaged and unregistered outcomes are failures, never a "Done": each says
// why, the exit code is 2, and nothing wrong stands under a file's final name. The work
// stays recorded until a later run finishes it.
TEST_F(CommandLineTest, FailuresAreReportedAndTheWorkIsFinishedLater) {
  TempDir set;
  copy_folder(g_discs->path(), set.path());
  std::string drives = "--dvd_drives=" + set / "disc1" + list_separator() + set / "disc2" + list_separator() + set / "disc3";
  // Two archives on the discs are damaged: one holds its file with other bytes, the other
  // holds a file of another name.
  std::string airfoil, readme;
  for (const char* d : {"disc1", "disc2", "disc3"}) {
    std::string base = set / d + "/Zephiro 9 DVD/Zephiro 9/";
    if (fs::exists(base + "Airfoils/Clark Y.afl.zip")) airfoil = base + "Airfoils/Clark Y.afl.zip";
    if (fs::exists(base + "Instructions/Readme.txt.zip")) readme = base + "Instructions/Readme.txt.zip";
  }
  ASSERT_FALSE(airfoil.empty() || readme.empty());
  fs::copy_file(airfoil, set / "airfoil.saved");
  fs::copy_file(readme, set / "readme.saved");
  fs::remove(airfoil);
  fs::remove(readme);
  ASSERT_TRUE(write_archive(airfoil, {{"Clark Y.afl", "not the airfoil"}}));
  ASSERT_TRUE(write_archive(readme, {{"Other.txt", "another file"}}));

  RunResult r = p.run({"--install=" + copy(), drives});
  EXPECT_EQ(r.exit_code, cli_failed_files) << r.err;
  EXPECT_NE(r.err.find(" to the folder " + copy() + "/Airfoils/. (Damaged archive: the file it holds is not"),
            std::string::npos) << r.err;
  EXPECT_NE(r.err.find("(Damaged archive: it does not hold the file it should)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Finished with errors (2 failed files): "), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Done"), std::string::npos);
  EXPECT_FALSE(fs::exists(copy() + "/Airfoils/Clark Y.afl"));
  EXPECT_FALSE(fs::exists(copy() + "/Instructions/Other.txt"));
  EXPECT_TRUE(partial_files_below(p.root.path()).empty());
  EXPECT_TRUE(names_in(p.root / "tmp").empty());

  // The copy knows its install did not finish, and says so.
  r = run({"--verify=" + copy()});
  EXPECT_EQ(r.exit_code, cli_failed_files);
  EXPECT_NE(r.out.find("missing\tAirfoils/Clark Y.afl\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("missing\tInstructions/Readme.txt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("unfinished\tan interrupted install of this copy"), std::string::npos) << r.out;

  // With the discs mended, --repair finishes it.
  // Removed first: Windows' C++ library takes any two files for the same one and will not
  // overwrite.
  fs::remove(airfoil);
  fs::remove(readme);
  fs::copy_file(set / "airfoil.saved", airfoil);
  fs::copy_file(set / "readme.saved", readme);
  r = p.run({"--repair=" + copy(), drives});
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  r = run({"--verify=" + copy()});
  EXPECT_EQ(r.exit_code, cli_ok) << r.out;
  EXPECT_EQ(r.out.find("unfinished"), std::string::npos);

  // A registry that cannot be written: the copy is installed, the run says what failed.
  fs::remove(p.root / "data/zephiro_install.txt");
  fs::create_directories(p.root / "data/zephiro_install.txt");
  r = run({"--install=" + copy() + "2", "--scenery=none"});
  EXPECT_EQ(r.exit_code, cli_failed_files);
  // Windows refuses a file the name of a folder as access denied.
  const std::string why = posix_system() ? "Is a directory" : "Permission denied";
  EXPECT_NE(r.err.find("could not be registered in " + p.root / "data/zephiro_install.txt (" + why),
            std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Done"), std::string::npos);
  fs::remove(p.root / "data/zephiro_install.txt");
  if (posix_system()) {  // a full disk, as /dev/full gives one (Windows has no such device)
    fs::create_symlink("/dev/full", p.root / "data/zephiro_install.txt");
    r = run({"--repair=" + copy() + "2"});
    EXPECT_EQ(r.exit_code, cli_failed_files);
    EXPECT_NE(r.err.find("(No space left on device. Perhaps your hard drive is full)"), std::string::npos) << r.err;
  }

  // A fatal alert of the start-up scan (two different install discs) ends the run with 3,
  // before anything is made.
  fs::copy(g_discs->path() + "disc1", set / "other disc", fs::copy_options::recursive);
  r = p.run({"--install=" + copy() + "3", "--dvd_drives=" + set / "disc1" + list_separator() + set / "other disc"});
  EXPECT_EQ(r.exit_code, cli_not_started);
  EXPECT_NE(r.err.find("I found multiple Zephiro CDs in the drives!"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(copy() + "3"));
  // One disc seen under two roots is one disc (a link an ordinary Windows user cannot make).
  if (!posix_system()) return;
  fs::create_directory_symlink(set / "disc1", set / "link to disc1");
  r = p.run({"--install=" + copy() + "3", "--scenery=none",
             "--dvd_drives=" + set / "disc1" + list_separator() + set / "link to disc1" + list_separator() + set / "disc2" + list_separator() + set / "disc3"});
  EXPECT_EQ(r.exit_code, cli_failed_files) << r.err;  // installed; the registry still fails
  EXPECT_TRUE(fs::exists(copy() + "3/Airfoils/Clark Y.afl"));
}

// Things that are normal on Linux: a copy in a folder whose name begins with ".", drives
// named relative to the working folder, a FIFO where a file belongs.
TEST_F(CommandLineTest, LinuxFoldersDrivesAndSpecialFiles) {
  if (!posix_system()) GTEST_SKIP() << "Windows has no FIFOs, and its relative drives are tested elsewhere";
  std::string copy_folder = p.root / ".hidden place/Zephiro 9";
  fs::create_directories(p.root / ".hidden place");
  const fs::path working_folder = fs::current_path();
  ASSERT_EQ(chdir(g_discs->path().c_str()), 0);
  RunResult r = p.run({"--install=" + copy_folder, "--scenery=+40+160", "--dvd_drives=disc1:./disc2:disc3/"});
  ASSERT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_NE(r.err.find("Found Zephiro 9 DVD in " + g_discs->path() + "disc1/"), std::string::npos) << r.err;
  r = p.run({"--verify=" + copy_folder, "--dvd_drives=disc1"});
  EXPECT_EQ(r.exit_code, cli_ok) << r.err << r.out;

  // A FIFO in the place of a file is a file that does not match: reported, never read.
  std::string settings = copy_folder + "/Resources/settings.txt";
  fs::remove(settings);
  ASSERT_EQ(make_fifo(settings), 0);
  r = p.run({"--verify=" + copy_folder, "--dvd_drives=disc1"});
  EXPECT_EQ(r.exit_code, cli_failed_files);
  EXPECT_NE(r.out.find("damaged\tResources/settings.txt\n"), std::string::npos) << r.out;
  r = p.run({"--repair=" + copy_folder, "--conflicts=overwrite", "--dvd_drives=disc1:disc2:disc3"});
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_TRUE(fs::is_regular_file(settings));
  EXPECT_EQ(p.run({"--verify=" + copy_folder, "--dvd_drives=disc1"}).exit_code, cli_ok);
  fs::current_path(working_folder);
}

// SIGINT and SIGTERM stop the work in order: the run's scratch files go, the exit code
// tells the signal, and the same command finishes the work.
TEST_F(CommandLineTest, SignalsStopTheWorkInOrder) {
  if (!posix_system()) GTEST_SKIP() << "Windows sends no SIGINT or SIGTERM to a program without a console";
  TempDir set;
  ASSERT_TRUE(make_tiny_disc_set(set.path(), 3, "--size=3M"));
  std::string drives = "--dvd_drives=" + set / "disc1" + list_separator() + set / "disc2" + list_separator() + set / "disc3";
  for (int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    fs::remove_all(copy());
    int pid = p.start({"--install=" + copy(), drives});
    ASSERT_TRUE(wait_for([&] { return fs::exists(copy() + "/Airfoils"); }, 30));
    send_signal(pid, signal_number);
    RunResult r = p.finish(pid);
    EXPECT_EQ(r.exit_code, 128 + signal_number) << r.err;
    EXPECT_NE(r.err.find("Stopped by signal " + std::to_string(signal_number)), std::string::npos) << r.err;
    EXPECT_TRUE(names_in(p.root / "tmp").empty());
    EXPECT_TRUE(partial_files_below(copy()).empty());
    r = p.run({"--verify=" + copy(), drives});
    EXPECT_EQ(r.exit_code, cli_failed_files);
    EXPECT_NE(r.out.find("unfinished\t"), std::string::npos) << r.out;
    EXPECT_EQ(p.run({"--install=" + copy(), drives}).exit_code, cli_ok);
    EXPECT_EQ(p.run({"--verify=" + copy(), drives}).exit_code, cli_ok);
  }
}

// An install killed at any moment, from the making of its folder to its last file, is
// finished by the same command or by --repair: the copy then passes --verify with the tiles
// chosen at the start (and no others), and no partial or scratch file is left anywhere.
TEST(CommandLineRecovery, AnInstallKilledAtAnyMomentIsFinished) {
  TempDir set;
  ASSERT_TRUE(make_tiny_disc_set(set.path(), 3, "--size=4M"));
  const std::string drives = "--dvd_drives=" + set / "disc1" + list_separator() + set / "disc2" + list_separator() + set / "disc3";
  ProgramRun p;
  const std::string parent = p.root / "copies";
  const std::string copy = parent + "/Zephiro 9";
  fs::create_directories(parent);

  // A whole install shows the tiles on offer; two of them are chosen.
  ASSERT_EQ(p.run({"--install=" + copy, drives}).exit_code, cli_ok);
  std::vector<std::string> tiles = names_in(copy + "/Global Scenery/-global terrain-");
  std::sort(tiles.begin(), tiles.end());
  ASSERT_GE(tiles.size(), 3u);
  const std::string chosen = "--scenery=" + tiles[0] + "," + tiles[1];
  fs::remove_all(copy);
  RunResult reference;
  double duration = seconds_of([&] { reference = p.run({"--install=" + copy, chosen, drives}); });
  ASSERT_EQ(reference.exit_code, cli_ok) << reference.err;
  RunResult verified = p.run({"--verify=" + copy, drives});
  ASSERT_EQ(verified.exit_code, cli_ok);
  const std::string summary = verified.out.substr(verified.out.rfind('\n', verified.out.size() - 2) + 1);

  // Moments: the copy's folder being made (as soon as anything appears beside it: its
  // partial folder, or the folder itself), its record there, its folders being made, its
  // first file, then spread over the rest of the run.
  std::vector<std::function<bool()>> moments = {
      [&] { return !names_in(parent).empty(); },
      [&] { return fs::exists(copy + "/.zephiro-unfinished-work.txt"); },
      [&] { return fs::exists(copy + "/Airfoils"); },
      [&] { return fs::exists(copy + "/" + platform::simulator_file_name()); },
  };
  for (double share : {0.2, 0.35, 0.5, 0.65, 0.8, 0.95}) {
    auto start = std::make_shared<std::chrono::steady_clock::time_point>();
    moments.push_back([start, share, duration] {
      if (*start == std::chrono::steady_clock::time_point()) *start = std::chrono::steady_clock::now();
      return std::chrono::steady_clock::now() - *start >= std::chrono::duration<double>(share * duration);
    });
  }

  int interrupted = 0;
  for (size_t i = 0; i < moments.size(); ++i) {
    SCOPED_TRACE("kill moment " + std::to_string(i));
    fs::remove_all(copy);
    int pid = p.start({"--install=" + copy, chosen, drives});
    wait_for(moments[i], std::max(2.0, 2 * duration));
    p.kill_at_once(pid);
    p.finish(pid);
    bool unfinished = !fs::exists(copy) || fs::exists(copy + "/.zephiro-unfinished-work.txt");
    if (unfinished) ++interrupted;

    // The same command again, or --repair where a copy exists to repair (a copy the run had
    // finished before the kill is only repaired: a new install into it is refused).
    bool repair = fs::exists(copy) && (i % 2 == 1 || !unfinished);
    RunResult r = p.run({repair ? "--repair=" + copy : "--install=" + copy, chosen, drives});
    ASSERT_EQ(r.exit_code, cli_ok) << (repair ? "repair: " : "install: ") << r.err;
    r = p.run({"--verify=" + copy, drives});
    EXPECT_EQ(r.exit_code, cli_ok) << r.out;
    EXPECT_NE(r.out.find(summary), std::string::npos) << r.out;
    EXPECT_EQ(names_in(copy + "/Global Scenery/-global terrain-"), (std::vector<std::string>{tiles[0], tiles[1]}));
    EXPECT_EQ(partial_files_below(parent), std::vector<std::string>());
    EXPECT_EQ(names_in(p.root / "tmp"), std::vector<std::string>());
  }
  // Most kills landed while the work was going on.
  EXPECT_GE(interrupted, static_cast<int>(moments.size()) / 2);
}

// A disc that leaves its drive while its archives are being copied (each copy slowed by
// strace, so the moment falls inside the work) is a disc request, never a failed file per
// archive: back in another drive, the run goes on with the archive it was copying; gone for
// good, a run without a terminal stops with the request and the same command finishes later.
TEST(CommandLineDiscs, ADiscTakenOutDuringTheCopiesIsRequested) {
  if (!posix_system()) GTEST_SKIP() << "the copies are slowed down with strace";
  ASSERT_EQ(std::system("strace -V > /dev/null 2>&1"), 0) << "setup.sh installs strace";
  TempDir set;
  ASSERT_TRUE(make_tiny_disc_set(set.path(), 3));
  ProgramRun p;
  const std::string copy = p.root / "Zephiro 9";
  const std::string drive_a = set / "drive A", drive_b = set / "drive B";
  const std::string drives = "--dvd_drives=" + drive_a + list_separator() + drive_b + list_separator() + set / "disc2" + list_separator() + set / "disc3";
  for (bool comes_back : {true, false}) {
    SCOPED_TRACE(comes_back ? "the disc comes back" : "the disc stays out");
    fs::remove_all(copy);
    fs::remove_all(drive_b);
    fs::rename(set / "disc1", drive_a);
    p.wrapper = {"strace", "-f", "-qq", "--seccomp-bpf", "-o", "/dev/null", "-e", "inject=sendfile:delay_enter=300000"};
    const int pid = p.start({"--install=" + copy, "--scenery=none", drives});
    p.wrapper.clear();
    ASSERT_TRUE(wait_for([&] { return fs::exists(copy + "/Airfoils/Clark Y.afl") || fs::exists(copy + "/Zephiro"); }, 60));
    fs::rename(drive_a, comes_back ? drive_b : set / "disc1");
    RunResult r = p.finish(pid);
    EXPECT_NE(r.err.find("DVD number 1 is no longer in " + drive_a + "/: its archives will be copied once it is back."),
              std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("unable to copy"), std::string::npos) << r.err;
    if (comes_back) {
      EXPECT_EQ(r.exit_code, cli_ok) << r.err;
      EXPECT_NE(r.err.find("Using DVD number 1 in " + drive_b + "/"), std::string::npos) << r.err;
      fs::rename(drive_b, set / "disc1");
    } else {
      EXPECT_EQ(r.exit_code, cli_not_started) << r.err;
      EXPECT_NE(r.err.find("ERROR: DVD number 1 is needed"), std::string::npos) << r.err;
      EXPECT_EQ(p.run({"--install=" + copy, "--scenery=none", "--dvd_drives=" + set / "disc1" + list_separator() + set / "disc2" + list_separator() +
                                                                  set / "disc3"}).exit_code, cli_ok);
    }
    r = p.run({"--verify=" + copy, "--dvd_drives=" + set / "disc1"});
    EXPECT_EQ(r.exit_code, cli_ok) << r.out;
  }
}

// A temporary folder on a disk of its own (a small tmpfs) that cannot hold the largest
// archive stops the run before anything is made; with room there the same run installs
// through it.
TEST(CommandLineSpace, ATemporaryFolderTooSmallForTheLargestArchiveStopsTheRunFirst) {
  TempDir set;
  ASSERT_TRUE(make_tiny_disc_set(set.path(), 3, "--size=2M"));  // its largest file is some 100 KB
  const std::string drives = "--dvd_drives=" + set / "disc1" + list_separator() + set / "disc2" + list_separator() + set / "disc3";
  ProgramRun p;
  TmpfsMount small("96k");
  if (!small.problem().empty()) GTEST_SKIP() << small.problem();
  const std::string small_folder = small.path().substr(0, small.path().size() - 1);
  p.environment = {{"TMPDIR", small_folder}};
  const std::string copy = p.root / "Zephiro 9";
  RunResult r = p.run({"--install=" + copy, drives});
  EXPECT_EQ(r.exit_code, cli_not_started) << r.err;
  EXPECT_NE(r.err.find("ERROR: the temporary folder " + small_folder + "/zephiro-run-"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" free, but the largest archive of this work may need up to "), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(copy));
  EXPECT_EQ(names_in(small_folder), std::vector<std::string>());

  ASSERT_EQ(std::system(("mount -o remount,size=8m '" + small_folder + "'").c_str()), 0);
  r = p.run({"--install=" + copy, drives});
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_EQ(p.run({"--verify=" + copy, drives}).exit_code, cli_ok);
}

// Every file below `folder`, relative to it, sorted (folders end in '/', so an empty one shows).
std::vector<std::string> tree_of(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    found.push_back(fs::relative(it->path(), folder).generic_u8string() + (it->is_directory() ? "/" : ""));
  std::sort(found.begin(), found.end());
  return found;
}

// What differs between two sorted trees: "+ path" only in `have`, "- path" only in `want`.
std::vector<std::string> tree_difference(const std::vector<std::string>& have, const std::vector<std::string>& want) {
  std::vector<std::string> extra, missing, out;
  std::set_difference(have.begin(), have.end(), want.begin(), want.end(), std::back_inserter(extra));
  std::set_difference(want.begin(), want.end(), have.begin(), have.end(), std::back_inserter(missing));
  for (const std::string& e : extra) out.push_back("+ " + e);
  for (const std::string& m : missing) out.push_back("- " + m);
  return out;
}

// A scenery removal killed at one of its deletions (strace ends it there) is finished by
// the same command, by --repair and by --modify without --scenery alike: each leaves exactly
// the tiles the removal was to keep, prunes the tile folders it emptied, and --verify agrees.
TEST(CommandLineRecovery, ASceneryRemovalKilledAtItsDeletionsIsFinished) {
  if (!posix_system()) GTEST_SKIP() << "the run is ended at a chosen deletion through strace";
  ASSERT_EQ(std::system("strace -V > /dev/null 2>&1"), 0) << "setup.sh installs strace";
  TempDir set;
  ASSERT_TRUE(make_tiny_disc_set(set.path(), 3, "--size=100K"));  // 50 tiles, several to a folder
  const std::string drives = "--dvd_drives=" + set / "disc1" + list_separator() + set / "disc2" + list_separator() + set / "disc3";
  ProgramRun p;
  const std::string copy = p.root / "Zephiro 9";
  const std::string terrain = copy + "/Global Scenery/-global terrain-/";
  ASSERT_EQ(p.run({"--install=" + copy, drives}).exit_code, cli_ok);
  const std::string full = p.root / "full copy";
  fs::copy(copy, full, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  std::vector<std::string> tiles = names_in(terrain);
  ASSERT_GE(tiles.size(), 4u);
  const std::string removal = "--scenery=" + tiles[0] + "," + tiles.back();

  // The uninterrupted removal, traced: its end state, and which unlink calls delete tiles.
  const std::string trace = p.root / "unlinks.txt";
  p.wrapper = {"strace", "-f", "-qq", "-o", trace, "-e", "trace=unlink"};
  RunResult r = p.run({"--modify=" + copy, removal, drives});
  p.wrapper.clear();
  ASSERT_EQ(r.exit_code, cli_ok) << r.err;
  const std::vector<std::string> wanted = tree_of(copy);
  EXPECT_EQ(names_in(terrain), (std::vector<std::string>{tiles[0], tiles.back()}));
  RunResult verified = p.run({"--verify=" + copy, drives});
  ASSERT_EQ(verified.exit_code, cli_ok) << verified.out;
  // strace counts each thread's calls apart: those of the thread that deletes the tiles.
  std::vector<int> tile_deletions;  // 1-based numbers among that thread's unlink calls
  {
    const std::string text = read_file(trace);
    const size_t first = text.find("-global terrain-/");
    ASSERT_NE(first, std::string::npos) << text;
    const size_t line_start = text.rfind('\n', first) + 1;  // 0 on the first line
    const std::string thread = text.substr(line_start, text.find(' ', line_start) + 1 - line_start);  // "pid "
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(thread, 0) != 0 || line.find("unlink(") == std::string::npos) continue;
      if (line.find("resumed>") != std::string::npos) continue;
      ++number;
      if (line.find("-global terrain-/") != std::string::npos) tile_deletions.push_back(number);
    }
  }
  ASSERT_GE(tile_deletions.size(), 8u) << read_file(trace);

  // Killed at the first, an early, the middle and the last but one tile deletion.
  const size_t n = tile_deletions.size();
  const std::vector<size_t> kills = {0, 2, n / 2, n - 2};
  const std::vector<std::vector<std::string>> finishers = {
      {"--modify=" + copy, removal}, {"--repair=" + copy}, {"--modify=" + copy}, {"--modify=" + copy, removal}};
  for (size_t i = 0; i < kills.size(); ++i) {
    SCOPED_TRACE("killed at tile deletion " + std::to_string(kills[i] + 1) + ", finished by " + finishers[i][0]);
    fs::remove_all(copy);
    fs::copy(full, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    p.wrapper = {"strace", "-f", "-qq", "-o", "/dev/null", "-e",
                 "inject=unlink:signal=KILL:when=" + std::to_string(tile_deletions[kills[i]])};
    r = p.run({"--modify=" + copy, removal, drives});
    p.wrapper.clear();
    ASSERT_NE(r.exit_code, cli_ok) << r.err;
    ASSERT_TRUE(fs::exists(copy + "/.zephiro-unfinished-work.txt"));
    ASSERT_GT(tree_of(copy).size(), wanted.size());

    std::vector<std::string> args = finishers[i];
    args.push_back(drives);
    r = p.run(args);
    ASSERT_EQ(r.exit_code, cli_ok) << r.err;
    EXPECT_NE(r.err.find("Finishing the interrupted scenery change of " + copy), std::string::npos) << r.err;
    EXPECT_EQ(tree_difference(tree_of(copy), wanted), std::vector<std::string>());
    r = p.run({"--verify=" + copy, drives});
    EXPECT_EQ(r.exit_code, cli_ok) << r.out;
    EXPECT_EQ(r.out, verified.out);
    // A repair afterwards finds nothing to do and keeps the kept tiles.
    r = p.run({"--repair=" + copy, drives});
    EXPECT_EQ(r.exit_code, cli_ok) << r.err;
    EXPECT_NE(r.err.find("0 files to install, 0 files to delete."), std::string::npos) << r.err;
    EXPECT_EQ(tree_difference(tree_of(copy), wanted), std::vector<std::string>());
  }
}

}  // namespace
