#include "app/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "app/app_state.h"
#include "app/log.h"
#include "app/options.h"
#include "tests/test_util.h"


TEST(Program, VersionPrintsAndLeavesALog) {
  ProgramRun p;
  RunResult r = p.run({"--version"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Zephiro DVD Installer 2.06r1\n");
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
  EXPECT_EQ(r.out.rfind("Usage: Zephiro [options...]\n", 0), 0u);
  size_t help = r.out.find("\n--help\n"), h = r.out.find("\n-h\n"), qa = r.out.find("\n--qa_script=<file>\n");
  size_t drives = r.out.find("\n--dvd_drives=DIR[:DIR...]\n");
  EXPECT_TRUE(help < h && h < qa && qa < drives && drives != std::string::npos);
  EXPECT_EQ(p.run({"-h"}).out, r.out);
}

TEST(Program, NormalRunLogsFoldersAndSavesPreferences) {
  ProgramRun p;
  write_file(p.root / "data/Zephiro Installer.prf", "I\n10 version\n_get_beta 4\n_proxy_host old host\n");
  RunResult r = p.run({"--pref:_log_actions=1", "--os=APL", "--os=IBM"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  std::string log = p.log();
  EXPECT_NE(log.find("WARNING: command line option --osIBMused twice.\n"), std::string::npos);
  std::string folders = "os_dir_this_app\t\t=" ZEPHIRO_BINARY_DIR "/\n"
                        "os_dir_desktop\t\t=" + p.root / "desktop/\n" +
                        "os_dir_default_apps\t=" + p.root / "desktop/\n" +
                        "os_dir_temp\t\t\t=" + p.root / "tmp/\n" +
                        "os_dir_prefs\t\t\t=" + p.root / "data/\n\n";
  EXPECT_NE(log.find(folders), std::string::npos) << log;
  EXPECT_EQ(p.prefs(),
            "I\n10 version\n_stream_count 0\n_log_actions 1\n_proxy_host old host\n"
            "_proxy_port_int 0\n_get_beta 4\n");
}

TEST(Program, TestModesDoNotSavePreferences) {
  ProgramRun p;
  EXPECT_EQ(p.run({"--qa_script=script.txt"}).exit_code, 0);
  EXPECT_TRUE(p.prefs().empty());
  EXPECT_NE(p.log().find("os_dir_prefs"), std::string::npos);
}

TEST(Program, RunsWithoutALog) {
  ProgramRun p;
  RunResult r = p.run({"--version"}, p.root / "no such desktop");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Zephiro DVD Installer 2.06r1\n");
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
  EXPECT_EQ(host_platform(), platform_lin);
}
