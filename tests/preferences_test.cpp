#include "core/preferences.h"
#include "io/preferences_file.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/alert.h"
#include "core/log.h"
#include "core/options.h"
#include "platform/child_process.h"
#include "tests/test_util.h"

namespace {

// Points the preferences folder at a fresh temporary folder for one test.
struct PreferencesTest : ::testing::Test {
  TempDir dir;
  std::string old_data_home;
  bool had_data_home = false;

  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    had_data_home = old != nullptr;
    if (old) old_data_home = old;
    set_environment("XDG_DATA_HOME", dir.path().c_str());
    reset_options();
    reset_preferences();
  }
  void TearDown() override {
    if (had_data_home)
      set_environment("XDG_DATA_HOME", old_data_home.c_str());
    else
      unset_environment("XDG_DATA_HOME");
    reset_options();
    reset_preferences();
  }
  std::string file() const { return dir / "Zephiro Installer.prf"; }
};

}  // namespace

TEST_F(PreferencesTest, FileLivesInThePreferencesFolder) {
  EXPECT_EQ(preferences_file_path(), file());
}

TEST_F(PreferencesTest, EmptyTextPreferencesAreNotWritten) {
  exchange_preferences(prefs_write);
  EXPECT_EQ(read_text_file(file()),
            "I\n10 version\n_stream_count 0\n_log_actions 0\n_proxy_port_int 0\n_get_beta 0\n");
}

TEST_F(PreferencesTest, RoundTrip) {
  Preferences& p = prefs();
  p.message[0] = "first message";
  p.message[3] = "fourth";
  p.stream_count = 3;
  p.log_actions = 1;
  p.proxy_host = "proxy.example  with inner blanks";
  p.proxy_port = "8080";
  p.proxy_port_int = 8080;
  p.get_beta = -2;
  exchange_preferences(prefs_write);
  EXPECT_EQ(read_text_file(file()),
            "I\n10 version\n_message_1 first message\n_message_4 fourth\n_stream_count 3\n"
            "_log_actions 1\n_proxy_host proxy.example  with inner blanks\n_proxy_port 8080\n"
            "_proxy_port_int 8080\n_get_beta -2\n");

  reset_preferences();
  exchange_preferences(prefs_read);
  EXPECT_EQ(prefs().message[0], "first message");
  EXPECT_EQ(prefs().message[1], "");
  EXPECT_EQ(prefs().message[3], "fourth");
  EXPECT_EQ(prefs().stream_count, 3);
  EXPECT_EQ(prefs().log_actions, 1);
  EXPECT_EQ(prefs().proxy_host, "proxy.example  with inner blanks");
  EXPECT_EQ(prefs().proxy_port, "8080");
  EXPECT_EQ(prefs().proxy_port_int, 8080);
  EXPECT_EQ(prefs().get_beta, -2);
}

TEST_F(PreferencesTest, ReadingToleratesLayoutAndKeepsAbsentKeys) {
  write_file(file(),
             "\xEF\xBB\xBF" "I\r\n10 version\r\n\r\n   _log_actions\t 1\r\n"
             "_proxy_host first\n_proxy_host  second value \n\n_get_beta 7x\n_unknown 5\n_proxy_port");
  prefs().proxy_port_int = 99;
  prefs().proxy_port = "kept?";
  exchange_preferences(prefs_read);
  EXPECT_EQ(prefs().log_actions, 1);
  EXPECT_EQ(prefs().proxy_host, "second value ");  // later lines win, inner blanks kept
  EXPECT_EQ(prefs().get_beta, 7);                  // atoi
  EXPECT_EQ(prefs().proxy_port_int, 99);           // absent: unchanged
  EXPECT_EQ(prefs().proxy_port, "");               // a key with no value
}

TEST_F(PreferencesTest, ForeignOrMissingFilesAreIgnored) {
  prefs().log_actions = 5;
  exchange_preferences(prefs_read);  // no file at all
  EXPECT_EQ(prefs().log_actions, 5);

  write_file(file(), "I\n9 version\n_log_actions 1\n_get_beta 4\n");
  exchange_preferences(prefs_read);
  EXPECT_EQ(prefs().log_actions, 5);
  EXPECT_EQ(prefs().get_beta, 0);

  write_file(file(), "_log_actions 1\n");
  exchange_preferences(prefs_read);
  EXPECT_EQ(prefs().log_actions, 5);
}

