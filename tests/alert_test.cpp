#include "app/alert.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "app/log.h"
#include "app/options.h"
#include "tests/test_util.h"

namespace {

std::vector<AlertRequest> g_routed;
bool route_all(const AlertRequest& r) {
  g_routed.push_back(r);
  return true;
}
bool route_none(const AlertRequest&) { return false; }

// Runs in a death-test child: alerts with no handler, in a scratch current folder.
void raise_in(const std::string& folder, int kind, const char* options) {
  if (chdir(folder.c_str()) != 0) std::_Exit(99);
  if (options) parse_option_tokens(options);
  alert(0, "line one", "line two", "", "line four", kind, "unit.cpp", 77);
  std::_Exit(42);  // reached only when the alert returned
}

}  // namespace

TEST(Alert, LocationText) {
  EXPECT_EQ(alert_location("hl_init", 805), "(hl_init line 805)");
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
  TempDir dir;
  EXPECT_EXIT(raise_in(dir.path(), alert_quit, nullptr), ::testing::ExitedWithCode(0),
              "line one\nline two\n\nline four\n\\(unit.cpp line 77\\)");
  EXPECT_TRUE(read_file(dir / "stack_crawl.txt").empty());

  EXPECT_EXIT(raise_in(dir.path(), alert_crash, nullptr), ::testing::ExitedWithCode(1), "line one");
  std::string crawl = read_file(dir / "stack_crawl.txt");
  EXPECT_NE(crawl.find("(unit.cpp line 77)"), std::string::npos);

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
