#include "app/alert.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/app_state.h"
#include "app/log.h"
#include "app/options.h"
#include "app/startup.h"

namespace {

struct AlertState {
  std::function<void(const AlertRequest&)> handler;
  bool (*router)(const AlertRequest&) = nullptr;
};

AlertState& state() {
  static AlertState s;
  return s;
}

// Until the stack crawl exists the crash file records which alert ended the program.
void append_stack_crawl(const AlertRequest& req, const std::string& where) {
  std::ofstream out("stack_crawl.txt", std::ios::out | std::ios::app);
  if (!out) return;
  out << "Crash alert " << where << ": " << req.lines[0] << "\n";
}

[[noreturn]] void end_process(int exit_code) {
  app().quit_flag = 1;
  shut_down(false);
  std::fflush(stderr);
  std::exit(exit_code);
}

}  // namespace

std::string alert_location(const std::string& file, int line) {
  // Written by hand so the most negative int keeps its digits.
  long long n = line;
  std::string number = n < 0 ? "-" + std::to_string(-n) : std::to_string(n);
  return "(" + file + " line " + number + ")";
}

void set_alert_handler(std::function<void(const AlertRequest&)> handler) {
  state().handler = std::move(handler);
}

void set_alert_router(bool (*router)(const AlertRequest&)) { state().router = router; }

void alert(int prev_ui_mode, const std::string& l1, const std::string& l2, const std::string& l3,
           const std::string& l4, int kind, const char* file, int line) {
  AlertRequest req;
  req.lines[0] = l1;
  req.lines[1] = l2;
  req.lines[2] = l3;
  req.lines[3] = l4;
  req.file = file ? file : "";
  req.line = line;
  req.kind = kind;

  AlertState& s = state();
  if (s.router && s.router(req)) return;  // queued for the main thread
  if (s.handler) {
    s.handler(req);
    return;
  }

  std::string where = alert_location(req.file, line);
  std::string body = l1 + "\n" + l2 + "\n" + l3 + "\n" + l4 + "\n" + where + "\n";
  bool fatal = kind == alert_quit || kind == alert_crash;
  if (kind == alert_crash) append_stack_crawl(req, where);

  // Unattended test runs never wait for a user: the log gets everything.
  if (has_option("--fps_test") || has_option("--qa_script")) {
    log_write(body);
    log_flush();
    if (fatal) end_process(1);
    return;
  }

  if (kind != alert_language) {
    log_write("\n" + body);
    log_flush();
  }
  std::fputs(body.c_str(), stderr);
  std::fflush(stderr);
  if (kind == alert_quit) end_process(0);
  if (kind == alert_crash) end_process(1);
}