TEST_F(PreferencesTest, CommandLineOverridesTheFile) {
  write_file(file(), "I\n10 version\n_log_actions 0\n_proxy_host from file\n_get_beta 3\n");
  std::string log;
  log_set_capture(&log);
  parse_option_tokens("--pref:_log_actions=1 --lang=fr --pref:_proxy_host=cmd");
  log_set_capture(nullptr);
  exchange_preferences(prefs_read);
  EXPECT_EQ(prefs().log_actions, 1);
  EXPECT_EQ(prefs().proxy_host, "cmd");
  EXPECT_EQ(prefs().get_beta, 3);
  EXPECT_EQ(option_value("--lang"), "fr");

  // Overrides apply even without a file.
  reset_preferences();
  write_file(file(), "");
  exchange_preferences(prefs_read);
  EXPECT_EQ(prefs().log_actions, 1);
}

TEST_F(PreferencesTest, NotWrittenInTestModes) {
  for (const char* mode : {"--fps_test=1", "--qa_script=x.txt"}) {
    reset_options();
    std::string log;
    log_set_capture(&log);
    parse_option_tokens(mode);
    log_set_capture(nullptr);
    exchange_preferences(prefs_write);
    EXPECT_TRUE(read_text_file(file()).empty()) << mode;
  }
}

TEST_F(PreferencesTest, ValuesCannotAddLines) {
  prefs().proxy_host = "host\n_log_actions 1";
  exchange_preferences(prefs_write);
  reset_preferences();
  exchange_preferences(prefs_read);
  EXPECT_EQ(prefs().proxy_host, "host");
  EXPECT_EQ(prefs().log_actions, 0);
}

TEST_F(PreferencesTest, MissingFolderIsCreated) {
  set_environment("XDG_DATA_HOME", (dir / "share").c_str());
  exchange_preferences(prefs_write);
  EXPECT_EQ(read_text_file(dir / "share/Zephiro Installer.prf").rfind("I\n10 version\n", 0), 0u);
}

namespace {

// Death-test body: writes the preferences with files limited to 40 bytes (as a full disk
// would cut them) and ends with 7 when exactly one alert told of it.
void write_on_a_full_disk() {
  int alerts = 0;
  set_alert_handler([&](const AlertRequest& r) {
    alerts += r.kind == alert_info && r.lines[0] == "I could not save the file!";
  });
  if (!limit_file_size(40)) std::_Exit(9);
  prefs().proxy_host = "a host name long enough to pass the limit";
  exchange_preferences(prefs_write);
  std::_Exit(alerts == 1 ? 7 : 8);
}

}  // namespace

TEST_F(PreferencesTest, TheFileIsReplacedWholeOrNotAtAll) {
  const std::string old_text = "I\n10 version\n_get_beta 4\n_proxy_host old host\n";
  write_file(file(), old_text);
  // A write that fails half-way leaves the old file as it was, and nothing beside it.
  // (Windows has no file size limit to cut the write with.)
  if (posix_system()) {
    EXPECT_EXIT(write_on_a_full_disk(), ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(read_text_file(file()), old_text);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"Zephiro Installer.prf"});
  }

  // A good write replaces it, again with nothing left beside it.
  prefs().get_beta = 5;
  exchange_preferences(prefs_write);
  const std::string new_text = "I\n10 version\n_stream_count 0\n_log_actions 0\n_proxy_port_int 0\n_get_beta 5\n";
  EXPECT_EQ(read_text_file(file()), new_text);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"Zephiro Installer.prf"});

  // A preferences file that links elsewhere is written there, the link kept (a link to a
  // file needs an administrator on Windows).
  if (!posix_system()) return;
  TempDir elsewhere;
  write_file(elsewhere / "kept.prf", old_text);
  std::filesystem::remove(file());
  std::filesystem::create_symlink(elsewhere / "kept.prf", file());
  exchange_preferences(prefs_write);
  EXPECT_TRUE(std::filesystem::is_symlink(file()));
  EXPECT_EQ(read_text_file(elsewhere / "kept.prf"), new_text);
  EXPECT_EQ(names_in(elsewhere.path()), std::vector<std::string>{"kept.prf"});
}
