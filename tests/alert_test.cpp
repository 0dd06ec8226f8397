#include "core/alert.h"

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include <thread>

#include "core/log.h"
#include "core/options.h"
#include "io/preferences_file.h"
#include "io/threads.h"
#include "platform/child_process.h"
#include "tests/scripted_ui_fixture.h"
#include "tests/test_util.h"
#include "ui/draw_backend.h"
#include "ui/widgets.h"

namespace {

// Why the tests of alerts without a desktop are left out on Windows.
const char kNoDesktopOnWindows[] =
    "a Windows program always has its desktop, where the system's message box would wait for a click";

std::vector<AlertRequest> g_routed;
bool route_all(const AlertRequest& r) {
  g_routed.push_back(r);
  return true;
}
bool route_none(const AlertRequest&) { return false; }

// Runs in a death-test child: alerts with no handler, in a scratch current folder.
void raise_in(const std::string& folder, int kind, const char* options) {
  if (chdir(folder.c_str()) != 0) std::_Exit(99);
  NoDisplay no_display;  // the message box stands in for standard error
  if (options) parse_option_tokens(options);
  alert(0, "line one", "line two", "", "line four", kind, "unit.cpp", 77);
  std::_Exit(42);  // reached only when the alert returned
}

}  // namespace

TEST(Alert, LocationText) {
  EXPECT_EQ(alert_location("hl_init", 805), "(hl_init line 805)");
  EXPECT_EQ(alert_location("/home/builder/zephiro/io/dvd_discovery.cpp", 137), "(dvd_discovery.cpp line 137)");
  EXPECT_EQ(alert_location("x.cpp", -42), "(x.cpp line -42)");
  EXPECT_EQ(alert_location("x.cpp", INT_MIN), "(x.cpp line -2147483648)");
}

TEST(Alert, HandlerCapturesTheRequest) {
  std::vector<AlertRequest> seen;
  set_alert_handler([&](const AlertRequest& r) { seen.push_back(r); });
  ALERT(alert_crash, "a", "b", "c", "d");
  set_alert_handler(nullptr);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].lines[0], "a");
  EXPECT_EQ(seen[0].lines[3], "d");
  EXPECT_EQ(seen[0].kind, alert_crash);
  EXPECT_EQ(seen[0].file, __FILE__);
  EXPECT_GT(seen[0].line, 0);
}

TEST(Alert, RouterTakesTheRequestFirst) {
  std::vector<AlertRequest> seen;
  set_alert_handler([&](const AlertRequest& r) { seen.push_back(r); });
  g_routed.clear();
  set_alert_router(route_all);
  alert(0, "w1", "w2", "w3", "w4", alert_quit, "worker.cpp", 3);
  EXPECT_EQ(g_routed.size(), 1u);
  EXPECT_TRUE(seen.empty());

  set_alert_router(route_none);  // "show it here"
  alert(0, "m1", "", "", "", alert_info, "main.cpp", 4);
  EXPECT_EQ(g_routed.size(), 1u);
  EXPECT_EQ(seen.size(), 1u);
  set_alert_router(nullptr);
  set_alert_handler(nullptr);
}

TEST(Alert, InformationGoesToTheLogAndReturns) {
  if (!posix_system()) GTEST_SKIP() << kNoDesktopOnWindows;
  NoDisplay no_display;
  std::string log;
  log_set_capture(&log);
  ::testing::internal::CaptureStderr();
  alert(0, "one", "two", "three", "four", alert_info, "file.cpp", -5);
  std::string err = ::testing::internal::GetCapturedStderr();
  log_set_capture(nullptr);
  EXPECT_EQ(log, "\none\ntwo\nthree\nfour\n(file.cpp line -5)\n");
  EXPECT_EQ(err, "one\ntwo\nthree\nfour\n(file.cpp line -5)\n");
}

