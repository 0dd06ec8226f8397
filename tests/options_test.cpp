#include "core/options.h"
#include "platform/system_info.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "core/log.h"

namespace {

struct OptionsTest : ::testing::Test {
  std::string log;
  void SetUp() override {
    reset_options();
    log_set_capture(&log);
  }
  void TearDown() override {
    log_set_capture(nullptr);
    reset_options();
  }
};

// Position of `entry` as a line of its own, searching from `from`.
size_t line_at(const std::string& text, const std::string& entry, size_t from) {
  return text.find("\n" + entry + "\n", from);
}

}  // namespace

TEST_F(OptionsTest, TokensSplitAtTheFirstEqualsSign) {
  parse_option_tokens("--a=b=c  --flag\t--lang=fr\n--empty=");
  EXPECT_EQ(option_value("--a"), "b=c");
  EXPECT_TRUE(has_option("--flag"));
  EXPECT_EQ(option_value("--flag"), "");
  EXPECT_EQ(option_value("--lang"), "fr");
  EXPECT_TRUE(has_option("--empty"));
  EXPECT_FALSE(has_option("--missing"));
  EXPECT_FALSE(has_option("--LANG"));  // names compare exactly
  EXPECT_EQ(option_table().size(), 4u);
  EXPECT_EQ(log, "     '--a'='b=c'\n     '--flag'\n     '--lang'='fr'\n     '--empty'\n");
}

TEST_F(OptionsTest, TokensWithoutANameAreDropped) {
  parse_option_tokens("=value   ==  ");
  EXPECT_TRUE(option_table().empty());
  EXPECT_TRUE(log.empty());
}

TEST_F(OptionsTest, RepeatedOptionWarnsAndTheLastValueWins) {
  parse_option_tokens("--os=APL --os=LIN");
  EXPECT_EQ(option_value("--os"), "LIN");
  EXPECT_EQ(log,
            "     '--os'='APL'\n"
            "WARNING: command line option --os=LIN used twice.\n"
            "     '--os'='LIN'\n");
}

TEST_F(OptionsTest, ArgumentsAreTakenWholeFromTheShell) {
  char prog[] = "zephiro-installer";
  char a[] = "--install=/home/me/Zephiro 9";
  char b[] = "--pref:_log_actions=1";
  char* argv[] = {prog, a, b, nullptr};
  parse_command_line(3, argv);  // nothing that prints: it returns
  EXPECT_EQ(option_value("--install"), "/home/me/Zephiro 9");
  EXPECT_EQ(option_value("--pref:_log_actions"), "1");
  EXPECT_FALSE(has_option("zephiro-installer"));
}

TEST_F(OptionsTest, PrintingOptions) {
  std::ostringstream out;
  EXPECT_FALSE(run_printing_options(out));
  EXPECT_EQ(out.str(), "");

  parse_option_tokens("--version");
  EXPECT_TRUE(run_printing_options(out));
  // Windows has no glibc to name (the line of a Linux build is checked on the program itself).
  const std::string glibc = needed_glibc_version();
  EXPECT_EQ(out.str(), "Zephiro DVD Installer 2.06r1\n" + (glibc.empty() ? "" : "Needs glibc " + glibc + " or newer\n"));

  // The command list comes first and is empty in this program.
  reset_options();
  parse_option_tokens("--version --cmnds=all");
  std::ostringstream cmnds;
  EXPECT_TRUE(run_printing_options(cmnds));
  EXPECT_EQ(cmnds.str(), "");

  reset_options();
  parse_option_tokens("-h");
  std::ostringstream help;
  EXPECT_TRUE(run_printing_options(help));
  EXPECT_EQ(help.str(), usage_text());
}

