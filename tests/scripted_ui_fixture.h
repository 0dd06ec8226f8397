#pragma once
// The main loop in-process, drawn into a recorder and driven by a scripted user: the
// window's part (events, swap) is absent, everything above it is the program's own.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/alert_panel.h"
#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "app/main_loop.h"
#include "core/options.h"
#include "app/qa_script.h"
#include "ui/colour_table.h"
#include "ui/draw_recorder.h"
#include "ui/localization.h"
#include "ui/page_framework.h"
#include "ui/text_render.h"
#include "ui/texture_slots.h"
#include "ui/ui_context.h"

// A recorder that forgets old frames now and then: scripted runs draw thousands of them.
class TrimmedRecorder : public DrawRecorder {
 public:
  void quads(unsigned texture, const float rgba[4], const DrawQuad* q, int count) override {
    if (drawn.size() > 20000) clear();
    DrawRecorder::quads(texture, rgba, q, count);
  }
};

class ScriptedUi : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_app_state();
    reset_options();
    reset_ui_context();
    reset_colour_table();
    reset_texture_slots();
    reset_text_render();
    reset_localization();
    reset_framework();
    reset_alert();
    app().window_ready = true;  // alerts use the in-window panel
    install_alert_panel();
    set_draw_backend(&rec);
    // A failed script stops the loop (and any alert waiting for it).
    set_qa_failure_handler([this](const std::string& m) {
      failures.push_back(m);
      app().quit_flag = 1;
    });
    log_set_capture(&log);
  }
  void TearDown() override {
    log_set_capture(nullptr);
    reset_qa_script();
    set_qa_failure_handler(nullptr);
    set_draw_backend(nullptr);
    reset_framework();
    reset_alert();
    reset_text_render();
    reset_texture_slots();
    reset_ui_context();
    reset_options();
    reset_app_state();
  }
  // Passes of the main loop until the Quit Flag is set, at most `limit`.
  int run(int limit = 200000) {
    int passes = 0;
    while (app().quit_flag == 0 && passes < limit) {
      main_loop_iteration();
      ++passes;
    }
    return passes;
  }
  // Whether the last completed frame drew a line that contains `text`.
  static bool frame_has(const std::string& text) {
    for (const TextNote& n : qa_frame_texts())
      if (n.text.find(text) != std::string::npos) return true;
    return false;
  }

  TrimmedRecorder rec;
  std::vector<std::string> failures;
  std::string log;
};