TEST(AlertDeathTest, QuitEndsWithZeroAndCrashWithOne) {
  if (!posix_system()) GTEST_SKIP() << kNoDesktopOnWindows;
  TempDir dir;
  EXPECT_EXIT(raise_in(dir.path(), alert_quit, nullptr), ::testing::ExitedWithCode(0),
              "line one\nline two\n\nline four\n\\(unit.cpp line 77\\)");
  EXPECT_TRUE(read_file(dir / "stack_crawl.txt").empty());

  EXPECT_EXIT(raise_in(dir.path(), alert_crash, nullptr), ::testing::ExitedWithCode(1), "line one");
  std::string crawl = read_file(dir / "stack_crawl.txt");
  // A crawl of the raising thread: numbered frames naming the test program.
  EXPECT_EQ(crawl.rfind("  0) ", 0), 0u) << crawl;
  EXPECT_NE(crawl.find("(zephiro_tests + "), std::string::npos) << crawl;

  // Appended, not replaced.
  EXPECT_EXIT(raise_in(dir.path(), alert_crash, nullptr), ::testing::ExitedWithCode(1), "");
  EXPECT_GT(read_file(dir / "stack_crawl.txt").size(), crawl.size());
}

TEST(AlertDeathTest, TestModesLogOnlyAndEndFatalAlertsWithOne) {
  TempDir dir;
  EXPECT_EXIT(raise_in(dir.path(), alert_quit, "--qa_script=s.txt"), ::testing::ExitedWithCode(1), "^$");
  EXPECT_EXIT(raise_in(dir.path(), alert_quit, "--fps_test=3"), ::testing::ExitedWithCode(1), "^$");
  // An information alert returns.
  EXPECT_EXIT(raise_in(dir.path(), alert_info, "--qa_script=s.txt"), ::testing::ExitedWithCode(42), "^$");
}

TEST(Alert, TestModeWritesTheLinesToTheLog) {
  reset_options();
  std::string log;
  log_set_capture(&log);
  parse_option_tokens("--qa_script=s.txt");
  log.clear();
  alert(0, "a", "b", "c", "d", alert_info, "f.cpp", 9);
  log_set_capture(nullptr);
  reset_options();
  EXPECT_EQ(log, "a\nb\nc\nd\n(f.cpp line 9)\n");
}

// ---------------------------------------------------------------- the in-window panel

namespace {

int g_alert_page_calls = 0;
int page_behind_alert(int, PageDescription& page) {
  ++g_alert_page_calls;
  page.title = "Page behind the alert";
  return 0;
}

class AlertPanel : public ScriptedUi {
 protected:
  void SetUp() override {
    ScriptedUi::SetUp();
    g_alert_page_calls = 0;
    framework().current_page = page_behind_alert;
  }
  // Shows an alert of `kind` with the scripted user `script` answering it.
  void show(int kind, const std::string& script) {
    qa_script_load_text(script + "\ntimeout 5\nwait_text this text is never drawn\n");
    alert(ui_mode_wizard, "First line", "Second line", "", "Fourth line", kind, "panel.cpp", 12);
  }
  // The text notes of the last completed frame that hold exactly `text`.
  static std::vector<TextNote> lines(const std::string& text) {
    std::vector<TextNote> out;
    for (const TextNote& n : qa_frame_texts())
      if (n.text == text) out.push_back(n);
    return out;
  }
};

// Death-test body: a fatal alert answered by the scripted user, logging into `folder`.
void fatal_in(const std::string& folder, int kind) {
  if (chdir(folder.c_str()) != 0) std::_Exit(99);
  unset_environment("DISPLAY");  // a nested alert must not wait on a real message box
  log_set_capture(nullptr);
  log_open(folder + "log.txt");
  qa_script_load_text("wait_text Fatal line\nclick_text Understood\n");
  set_qa_failure_handler(nullptr);
  alert(ui_mode_wizard, "Fatal line", "", "", "", kind, "fatal.cpp", 5);
  std::_Exit(42);
}

// A back end that raises a second alert while the first one draws its button.
class NestingRecorder : public TrimmedRecorder {
 public:
  void note_widget(const WidgetNote& n) override {
    TrimmedRecorder::note_widget(n);
    if (!raised && n.label == "Understood") {
      raised = true;
      alert(ui_mode_alert, "Second alert", "", "", "", alert_info, "nested.cpp", 9);
    }
  }
  bool raised = false;
};

}  // namespace