TEST(Usage, TheInstallersOptionsFirstThenTheSharedEntriesInOrderUnderFourHeadings) {
  const std::string text = usage_text();
  ASSERT_EQ(text.rfind("Usage: " + program_name() + " [options...]\n", 0), 0u);
  EXPECT_NE(text.find("--flag or --flag=value"), std::string::npos);

  // The installer's own options, --version and --os among them, before the shared ones.
  size_t at = 0;
  for (const char* e : {"--install=DIR", "--modify=DIR", "--repair=DIR", "--verify=DIR", "--uninstall=DIR",
                        "--scenery=all|none|TILE,...", "--conflicts=keep|overwrite|cancel", "--no_menu_entry",
                        "--dvd_drives=DIR[:DIR...]", "--os=ALL|APL|IBM|LIN", "--scale=N", "--version"}) {
    size_t p = line_at(text, e, at);
    ASSERT_NE(p, std::string::npos) << e;
    at = p + 1;
  }
  const size_t installer_end = at;

  const std::vector<std::string> entries = {
      "--help", "-h", "--no_sound", "--missing_strings", "--lang=<lang code>", "--allow_rosetta",
      "--pref:<key>=<value>", "--dref:<ref>=<value>", "--no_vbos", "--no_fbos", "--no_pbos",
      "--no_sprites", "--no_pixel_counters", "--no_aniso_filtering", "--no_hw_mipmap",
      "--no_fshaders", "--no_vshaders", "--no_glsl", "--limited_glsl", "--unlimited_glsl",
      "--no_threaded_ogl", "--use_vbos", "--use_sprites", "--use_fshaders", "--use_vshaders",
      "--use_glsl", "--use_fbos", "--force_run", "--fps_test=n", "--require_fps=n",
      "--qa_script=<file>"};
  std::vector<size_t> positions;
  for (const std::string& e : entries) {
    size_t p = line_at(text, e, at);
    ASSERT_NE(p, std::string::npos) << e;
    // Each entry is followed by at least one explanation line.
    size_t next = text.find('\n', p + 1);
    EXPECT_EQ(text.compare(next + 1, 4, "    "), 0) << e;
    positions.push_back(p);
    at = p + 1;
  }
  EXPECT_GT(positions[0], installer_end);

  // Upper-case headings: lines without a lower-case letter that end with ':'.
  std::vector<size_t> headings;
  std::istringstream lines(text);
  std::string line;
  size_t offset = 0;
  while (std::getline(lines, line)) {
    bool upper = !line.empty() && line.back() == ':';
    for (char c : line)
      if (c >= 'a' && c <= 'z') upper = false;
    if (upper) headings.push_back(offset);
    offset += line.size() + 1;
  }
  ASSERT_EQ(headings.size(), 5u);
  EXPECT_LT(headings[0], line_at(text, "--install=DIR", 0));      // the installer's own
  EXPECT_TRUE(headings[1] > installer_end && headings[1] < positions[0]);   // before --help
  EXPECT_TRUE(headings[2] > positions[7] && headings[2] < positions[8]);    // before --no_vbos
  EXPECT_TRUE(headings[3] > positions[20] && headings[3] < positions[21]);  // before --use_vbos
  EXPECT_TRUE(headings[4] > positions[27] && headings[4] < positions[28]);  // before --fps_test=n
}

// Every option the usage text lists is known (also the simulator's, which are accepted and
// ignored, and the families --pref: and --dref:); a misspelling is not, and the nearest
// listed option is the one it misspells.
TEST(Usage, KnownOptionsAreThoseTheUsageTextLists) {
  for (const char* known : {"--install", "--os", "--version", "--help", "-h", "--no_sound", "--allow_rosetta",
                            "--use_fbos", "--require_fps", "--qa_script", "--cmnds", "--num_workers",
                            "--lock_main_thread", "--monitor_offset_x", "--monitor_offset_y", "--pref:_log_actions",
                            "--dref:sim/flightmodel/weight", "--no_menu_entry", "--conflicts", "--scale"})
    EXPECT_TRUE(is_known_option(known)) << known;
  for (const char* unknown : {"--instal", "-x", "--pref:", "--pref", "--Install", "install", "--install2", "-",
                              "--", "/x"})
    EXPECT_FALSE(is_known_option(unknown)) << unknown;
  EXPECT_EQ(nearest_known_option("--instal"), "--install");
  EXPECT_EQ(nearest_known_option("--verfy"), "--verify");
  EXPECT_EQ(nearest_known_option("--uninstal"), "--uninstall");
  EXPECT_EQ(nearest_known_option("--dvd-drives"), "--dvd_drives");
  EXPECT_EQ(nearest_known_option("--sceneries"), "--scenery");
  EXPECT_EQ(nearest_known_option("--pref"), "--pref:");
}
