#include "app/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "core/app_state.h"
#include "core/log.h"
#include "core/options.h"
#include "platform/child_process.h"
#include "tests/test_util.h"
#include "platform/fs.h"
#include "platform/host.h"
#include "tests/program_window_fixture.h"
#include "ui/png_image.h"


TEST(Program, VersionPrintsAndLeavesALog) {
  ProgramRun p;
  RunResult r = p.run({"--version"});
  EXPECT_EQ(r.exit_code, 0);
  // Then, on Linux, the oldest glibc the build runs on: the newest glibc symbol version it
  // asks for, as binutils reads it from the file.
  if (posix_system()) {
    ASSERT_EQ(std::system(("objdump -T '" ZEPHIRO_BINARY_DIR "/zephiro-installer' | grep -o 'GLIBC_[0-9][0-9.]*' | "
                           "sed s/GLIBC_// | sort -V | tail -1 > '" + p.root / "glibc.txt'").c_str()), 0);
    const std::string newest_glibc = read_file(p.root / "glibc.txt");
    ASSERT_GE(newest_glibc.size(), 5u);  // "2.NN\n"
    EXPECT_EQ(r.out, "Zephiro DVD Installer 2.06r1\nNeeds glibc " + newest_glibc.substr(0, newest_glibc.size() - 1) +
                         " or newer\n");
  } else {
    EXPECT_EQ(r.out, "Zephiro DVD Installer 2.06r1\n");
  }
  std::string log = p.log();
  EXPECT_EQ(log.rfind("Installer log.txt for Zephiro DVD Installer 2.06r1 compiled on ", 0), 0u);
  EXPECT_NE(log.find("\nCPU 0: "), std::string::npos);
  EXPECT_NE(log.find("', case sensitive=1\n\n     '--version'\n"), std::string::npos);
  EXPECT_EQ(log.find("os_dir_this_app"), std::string::npos);  // it ended while parsing
  EXPECT_TRUE(p.prefs().empty());
}

TEST(Program, HelpPrintsTheUsage) {
  ProgramRun p;
  RunResult r = p.run({"--help"});
  EXPECT_EQ(r.exit_code, 0);
  // The program named as it was run, its own options before the simulator's.
  EXPECT_EQ(r.out.rfind("Usage: " + program_file_name(ZEPHIRO_BINARY_DIR "/zephiro-installer" +
                                                      std::string(posix_system() ? "" : ".exe")) +
                            " [options...]\n",
                        0),
            0u)
      << r.out << r.err;
  size_t install = r.out.find("\n--install=DIR\n"), os = r.out.find("\n--os=ALL|APL|IBM|LIN\n");
  size_t version = r.out.find("\n--version\n"), help = r.out.find("\n--help\n"), h = r.out.find("\n-h\n");
  size_t qa = r.out.find("\n--qa_script=<file>\n");
  EXPECT_TRUE(install < os && os < version && version < help && help < h && h < qa && qa != std::string::npos)
      << r.out;
  EXPECT_EQ(p.run({"-h"}).out, r.out);
}

