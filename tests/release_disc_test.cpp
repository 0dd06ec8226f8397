// The installer as it ships: its release folder on disc 1 of a generated set, started from
// there. It copies itself off the disc, the copy installs from all three discs in the
// window, and the disc is left exactly as it was. (tools/release_test.sh runs the real
// release the same way on other systems; here the host build stands in for it.)

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "io/md5.h"
#include "tests/program_window_fixture.h"

namespace fs = std::filesystem;

namespace {

// Every file under `folder`: its MD5, size, mode and modification time; every folder too.
std::map<std::string, std::string> snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
    struct stat st {};
    lstat(e.path().c_str(), &st);
    std::string facts = std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                        std::to_string(st.st_mtim.tv_nsec);
    if (e.is_regular_file()) {
      std::string signature;
      md5_of_file(e.path().string(), signature);
      facts += " " + std::to_string(st.st_size) + " " + signature;
    }
    files[fs::relative(e.path(), folder).string()] = facts;
  }
  return files;
}

}  // namespace

TEST_F(ProgramWindowTest, StartedFromDiscOneTheInstallerMovesOffTheDiscAndInstalls) {
  // A release folder as tools/release.sh makes one, of the program built here.
  const std::string release = p.root / "release/";
  fs::create_directories(release);
  fs::copy_file(ZEPHIRO_BINARY_DIR "/zephiro-installer", release + "zephiro-installer");
  write_file(release + "README.txt", "the release's notes\n");
  const std::string set = p.root / "set/";
  ASSERT_TRUE(make_tiny_disc_set(set, 3, "--release='" + release + "'"));
  const std::string disc1 = set + "disc1/", program = disc1 + "linux/zephiro-installer/zephiro-installer";
  ASSERT_EQ(access(program.c_str(), X_OK), 0) << "the release is not on disc 1";
  EXPECT_EQ(read_file(disc1 + "linux/zephiro-installer/README.txt"), "the release's notes\n");
  EXPECT_FALSE(fs::exists(set + "disc2/linux")) << "only disc 1 carries the installer";
  const std::map<std::string, std::string> disc_before = snapshot(disc1);

  const std::string copy = desktop() + "Zephiro 9 DVD/";
  const std::string drives = "--dvd_drives=" + disc1 + list_separator() + set + "disc2" + list_separator() + set + "disc3";
  const std::string qa = script(
      to_select_scenery() +
      "drag 600 310 740 350\n"
      "click_text CONTINUE\n"
      "wait_text Please insert DVD number 2 and click continue.\n"
      "click_text CONTINUE\n"
      "wait_text Please insert DVD number 3 and click continue.\n"
      "click_text CONTINUE\n"
      "wait_text Installation was successful.\n"
      "click_text GO BACK\n"
      "wait_text You already have Zephiro 9 installed on this computer.  What would you like to do?\n"
      "click_text QUIT\n");
  RunResult first = p.finish(p.start({"--lang=en", drives, qa}, "", program));
  // The process started from the disc only hands over: no window, no output, code 1.
  EXPECT_EQ(first.exit_code, 1) << first.err;
  EXPECT_EQ(first.out, "");

  // The copy in the temporary folder is the disc's program, run with the same command line.
  const std::string moved = p.root / "tmp/zephiro-installer";
  // A whole install in the window: give a loaded machine a few minutes.
  bool ended = false;
  for (int wait = 0; wait < 5 && !ended; ++wait) ended = log_reaches("Clean exit from threads.");
  ASSERT_TRUE(ended) << p.log();
  std::string disc_md5, moved_md5;
  ASSERT_EQ(md5_of_file(program, disc_md5), 0);
  ASSERT_EQ(md5_of_file(moved, moved_md5), 0);
  EXPECT_EQ(disc_md5, moved_md5);
  EXPECT_EQ(access(moved.c_str(), X_OK), 0);
  const std::string log = p.log();
  EXPECT_NE(log.find("os_dir_this_app\t\t=" + p.root / "tmp/\n"), std::string::npos) << log;
  EXPECT_NE(log.find("     '--dvd_drives'='" + disc1 + ":"), std::string::npos) << log;
  EXPECT_NE(log.find("Starting install at "), std::string::npos) << log;
  EXPECT_EQ(log.find("QA script failed"), std::string::npos) << log;

  // The copy is complete and registered; the disc is as it was, to the last time stamp.
  RunResult v = p.run({drives, "--verify=" + copy});
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
  EXPECT_NE(v.out.find(": 0 missing, 0 damaged."), std::string::npos) << v.out;
  EXPECT_EQ(read_file(p.root / "data/zephiro_install.txt"), copy + "\n");
  EXPECT_EQ(snapshot(disc1), disc_before);
}
