// The real program without a window, on folders as users and systems name them: a file of
// the copy moved to another filesystem and linked back, special folders whose names hold
// ':' and '\', folder names holding control characters, and the preferences file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line_mode.h"
#include "platform/child_process.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<TempDir> g_discs;

// The id of a process that has ended.
int ended_process_id() {
  TempDir scratch;
  const int pid = start_program({ZEPHIRO_BINARY_DIR "/zephiro-installer", "--version"}, {}, scratch / "out.txt",
                                scratch / "err.txt");
  wait_for_exit(pid);
  return pid;
}

class UserFolders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_discs = std::make_unique<TempDir>();
    ASSERT_TRUE(make_tiny_disc_set(g_discs->path(), 3));
  }
  static void TearDownTestSuite() { g_discs.reset(); }

  static std::string drives() {
    return "--dvd_drives=" + g_discs->path() + "disc1" + list_separator() + g_discs->path() + "disc2" + list_separator() + g_discs->path() + "disc3";
  }
  RunResult run(std::vector<std::string> args, const std::string& desktop = "") {
    args.push_back(drives());
    return p.run(args, desktop);
  }

  ProgramRun p;
};

// A file the user moved to another drive and linked back is repaired where it lies: the
// new file is made on that drive, the link stays, nothing partial is left on either side
// (also what a killed run left there).
TEST_F(UserFolders, AFileLinkedToAnotherFilesystemIsRepaired) {
  TmpfsMount other;
  if (!other.problem().empty()) GTEST_SKIP() << other.problem();
  const std::string copy = p.root / "Zephiro 9";
  ASSERT_EQ(run({"--install=" + copy, "--scenery=none"}).exit_code, cli_ok);
  const std::string settings = copy + "/Resources/settings.txt", moved = other / "settings.txt";
  const std::string good = read_file(settings);
  fs::copy_file(settings, moved);
  fs::remove(settings);
  fs::create_symlink(moved, settings);
  ASSERT_EQ(run({"--verify=" + copy}).exit_code, cli_ok);  // read through the link

  write_file(moved, "damaged");
  write_file(other / ".zephiro-part-0123456789abcdef-7", "left there by a run that was killed");
  RunResult r = run({"--repair=" + copy, "--conflicts=overwrite"});
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_TRUE(fs::is_symlink(settings));
  EXPECT_EQ(read_file(moved), good);
  EXPECT_EQ(names_in(other.path()), std::vector<std::string>{"settings.txt"});
  EXPECT_EQ(run({"--verify=" + copy}).exit_code, cli_ok);
}

