#pragma once
// A fresh interface state drawn into a recorder, for the widget and text tests.

#include <gtest/gtest.h>

#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "ui/colour_table.h"
#include "ui/draw_recorder.h"
#include "ui/text_render.h"
#include "ui/texture_slots.h"
#include "ui/ui_context.h"

class UiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    app().language = 0;
    reset_ui_context();
    reset_colour_table();
    reset_texture_slots();
    reset_text_render();
    set_draw_backend(&rec);
    set_alert_handler([this](const AlertRequest& r) { alerts.push_back(r); });
  }
  void TearDown() override {
    set_alert_handler(nullptr);
    set_draw_backend(nullptr);
    reset_text_render();
    reset_texture_slots();
    reset_ui_context();
    app().language = 0;
  }
  // Starts a new frame with the mouse at (x, y), optionally pressing the button.
  void frame(float x, float y, bool press = false) {
    begin_input_frame();
    rec.clear();
    ui().in.mouse_x = x;
    ui().in.mouse_y = y;
    ui().in.button_went_down = press;
    ui().in.button_held = press;
  }

  DrawRecorder rec;
  std::vector<AlertRequest> alerts;
};