// A mistyped option is refused before the run does anything, naming it and the option it
// misspells; the simulator's options stay accepted. None of this needs a display.
TEST(Program, UnknownOptionsEndTheRunWithTheNearestKnownOne) {
  NoDisplay no_display;
  ProgramRun p;
  const struct {
    const char* option;
    const char* nearest;
  } typos[] = {{"--instal=/x", "--install"}, {"--verfy=/x", "--verify"}, {"-x", "-h"}, {"--verison", "--version"}};
  for (const auto& t : typos) {
    RunResult r = p.run({t.option, "--version"});
    const std::string name = std::string(t.option).substr(0, std::string(t.option).find('='));
    EXPECT_EQ(r.exit_code, 3) << t.option;
    EXPECT_EQ(r.out, "") << t.option;
    EXPECT_NE(r.err.find("ERROR: unknown option \"" + name + "\"; the nearest known option is " + t.nearest + "."),
              std::string::npos)
        << r.err;
    EXPECT_NE(p.log().find("ERROR: unknown option \"" + name + "\""), std::string::npos) << p.log();
  }
  RunResult r = p.run({"--no_sound", "--dref:sim/weight=3", "--allow_rosetta", "--use_glsl", "--pref:_get_beta=1",
                       "--version"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Zephiro DVD Installer 2.06r1\n", 0), 0u) << r.out;
  // The command-line mode runs without a display: here it stops at its own check.
  r = p.run({"--verify=" + p.root / "no copy"});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_NE(r.err.find("is not an installed copy of Zephiro."), std::string::npos) << r.err;
}

TEST(Program, RunsWithoutALog) {
  ProgramRun p;
  RunResult r = p.run({"--version"}, p.root / "no such desktop");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind(posix_system() ? "Zephiro DVD Installer 2.06r1\nNeeds glibc " : "Zephiro DVD Installer 2.06r1\n", 0),
            0u)
      << r.out;
}

TEST(Startup, TargetPlatformFromOs) {
  std::string log;
  log_set_capture(&log);
  struct Case {
    const char* tokens;
    int platform;
  } cases[] = {{"", host_platform()},          {"--os=ALL", platform_all}, {"--os=APL", platform_apl},
               {"--os=IBM", platform_ibm},     {"--os=LIN", platform_lin}, {"--os=lin", host_platform()},
               {"--os=LINUX", host_platform()}, {"--os", host_platform()}};
  for (const Case& c : cases) {
    reset_options();
    parse_option_tokens(c.tokens);
    EXPECT_EQ(target_platform_from_options(), c.platform) << c.tokens;
  }
  reset_options();
  log_set_capture(nullptr);
  EXPECT_EQ(host_platform(), posix_system() ? platform_lin : platform_ibm);
}

TEST(Startup, EarlyOptionsAndTheCommandLineAgain) {
  const char* argv[] = {"prog", "--dvd_drives=/a:/b", "--dvd_drivesX=no", "--lang", "--dvd_drives=/c", "plain"};
  const int argc = 6;
  std::string value = "untouched";
  EXPECT_TRUE(early_option(argc, const_cast<char**>(argv), "--dvd_drives", &value));
  EXPECT_EQ(value, "/c");  // the last one wins, as in the option table
  EXPECT_TRUE(early_option(argc, const_cast<char**>(argv), "--lang", &value));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(early_option(argc, const_cast<char**>(argv), "--dvd", nullptr));
  EXPECT_FALSE(early_option(argc, const_cast<char**>(argv), "--version", nullptr));
  EXPECT_EQ(command_line_text(argc, const_cast<char**>(argv)),
            "--dvd_drives=/a:/b --dvd_drivesX=no --lang --dvd_drives=/c plain");
  EXPECT_EQ(command_line_text(1, const_cast<char**>(argv)), "");
}

TEST(Startup, WhetherTheProgramRunsFromTheDisc) {
  EXPECT_TRUE(runs_from_disc("/media/cdrom/zephiro-installer", "/media/cdrom/"));
  EXPECT_FALSE(runs_from_disc("/home/pilot/zephiro-installer", "/media/cdrom/"));
  EXPECT_FALSE(runs_from_disc("/media/cdrom2/zephiro-installer", "/media/cdrom/"));
  EXPECT_FALSE(runs_from_disc("/media/cdrom/zephiro-installer", ""));  // no disc
  EXPECT_FALSE(runs_from_disc("/Media/cdrom/x", "/media/cdrom/"));     // byte-exact
  // The whole root, up to a folder boundary: a program whose path is a prefix of the root,
  // or that lies beside the root in a folder of a longer name, is not on the disc.
  EXPECT_FALSE(runs_from_disc("D:\\", "D:\\Zephiro\\"));
  EXPECT_FALSE(runs_from_disc("/media/cd", "/media/cdrom/"));
  EXPECT_FALSE(runs_from_disc("/media/cdrom2/zephiro-installer", "/media/cdrom"));
  EXPECT_TRUE(runs_from_disc("/media/cdrom/setup/zephiro-installer", "/media/cdrom"));

  EXPECT_EQ(program_file_name("/media/cdrom/zephiro-installer"), "zephiro-installer");
  EXPECT_EQ(program_file_name("D:\\setup\\Installer.exe"), "Installer.exe");
  EXPECT_EQ(program_file_name("/media/cdrom/Installer.app/"), "Installer.app");
  EXPECT_EQ(program_file_name("installer"), "installer");
}

TEST(Startup, TheStatusBarGrowsByOneHundredthAMessage) {
  reset_startup_status();
  EXPECT_FLOAT_EQ(startup_status_fraction(), 0.02f);
  for (int i = 0; i < 3; ++i) show_startup_status("Working.");  // no window: counted only
  EXPECT_FLOAT_EQ(startup_status_fraction(), 0.03f);
  for (int i = 0; i < 200; ++i) show_startup_status("Working.");
  EXPECT_FLOAT_EQ(startup_status_fraction(), 1.0f);
  reset_startup_status();
}

TEST(Program, WithoutADisplayTheGraphicsAlertEndsTheRun) {
  if (!posix_system()) GTEST_SKIP() << "a Windows program always has its desktop";
  const std::string display = get_environment("DISPLAY"), wayland = get_environment("WAYLAND_DISPLAY");
  unset_environment("DISPLAY");
  unset_environment("WAYLAND_DISPLAY");
  ProgramRun p;
  RunResult r = p.run({"--lang=en"});
  RunResult qa = p.run({"--lang=en", "--qa_script=none.txt"});
  if (!display.empty()) set_environment("DISPLAY", display);
  if (!wayland.empty()) set_environment("WAYLAND_DISPLAY", wayland);

  const std::string lines =
      "I could not set up the graphics for Zephiro! I hope your monitor is at 1024x768 or higher! It must be!\n"
      "You do not meet the system requirements or you do not have OpenGL drivers or you entered a bad resolution in Zephiro!\n"
      "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D accelerator card!\n"
      "If you reset the resolution, you can try launching Zephiro again, since I am resetting Zephiro to default resolution now.\n"
      "(hl_init line 805)\n";
  // Standard error stands in for the message box, then says how to work without a window;
  // the run could not do what it was started for: exit code 3.
  const std::string hint = "The installer's window could not be opened. Without a window it works from the command "
                           "line: ";
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.err.rfind(lines + hint, 0), 0u) << r.err;
  EXPECT_NE(r.err.find(" --install=DIR (or --modify, --repair, --verify or --uninstall with the folder of a copy)"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(p.prefs().empty());
  // Under a test mode only the log gets the alert; the hint and the exit code are the same.
  EXPECT_EQ(qa.exit_code, 3);
  EXPECT_EQ(qa.err.rfind(hint, 0), 0u) << qa.err;
  EXPECT_NE(p.log().find(lines), std::string::npos) << p.log();
  EXPECT_NE(p.log().find(hint), std::string::npos) << p.log();
}

// ---------------------------------------------------------------- the real window

namespace {

std::unique_ptr<TempDir> g_set;  // a one-disc set named "Test Set Seven"

class ProgramWindow : public ProgramWindowTest {
 protected:
  static void SetUpTestSuite() {
    ProgramWindowTest::SetUpTestSuite();
    g_set = std::make_unique<TempDir>();
    ASSERT_TRUE(make_tiny_disc_set(g_set->path(), 1, "--name='Test Set Seven'"));
  }
  static void TearDownTestSuite() {
    ProgramWindowTest::TearDownTestSuite();
    g_set.reset();
  }
};

}  // namespace

TEST_F(ProgramWindow, TheWelcomePageAsksForTheFirstDiscAndQuitEnds) {
  write_file(p.root / "data/Zephiro Installer.prf", "I\n10 version\n_get_beta 4\n");
  RunResult r = p.run({"--lang=en", empty_drive(),
                       script("# the first page\n"
                              "wait_text Please insert Zephiro 9 DVD number one to begin.\n"
                              "wait_text Zephiro 9 Installer\n"
                              "no_text Welcome to the Zephiro 9 Installer\n"
                              "screenshot " + p.root / "welcome.png\n"
                              "click_text QUIT\n"
                              "frames 600\n"
                              "quit\n")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string log = p.log();
  // The whole run: header, command line, window, workers, folders, the clean exit.
  EXPECT_EQ(log.rfind("Installer log.txt for Zephiro DVD Installer 2.06r1 compiled on ", 0), 0u);
  EXPECT_NE(log.find("     '--qa_script'='" + p.root / "script.txt'\n"), std::string::npos);
  EXPECT_NE(log.find("CPU count        : "), std::string::npos);
  const std::string program = platform::program_path_of(platform::program_file_path());
  const std::string folders = "os_dir_this_app\t\t=" + program.substr(0, program.find_last_of('/') + 1) + "\n"
                              "os_dir_desktop\t\t=" + p.root / "desktop/\n" +
                              "os_dir_default_apps\t=" + p.root / "desktop/\n" +
                              "os_dir_temp\t\t\t=" + p.root / "tmp/\n" +
                              "os_dir_prefs\t\t\t=" + p.root / "data/\n\n";
  EXPECT_NE(log.find(folders), std::string::npos) << log;
  EXPECT_LT(log.find("CPU count        : "), log.find(folders));
  EXPECT_EQ(log.size() - log.rfind("Clean exit from threads.\n"), std::string("Clean exit from threads.\n").size());
  // A scripted run leaves the preferences alone.
  EXPECT_EQ(p.prefs(), "I\n10 version\n_get_beta 4\n");
  // No copy of the program: it did not run from a disc.
  EXPECT_FALSE(std::filesystem::exists(p.root / "tmp/zephiro-installer"));

  // The frame on screen: the page's light panel and the dark text on it.
  Image shot;
  ASSERT_EQ(read_png(p.root / "welcome.png", shot), png_ok);
  ASSERT_EQ(shot.width, 800);
  ASSERT_EQ(shot.height, 600);
  EXPECT_GT(shot.pixel(500, 300)[0], 180);
  int dark = 0;
  for (int y = 435; y < 450; ++y)
    for (int x = 230; x < 480; ++x) dark += shot.pixel(x, y)[0] < 90;
  EXPECT_GT(dark, 100);
}

TEST_F(ProgramWindow, ClosingTheWindowSavesThePreferences) {
  write_file(p.root / "data/Zephiro Installer.prf", "I\n10 version\n_get_beta 4\n_proxy_host old host\n");
  const int pid = p.start({"--lang=en", empty_drive(), "--pref:_log_actions=1", "--os=APL", "--os=IBM"});
  ASSERT_GT(pid, 0);
  // The window is up once the folder lines are written; then the desktop asks it to close.
  ASSERT_TRUE(log_reaches("os_dir_prefs"));
  p.terminate(pid);
  RunResult r = p.finish(pid);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string log = p.log();
  EXPECT_NE(log.find("WARNING: command line option --os=IBM used twice.\n"), std::string::npos);
  EXPECT_NE(log.find("Clean exit from threads.\n"), std::string::npos) << log;
  EXPECT_EQ(p.prefs(),
            "I\n10 version\n_stream_count 0\n_log_actions 1\n_proxy_host old host\n"
            "_proxy_port_int 0\n_get_beta 4\n");
}

TEST_F(ProgramWindow, TheWelcomePageNamesTheDiscSet) {
  RunResult r = p.run({"--lang=en", "--dvd_drives=" + g_set->path() + "disc1",
                       script("wait_text I will guide you through the process of installing Test Set Seven.\n"
                              "no_text Please insert\n"
                              "click_text QUIT\n")});
  EXPECT_EQ(r.exit_code, 0) << r.err << p.log();
  // The disc changes under the running program.
  RunResult changed = p.run({"--lang=en", empty_drive(),
                             script("wait_text DVD number one\n"
                                    "set_drives " + g_set->path() + "disc1\n"
                                    "wait_text installing Test Set Seven.\n")});
  EXPECT_EQ(changed.exit_code, 0) << changed.err;
}

TEST_F(ProgramWindow, AFailingScriptEndsWithFour) {
  RunResult r = p.run({"--lang=en", empty_drive(), script("wait_text DVD number one\ntimeout 0.5\nwait_text Never shown\n")});
  EXPECT_EQ(r.exit_code, 4);
  const std::string message = "QA script failed at line 3: wait_text \"Never shown\": not drawn within 0.5 seconds\n";
  EXPECT_EQ(r.err, message);
  EXPECT_NE(p.log().find(message), std::string::npos);

  r = p.run({"--lang=en", empty_drive(), "--qa_script=" + p.root / "missing.txt"});
  EXPECT_EQ(r.exit_code, 4);
  EXPECT_EQ(r.err, "QA script failed at line 0: cannot read the script " + p.root / "missing.txt\n");
}

TEST_F(ProgramWindow, FromTheDiscTheProgramMovesToTheTemporaryFolder) {
  // The program and a disc set in one folder drive, as on a real install disc.
  const std::string disc = p.root / "disc/";
  const std::string name = posix_system() ? "zephiro-installer" : "zephiro-installer.exe";
  std::filesystem::copy(g_set->path() + "disc1", disc, std::filesystem::copy_options::recursive);
  std::filesystem::copy_file(ZEPHIRO_BINARY_DIR "/" + name, disc + name);
  // A run without a window answers at once through its output and exit code: it stays.
  RunResult version = p.finish(p.start({"--version", "--dvd_drives=" + disc}, "", disc + name));
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("Zephiro DVD Installer 2.06r1\n", 0), 0u) << version.out;
  EXPECT_FALSE(std::filesystem::exists(p.root / ("tmp/" + name)));

  const std::vector<std::string> args = {"--lang=en", "--dvd_drives=" + disc, script("wait_text Test Set Seven\nquit\n")};
  const int pid = p.start(args, "", disc + name);
  RunResult r = p.finish(pid);
  EXPECT_EQ(r.exit_code, 1);
  // The copy runs from the temporary folder with the same command line, and quits.
  EXPECT_TRUE(std::filesystem::is_regular_file(p.root / ("tmp/" + name)));
  if (posix_system()) {
    EXPECT_EQ(access((p.root / ("tmp/" + name)).c_str(), X_OK), 0);
  }
  ASSERT_TRUE(log_reaches("Clean exit from threads.")) << p.log();
  const std::string log = p.log();
  EXPECT_NE(log.find("os_dir_this_app\t\t=" + p.root / "tmp/\n"), std::string::npos) << log;
  EXPECT_NE(log.find("     '--qa_script'='" + p.root / "script.txt'\n"), std::string::npos);
  EXPECT_EQ(log.find("QA script failed"), std::string::npos) << log;

  // When the copy cannot be made (a folder is in its way), the program runs on from the disc.
  // Windows keeps a running program's file until the process has quite ended, which comes
  // a little after its last log line.
  ASSERT_TRUE(wait_for([&] {
    std::error_code ec;
    std::filesystem::remove(p.root / ("tmp/" + name), ec);
    return !ec;
  }, 20));
  std::filesystem::create_directories(p.root / ("tmp/" + name + "/in the way"));
  std::filesystem::remove(p.root / "desktop/Zephiro Installer Log.txt");
  r = p.finish(p.start(args, "", disc + name));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(p.log().find("os_dir_this_app\t\t=" + disc + "\n"), std::string::npos) << p.log();
}

// ---------------------------------------------------------------- screens of other sizes

namespace {

struct ScreenRun {
  RunResult result;
  std::string log;
  Image shot;  // the Welcome page as the window showed it
};

// The Welcome page (no disc in the drive) run on a virtual screen of the size given, with
// the options and environment given; the scripted user takes a screenshot and quits.
ScreenRun welcome_on_screen(int width, int height, std::vector<std::string> options,
                            std::vector<std::pair<std::string, std::string>> environment = {},
                            const std::string& xft_dpi = "") {
  ScreenRun out;
  VirtualDisplay display(width, height);
  EXPECT_EQ(display.start(), "");
  if (!xft_dpi.empty()) {
    EXPECT_TRUE(set_xft_dpi(xft_dpi));
  }
  ProgramRun p;
  p.environment = environment;
  std::filesystem::create_directory(p.root / "drive");
  write_file(p.root / "script.txt", "wait_text Please insert Zephiro 9 DVD number one to begin.\n"
                                    "screenshot " + p.root / "shot.png\n"
                                    "click_text QUIT\n");
  options.push_back("--lang=en");
  options.push_back("--dvd_drives=" + p.root / "drive");
  options.push_back("--qa_script=" + p.root / "script.txt");
  out.result = p.run(options);
  out.log = p.log();
  EXPECT_EQ(read_png(p.root / "shot.png", out.shot), png_ok) << out.result.err;
  return out;
}

// How many of the page's 20-unit blocks differ in mean colour by more than `tolerance` (any
// channel) between two pictures of the page: `a` drawn `sa` pixels to the unit with the
// page's corner at pixel (ax, ay), `b` likewise.
int differing_blocks(const Image& a, float sa, int ax, int ay, const Image& b, float sb, int bx, int by,
                     int tolerance) {
  auto mean = [](const Image& im, float s, int ox, int oy, int u, int v, int c) {
    const int x0 = ox + static_cast<int>(u * s), x1 = ox + static_cast<int>((u + 20) * s);
    const int y0 = oy + static_cast<int>(v * s), y1 = oy + static_cast<int>((v + 20) * s);
    long sum = 0, n = 0;
    for (int y = y0; y < y1 && y < im.height; ++y)
      for (int x = x0; x < x1 && x < im.width; ++x, ++n) sum += im.pixel(x, y)[c];
    return n ? static_cast<int>(sum / n) : -1000;
  };
  int differing = 0;
  for (int v = 0; v < 600; v += 20)
    for (int u = 0; u < 800; u += 20)
      for (int c = 0; c < 3; ++c)
        if (std::abs(mean(a, sa, ax, ay, u, v, c) - mean(b, sb, bx, by, u, v, c)) > tolerance) {
          ++differing;
          break;
        }
  return differing;
}

}  // namespace

TEST(ProgramScreens, TheWholePageShowsOnSmallAndLargeScreens) {
  if (!posix_system()) GTEST_SKIP() << "the Windows test session has one screen, of 1024x768";
  const ScreenRun normal = welcome_on_screen(1024, 768, {});
  ASSERT_EQ(normal.result.exit_code, 0) << normal.result.err;
  ASSERT_EQ(normal.shot.width, 800);
  ASSERT_EQ(normal.shot.height, 600);

  // A screen only 480 pixels high: the window fills it and shows the whole page at four
  // fifths of its size between dark bars; QUIT is still there to end the run.
  const ScreenRun small = welcome_on_screen(800, 480, {});
  EXPECT_EQ(small.result.exit_code, 0) << small.result.err;
  EXPECT_NE(small.log.find("The window was last: 800,600 and my monitor is 800,480.  Setting window to 800x480 it "
                           "fits on screen.\n"),
            std::string::npos)
      << small.log;
  ASSERT_EQ(small.shot.width, 800);
  ASSERT_EQ(small.shot.height, 480);
  for (int y = 0; y < 480; y += 7)
    for (int x : {0, 40, 79, 720, 760, 799}) ASSERT_EQ(small.shot.pixel(x, y)[0] + small.shot.pixel(x, y)[2], 0);
  EXPECT_LE(differing_blocks(normal.shot, 1, 0, 0, small.shot, 0.8f, 80, 0, 16), 4);

  // Asked for twice the size: the window and everything in it twice as large.
  const ScreenRun large = welcome_on_screen(1700, 1300, {"--scale=2"});
  EXPECT_EQ(large.result.exit_code, 0) << large.result.err;
  EXPECT_EQ(large.log.find("Setting window to"), std::string::npos);
  ASSERT_EQ(large.shot.width, 1600);
  ASSERT_EQ(large.shot.height, 1200);
  EXPECT_LE(differing_blocks(normal.shot, 1, 0, 0, large.shot, 2, 0, 0, 16), 4);
  // The background above the panels, texel for texel, two pixels to a texel.
  int different = 0;
  for (int y = 510; y < 600; ++y)
    for (int x = 0; x < 800; ++x)
      different += std::abs(normal.shot.pixel(x, y)[2] - large.shot.pixel(2 * x + 1, 2 * y + 1)[2]) > 2;
  EXPECT_EQ(different, 0);
}

TEST(ProgramScreens, TheDesktopScaleIsTakenWhereTheScreenAllowsIt) {
  if (!posix_system()) GTEST_SKIP() << "the desktop's scale is read from GDK_SCALE and the X resources on Linux only";
  const auto gdk2 = std::vector<std::pair<std::string, std::string>>{{"GDK_SCALE", "2"}};
  ScreenRun r = welcome_on_screen(1700, 1300, {}, gdk2);
  EXPECT_EQ(r.result.exit_code, 0) << r.result.err;
  EXPECT_EQ(r.shot.width, 1600);
  r = welcome_on_screen(1700, 1300, {}, {}, "192");
  EXPECT_EQ(r.shot.width, 1600);
  EXPECT_EQ(r.shot.height, 1200);
  r = welcome_on_screen(1700, 1300, {"--scale=1"}, {}, "192");
  EXPECT_EQ(r.shot.width, 800);
  // On a screen too small for twice the size the desktop's scale gives way; a --scale
  // that is not a whole number from 1 to 8 is logged and ignored.
  r = welcome_on_screen(1024, 768, {"--scale=abc"}, gdk2);
  EXPECT_EQ(r.result.exit_code, 0) << r.result.err;
  EXPECT_EQ(r.shot.width, 800);
  EXPECT_EQ(r.shot.height, 600);
  EXPECT_NE(r.log.find("Ignoring --scale=abc: the scale is a whole number from 1 to 8.\n"), std::string::npos);
  EXPECT_EQ(r.log.find("Setting window to"), std::string::npos);
}

// The language comes from --lang, else from the locale; a locale that names no language of
// the program asks the user. A translated run draws its pages with no text left in English.
TEST_F(ProgramWindow, TheLanguageComesFromTheOptionOrTheLocaleElseTheUserIsAsked) {
  if (!posix_system()) GTEST_SKIP() << "Windows gives the user's language itself, not through locale variables";
  const char* const variables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::string> saved;
  for (const char* v : variables) {
    saved.push_back(get_environment(v));
    unset_environment(v);
  }
  const std::string disc = "--dvd_drives=" + g_set->path() + "disc1";
  const std::string asked = "Please choose the language of the installer.\n";

  set_environment("LANG", "ja_JP.UTF-8");
  RunResult japanese = p.run({disc, script("wait_text Welcome to the Zephiro 9 Installer.\nquit\n")});
  const std::string japanese_log = p.log();

  set_environment("LANG", "ru_RU.UTF-8");
  // Установка Zephiro 9 / Вас приветствует программа установки Zephiro 9
  RunResult russian = p.run(
      {disc, "--missing_strings",
       script("wait_text \xD0\xA3\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBA\xD0\xB0 Zephiro 9\n"
              "wait_text \xD0\x92\xD0\xB0\xD1\x81 \xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\xD1\x81\xD1\x82"
              "\xD0\xB2\xD1\x83\xD0\xB5\xD1\x82\n"
              "wait_text Test Set Seven.\n"
              "no_text Welcome\n"
              "quit\n")});
  const std::string russian_log = p.log();

  // The option wins over the locale.
  RunResult french = p.run({disc, "--lang=fr", "--missing_strings",
                            script("wait_text Bienvenue dans le programme d'installation de Zephiro 9.\n"
                                   "wait_text Choix des sc\xC3\xA8nes\nquit\n")});
  const std::string french_log = p.log();

  for (size_t i = 0; i < saved.size(); ++i) {
    if (saved[i].empty())
      unset_environment(variables[i]);
    else
      set_environment(variables[i], saved[i]);
  }

  EXPECT_EQ(japanese.exit_code, 0) << japanese.err;
  // Under a script the alert's line goes to the log; the run goes on in English.
  EXPECT_NE(japanese_log.find(asked), std::string::npos) << japanese_log;
  EXPECT_EQ(japanese_log.find("CHANGING LANGUAGE"), std::string::npos);

  EXPECT_EQ(russian.exit_code, 0) << russian.err;
  EXPECT_EQ(russian_log.find(asked), std::string::npos);
  EXPECT_NE(russian_log.find(" ==== CHANGING LANGUAGE TO: \xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9. ====\n"),
            std::string::npos);
  EXPECT_EQ(french.exit_code, 0) << french.err;
  EXPECT_NE(french_log.find(" ==== CHANGING LANGUAGE TO: Fran\xC3\xA7" "ais. ====\n"), std::string::npos);
  // --missing_strings would have written a "STRING " line for any text left untranslated.
  for (const std::string* log : {&russian_log, &french_log}) {
    EXPECT_EQ(log->find("\nSTRING "), std::string::npos) << *log;
    EXPECT_EQ(log->find("ERROR"), std::string::npos) << *log;
  }
}