// One flow through the folders the system gives (data, desktop, temporary and program
// folders named with ':' and '\'), a folder the user names on the command line, a file
// that left the product, and the names that would break the registry.
TEST_F(UserFolders, FoldersAreTakenAsGivenAndTheRegistryKeepsOneCopyALine) {
  // A Windows name cannot hold ':' or '\\' (a separator there): ';', the separator of its
  // lists, and '%' stand in.
  const bool posix = posix_system();
  const std::string data = p.root / (posix ? "da:ta" : "da;ta"), temp = p.root / (posix ? "t\\mp:x" : "t%mp;x");
  const std::string desk = p.root / (posix ? "desk:top" : "desk;top"), bin = p.root / (posix ? "bi:n" : "bi;n");
  for (const std::string& f : {temp, desk, bin}) fs::create_directories(f);
  p.environment = {{"XDG_DATA_HOME", data}, {"TMPDIR", temp}, {"TMP", temp}, {"TEMP", temp}};
  const std::string copy = p.root / (posix ? "co:py 9" : "co;py 9");

  // A run killed while it wrote the preferences left its temporary file; one of a run
  // still going (this test's process) stays.
  fs::create_directories(data);
  const std::string stale = data + "/Zephiro Installer.prf." + std::to_string(ended_process_id()) + ".tmp";
  const std::string live = data + "/Zephiro Installer.prf." + std::to_string(getpid()) + ".tmp";
  write_file(stale, "I\n10 version\n");
  write_file(live, "I\n10 version\n");

  RunResult r = run({"--install=" + copy, "--scenery=none"}, desk);
  ASSERT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_TRUE(fs::is_directory(copy + "/Airfoils"));
  EXPECT_EQ(read_file(data + "/zephiro_install.txt"), copy + "/\n");
  const std::string log = read_file(desk + "/Zephiro Installer Log.txt");
  EXPECT_NE(log.find("os_dir_temp\t\t\t=" + temp + "/\n"), std::string::npos) << log;
  EXPECT_NE(log.find("os_dir_prefs\t\t\t=" + data + "/\n"), std::string::npos) << log;
  const std::string prefs = read_file(data + "/Zephiro Installer.prf");  // a text file: CRLF on Windows
  EXPECT_NE((posix ? prefs : text_lines(prefs)).find("_log_actions 0\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(live));
  EXPECT_TRUE(names_in(temp).empty());  // the run's scratch folder went with it

  // The program in a folder of such a name knows its own folder.
  const std::string program = posix ? "/zephiro-installer" : "/zephiro-installer.exe";
  fs::copy_file(ZEPHIRO_BINARY_DIR + program, bin + program);
  fs::permissions(bin + program, fs::perms::owner_all);
  r = p.finish(p.start({"--verify=" + copy, drives()}, desk, bin + program));
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_NE(read_file(desk + "/Zephiro Installer Log.txt").find("os_dir_this_app\t\t=" + bin + "/\n"),
            std::string::npos);

  // A file that left the product, found by the full scan of a repair, is counted before it
  // is deleted (being no version the discs know, only once the user allows it).
  write_file(copy + "/Resources/plugins/zp_weather_old.xpl", "an old plugin");
  r = run({"--repair=" + copy, "--conflicts=overwrite"}, desk);
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  EXPECT_NE(r.err.find("0 files to install, 1 files to delete."), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(copy + "/Resources/plugins/zp_weather_old.xpl"));

  // A name holding a line break would give the registry a second line naming any folder
  // (here one the user keeps their own files in); a tab or DEL is refused as well.
  const std::string victim = p.root / "victim/";
  fs::create_directories(victim + "Resources");
  write_file(victim + "diary.txt", "mine");
  for (const std::string& crafted : {p.root / "p\n" + victim, p.root / "tab\there", p.root / "del\x7f"}) {
    r = run({"--install=" + crafted, "--scenery=none"}, desk);
    EXPECT_EQ(r.exit_code, cli_not_started);
    EXPECT_NE(r.err.find("holds a line break, a tab or another control character"), std::string::npos) << r.err;
  }
  EXPECT_EQ(read_file(data + "/zephiro_install.txt"), copy + "/\n");
  std::vector<std::string> made = {"data", "desktop", "stderr.txt", "stdout.txt", "tmp", "victim"};
  for (const std::string& f : {bin, copy, data, desk, temp}) made.push_back(f.substr(p.root.path().size()));
  std::sort(made.begin(), made.end());
  EXPECT_EQ(names_in(p.root.path()), made);
  // A line slipped into the registry that names a folder that is no copy: never repaired.
  write_file(data + "/zephiro_install.txt", copy + "/\n" + victim + "\n");
  r = run({"--repair=" + victim}, desk);
  EXPECT_EQ(r.exit_code, cli_not_started);
  EXPECT_EQ(names_in(victim), (std::vector<std::string>{"Resources", "diary.txt"}));
}

// The new preferences reach the disk before they take the old file's name, so a power cut
// leaves the old preferences or the new ones, never an empty file.
TEST_F(UserFolders, PreferencesAreOnTheDiskBeforeTheyReplaceTheOld) {
  if (!posix_system()) GTEST_SKIP() << "the order of the system calls is traced with strace";
  const std::string strace = "/usr/bin/strace";
  if (access(strace.c_str(), X_OK) != 0) GTEST_SKIP() << "strace is not installed (setup.sh installs it)";
  const std::string copy = p.root / "Zephiro 9", trace = p.root / "trace.txt";
  ASSERT_EQ(run({"--install=" + copy, "--scenery=none"}).exit_code, cli_ok);
  // The leak check of a sanitizer build cannot work under a tracer.
  const char* sanitizer = std::getenv("ASAN_OPTIONS");
  p.environment = {{"ASAN_OPTIONS", std::string(sanitizer ? sanitizer : "") + ":detect_leaks=0"}};
  RunResult r = p.finish(p.start({"-f", "-y", "-s", "4096", "-o", trace, "-e", "trace=fsync,fdatasync,rename,renameat,renameat2",
                                  ZEPHIRO_BINARY_DIR "/zephiro-installer", "--verify=" + copy, drives()},
                                 "", strace));
  ASSERT_EQ(r.exit_code, cli_ok) << r.err;
  const std::string calls = read_file(trace);
  const std::string prefs = p.root / "data/Zephiro Installer.prf";
  const size_t renamed = calls.find("\"" + prefs + "\") = 0");
  ASSERT_NE(renamed, std::string::npos) << calls;
  const size_t synced = calls.find("Zephiro Installer.prf.");
  ASSERT_NE(synced, std::string::npos) << calls;
  EXPECT_LT(synced, renamed) << calls;
  const size_t line_start = calls.rfind('\n', synced);
  EXPECT_NE(calls.substr(line_start + 1, synced - line_start).find("sync("), std::string::npos) << calls;
}

}  // namespace