TEST_F(AlertPanel, InformationIsAnsweredByUnderstoodReturnOrEscape) {
  for (const char* answer : {"click_text Understood", "key RETURN", "key =", "key ESCAPE"}) {
    log.clear();
    ui().in.mouse_x = 123;
    ui().in.mouse_y = 45;
    set_ui_mode(ui_mode_wizard);
    show(alert_info, std::string("wait_text Fourth line\n") + answer);
    ASSERT_TRUE(failures.empty()) << answer << ": " << failures[0];
    EXPECT_EQ(app().quit_flag, 0) << answer;
    EXPECT_EQ(app().ui_mode, ui_mode_wizard) << answer;
    EXPECT_EQ(ui().in.mouse_x, 123) << answer;
    EXPECT_EQ(ui().in.mouse_y, 45) << answer;
    EXPECT_EQ(log, "\nFirst line\nSecond line\n\nFourth line\n(panel.cpp line 12)\n") << answer;
    EXPECT_FALSE(alert_showing());
  }
  // The panel as it was drawn: the lines centred at their heights, no location for kind 1.
  const float heights[3] = {215, 175, 95};
  const char* texts[3] = {"First line", "Second line", "Fourth line"};
  for (int i = 0; i < 3; ++i) {
    std::vector<TextNote> found = lines(texts[i]);
    ASSERT_EQ(found.size(), 1u) << texts[i];
    EXPECT_EQ(found[0].y, heights[i]);
    EXPECT_EQ(found[0].x, 400);
    EXPECT_EQ(found[0].align, align_centre);
    EXPECT_EQ(found[0].colour, colour_label);
    EXPECT_EQ(found[0].wrap, 720);
  }
  EXPECT_TRUE(lines("(panel.cpp line 12)").empty());
  EXPECT_EQ(g_alert_page_calls, 0);  // the wizard waited behind the panel

  // The wizard goes on where it was.
  qa_script_load_text("wait_text Page behind the alert\n");
  run();
  EXPECT_TRUE(failures.empty());
  EXPECT_GT(g_alert_page_calls, 0);
}

TEST_F(AlertPanel, TheInputThatRaisedItDoesNotAnswerIt) {
  ui().in.button_went_down = true;
  ui().in.return_pressed = true;
  ui().in.escape_pressed = true;
  show(alert_info, "frames 5\nkey RETURN");
  EXPECT_TRUE(failures.empty());
  EXPECT_TRUE(qa_script_active());
  // Answered by the scripted Return, after the five frames: the last wait is still to come.
  EXPECT_EQ(app().quit_flag, 0);
}

TEST_F(AlertPanel, TheLanguageChoiceOffersEveryLanguageAndIgnoresEscape) {
  app().language = language_english;
  show(alert_language, "wait_text Deutsch\nkey ESCAPE\nframes 3\nclick_text Deutsch\nframes 2\nclick_text Accept");
  ASSERT_TRUE(failures.empty()) << failures[0];
  EXPECT_EQ(app().language, language_german);
  EXPECT_EQ(log, "");  // kind 0 is not logged
  int radios = 0;
  for (const WidgetNote& w : qa_frame_widgets()) {
    if (w.kind != "radio_item") continue;
    EXPECT_EQ(w.label, language_display_name(radios));
    EXPECT_EQ((w.x0 + w.x1) / 2, 375);
    EXPECT_EQ(w.y0 + 4, 180 - 20 * radios);
    ++radios;
  }
  EXPECT_EQ(radios, language_count);
  EXPECT_TRUE(lines("First line").empty());
}

TEST_F(AlertPanel, AlertsFromAWorkerAreShownByTheMainThread) {
  threads_init();
  std::thread worker([] { ALERT(alert_info, "Raised on a worker", "", "", ""); });
  worker.join();  // the worker went on: its alert only waits in the queue
  EXPECT_TRUE(lines("Raised on a worker").empty());
  qa_script_load_text("wait_text Raised on a worker\nkey RETURN\nwait_text Page behind the alert\n");
  run();
  EXPECT_TRUE(failures.empty()) << failures[0];
  EXPECT_NE(log.find("\nRaised on a worker\n"), std::string::npos);
  reset_threads();
}

TEST_F(AlertPanel, AnAlertRaisedWhileQuittingIsShownAndAnswered) {
  // The window was closed, and the preferences cannot be saved: their folder is a file.
  TempDir dir;
  write_file(dir / "data", "not a folder");
  const std::string data_home = get_environment("XDG_DATA_HOME");
  set_environment("XDG_DATA_HOME", dir / "data");
  app().quit_flag = 1;
  qa_script_load_text("wait_text I could not save the file!\nclick_text Understood\ntimeout 5\nwait_text never\n");
  exchange_preferences(prefs_write);
  if (data_home.empty()) unset_environment("XDG_DATA_HOME");
  else set_environment("XDG_DATA_HOME", data_home);

  // Shown, answered, and the program still on its way out.
  EXPECT_TRUE(failures.empty()) << failures[0];
  EXPECT_TRUE(frame_has("I could not save the file!"));
  EXPECT_TRUE(qa_script_active());  // waiting on its last line: the click came first
  EXPECT_EQ(app().quit_flag, 1);
  EXPECT_NE(log.find("\nI could not save the file! Could the directory"), std::string::npos) << log;
}

// A folder shared by a death test and the child that runs its statement. On Windows that
// child is the test program started again, running the test from its start, where a
// folder of its own would be another: it is handed the parent's through the environment.
class DeathTestDir {
 public:
  DeathTestDir() {
    const std::string given = get_environment(kVariable);
    if (!GTEST_FLAG_GET(internal_run_death_test).empty() && !given.empty()) {
      path_ = given;
    } else {
      own_ = std::make_unique<TempDir>();
      path_ = own_->path();
      set_environment(kVariable, path_);
    }
  }
  ~DeathTestDir() {
    if (own_) unset_environment(kVariable);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  static constexpr const char* kVariable = "ZEPHIRO_DEATH_TEST_DIR";
  std::unique_ptr<TempDir> own_;
  std::string path_;
};

TEST(AlertPanelDeathTest, FatalAlertsEndAfterTheAnswer) {
  DeathTestDir dir;
  auto in_window = [&](int kind) {
    reset_app_state();
    app().window_ready = true;
    install_alert_panel();
    DrawRecorder rec;
    set_draw_backend(&rec);
    fatal_in(dir.path(), kind);
  };
  EXPECT_EXIT(in_window(alert_quit), ::testing::ExitedWithCode(0), "");
  std::string log = read_file(dir / "log.txt");
  EXPECT_NE(log.find("MACIBM_alert (with code t_quit)\n\nFatal line\n\n\n\n(fatal.cpp line 5)\n"), std::string::npos)
      << log;
  EXPECT_TRUE(read_file(dir / "stack_crawl.txt").empty());

  EXPECT_EXIT(in_window(alert_crash), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(read_file(dir / "log.txt").find("MACIBM_alert (with code t_crash)"), std::string::npos);
  EXPECT_EQ(read_file(dir / "stack_crawl.txt").rfind("  0) ", 0), 0u);
}

TEST(AlertPanelDeathTest, AnAlertDuringAnAlertEndsTheProgram) {
  if (!posix_system()) GTEST_SKIP() << kNoDesktopOnWindows;
  TempDir dir;
  auto nested = [&] {
    if (chdir(dir.path().c_str()) != 0) std::_Exit(99);
    unset_environment("DISPLAY");
    reset_app_state();
    app().window_ready = true;
    install_alert_panel();
    NestingRecorder rec;
    set_draw_backend(&rec);
    log_open(dir / "log.txt");
    alert(ui_mode_wizard, "First alert", "", "", "", alert_info, "outer.cpp", 1);
    std::_Exit(42);
  };
  // The second one goes to the message box, here standard error, and ends with 1.
  EXPECT_EXIT(nested(), ::testing::ExitedWithCode(1), "Second alert\n\n\n\n\\(nested.cpp line 9\\)");
  std::string log = read_file(dir / "log.txt");
  EXPECT_NE(log.find("MACIBM_alert (with code t_quit)\n\nSecond alert\n"), std::string::npos) << log;
}
