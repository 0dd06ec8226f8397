// Opens the real window on a virtual display and checks what a frame puts on screen.

#include "platform/window_sdl.h"
#include "ui/window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "core/app_state.h"
#include "core/log.h"
#include "platform/child_process.h"
#include "tests/virtual_display.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/png_image.h"
#include "ui/sprites.h"
#include "ui/text_field.h"
#include "ui/text_render.h"
#include "ui/texture_slots.h"
#include "ui/texture_workers.h"
#include "ui/ui_context.h"
#include "ui/widgets.h"

namespace {

// Alpha-blends a texel over a screen colour, as the fixed drawing state does.
int blend(const unsigned char* src, const unsigned char* dst, int c) {
  const float a = src[3] / 255.0f;
  return static_cast<int>(src[c] * a + dst[c] * (1 - a) + 0.5f);
}

void expect_pixel(const Image& frame, int x, int y, int r, int g, int b, int tolerance, const char* what) {
  const unsigned char* p = frame.pixel(x, y);
  EXPECT_NEAR(p[0], r, tolerance) << what << " at " << x << "," << y;
  EXPECT_NEAR(p[1], g, tolerance) << what << " at " << x << "," << y;
  EXPECT_NEAR(p[2], b, tolerance) << what << " at " << x << "," << y;
}

const char* const k_body =
    "Zephiro 9 will be installed into a new folder on your hard disk. Choose the folder that is to hold "
    "it, then the scenery you want. The installer copies every file from the DVDs, checks each one "
    "and tells you when it is done.\n\nYou can add or remove scenery later without installing again.";

// One wizard screen drawn with every kind of widget.
void draw_sample_frame(std::string& folder, int& agreed) {
  window_clear(0, 0, 0);
  const TextureSlot* bg = texture_slot(slot_background);
  const float white[4] = {1, 1, 1, 1};
  draw_textured_rect(bg ? bg->name : 0, white, 0, 0, 800, 600, 0, 0, 800 / 1024.0f, 600 / 1024.0f);
  draw_frame(23, 10, 50, 190, 453, "", 1.0f);
  draw_frame(23, 210, 50, 580, 453, "", 1.0f);
  const char* steps[] = {"Welcome", "Pick Destination", "License", "Select Scenery", "Install", "Finish"};
  for (int i = 0; i < 6; ++i)
    draw_text(i == 1 ? colour_current_step : colour_step, 30, 480 - 20.0f * i, steps[i], 170,
              i == 1 ? weight_bold : weight_regular, align_left);
  draw_text(colour_text, 500, 480, "Pick Destination", 540, weight_bold, align_centre);
  fill_rect(colour_modal_fill, 230, 468, 770, 470);
  draw_text(colour_text, 230, 440, k_body, 540, weight_regular, align_left);
  draw_text(colour_text, 230, 372, "The parent folder must exist and be writable.", 540, weight_bold, align_left);
  text_field(250, 330, folder, 200, "The folder that will hold Zephiro 9", 480, false);
  choice_button(380, 290, 200, false, 1, "Choose a folder...", "-");
  choice_button(620, 290, 200, true, 2, "Use the default folder", "-");
  check_box(250, 250, agreed, "|-Create a shortcut on the desktop", false);
  draw_progress_bar(500, 155, 520, 0.04f + 0.96f * 0.6f);
  draw_text(colour_text, 242, 120, "Checking the free space on the disk: 60% done", 520, weight_regular, align_left);
  int right = 0;
  bottom_button(30, 12, label_quit, button_starts_at, nullptr, true, look_normal);
  bottom_button(770, 12, label_continue, button_ends_at, &right, true, look_normal);
  bottom_button(770 - (right + 10), 12, label_go_back, button_ends_at, nullptr, false, look_disabled);
}

class WindowSdl : public ::testing::Test {
 protected:
  void TearDown() override {
    swarm_stop();
    close_window();
    reset_texture_slots();
    reset_text_render();
    reset_ui_context();
    app().quit_flag = 0;
    display.stop();
  }
  VirtualDisplay display;
};

TEST_F(WindowSdl, OpensTheWindowAndDrawsAWizardFrame) {
  const std::string why = display.start();
  ASSERT_EQ(why, "") << "no display for the window test";

  reset_ui_context();
  reset_colour_table();
  reset_texture_slots();
  reset_text_render();
  app().language = 0;
  ASSERT_EQ(open_window(WindowSettings()), window_ok);
  const WindowInfo& info = window_info();
  EXPECT_EQ(info.width, 800);
  EXPECT_EQ(info.height, 600);
  EXPECT_GE(info.monitor_width, 800);
  EXPECT_GE(info.depth_bits, 24);
  EXPECT_EQ(ui().page_origin_x, 0);
  ASSERT_EQ(load_artwork(0), texture_ok);

  // Mouse input arrives in page coordinates, y up (after what the server sent).
  while (pump_window_events(50) > 0) {
  }
  window_push_mouse(120, 100, 0);
  pump_window_events(100);
  EXPECT_EQ(ui().in.mouse_x, 120);
  EXPECT_EQ(ui().in.mouse_y, 500);
  window_push_mouse(5, 590, 1);
  pump_window_events(100);
  EXPECT_TRUE(ui().in.button_went_down);
  EXPECT_EQ(ui().in.mouse_y, 10);
  begin_input_frame();
  EXPECT_FALSE(ui().in.button_went_down);
  EXPECT_TRUE(ui().in.button_held);
  window_push_mouse(5, 590, -1);
  pump_window_events(100);
  EXPECT_FALSE(ui().in.button_held);
  ui().in.mouse_x = ui().in.mouse_y = -10000;  // away from every widget

  std::string folder = "/home/pilot/Zephiro 9/";
  int agreed = 1;
  draw_sample_frame(folder, agreed);
  Image frame;
  ASSERT_EQ(read_window_pixels(frame), 0);
  window_swap();
  ASSERT_EQ(frame.width, 800);
  ASSERT_EQ(save_png(std::string(ZEPHIRO_BINARY_DIR) + "/window_frame.png", frame), png_ok);

  Image background, atlas;
  ASSERT_EQ(read_png("RESOURCE:background.png", background), png_ok);
  ASSERT_EQ(read_png("RESOURCE:elements_English.png", atlas), png_ok);
  const Image& interface = interface_image();
  ASSERT_EQ(interface.width, 512);

  // Panel frame: the left edge of the left panel is the frame square's edge pixel over
  // the background.
  {
    const unsigned char* edge = atlas.pixel(982, 2 + 20);
    const unsigned char* under = background.pixel(10, 300);
    expect_pixel(frame, 10, 300, blend(edge, under, 0), blend(edge, under, 1), blend(edge, under, 2), 3,
                 "panel frame");
  }
  // Swatch colour: the rule under the title has colour 39 as painted in the interface image.
  {
    const unsigned char* swatch = interface.pixel(319, 155);
    expect_pixel(frame, 400, 469, swatch[0], swatch[1], swatch[2], 1, "colour 39 swatch");
    expect_pixel(frame, 400, 469, 68, 85, 105, 1, "colour 39 value");
  }
  // Label cell: every opaque texel of QUIT's normal cell shows unchanged at x 30, y 12.
  {
    int checked = 0;
    for (int j = 0; j < 22; ++j)
      for (int i = 0; i < 56; ++i) {
        const unsigned char* t = atlas.pixel(i, 46 + j);
        if (t[3] != 255) continue;
        expect_pixel(frame, 30 + i, 12 + j, t[0], t[1], t[2], 1, "QUIT label");
        ++checked;
      }
    EXPECT_GT(checked, 50);
  }
  // Progress fill: inside the fill's middle the fill sprite's opaque texels show.
  {
    int checked = 0;
    for (int sx = 0; sx < 8; ++sx)
      for (int row = 4; row < 12; ++row) {
        const unsigned char* t = interface.pixel(83 + 10 + sx, 161 + row);
        if (t[3] != 255) continue;
        expect_pixel(frame, 250 + 8 * 10 + sx, 147 + row, t[0], t[1], t[2], 1, "progress fill");
        ++checked;
      }
    EXPECT_GT(checked, 20);
  }
  // Both weights of text left marks: dark pixels in the body and the bold line.
  {
    auto dark_pixels = [&](int x0, int y0, int x1, int y1) {
      int n = 0;
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += frame.pixel(x, y)[0] < 90;
      return n;
    };
    EXPECT_GT(dark_pixels(230, 380, 770, 450), 500);
    EXPECT_GT(dark_pixels(230, 369, 500, 382), 100);
  }

  window_push_close();
  pump_window_events(100);
  EXPECT_EQ(app().quit_flag, 1);
  close_window();
  EXPECT_FALSE(window_exists());
}

TEST_F(WindowSdl, AWindowLargerThanTheMonitorFallsBackTo1024x768) {
  ASSERT_EQ(display.start(), "") << "no display for the window test";
  std::string logged;
  log_set_capture(&logged);
  WindowSettings s;
  s.width = 1100;  // wider than the 1024 x 768 virtual screen
  s.height = 700;
  const int r = open_window(s);
  log_set_capture(nullptr);
  ASSERT_EQ(r, window_ok);
  if (window_info().monitor_width != 1024) GTEST_SKIP() << "a display of another size was given";
  EXPECT_NE(logged.find("The window was last: 1100,700 and my monitor is 1024,768.  Setting window to 1024x768 it "
                        "fits on screen.\n"),
            std::string::npos)
      << logged;
  EXPECT_EQ(window_info().width, 1024);
  EXPECT_EQ(window_info().height, 768);
  // The page sits in the middle of the larger window, and the mouse follows it.
  EXPECT_EQ(ui().page_origin_x, 112);
  EXPECT_EQ(ui().page_origin_y, 84);
  while (pump_window_events(50) > 0) {
  }
  window_push_mouse(112, 768 - 84, 0);
  pump_window_events(100);
  EXPECT_EQ(ui().in.mouse_x, 0);
  EXPECT_EQ(ui().in.mouse_y, 0);
}

// Makes a small solid texture in the worker's own context.
class SolidTextureTask : public UTL_pool_task {
 public:
  bool run(int worker) override {
    std::vector<unsigned char> pixels(4 * 4 * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
      pixels[i] = 200;
      pixels[i + 1] = 30;
      pixels[i + 2] = 90;
      pixels[i + 3] = 255;
    }
    name = draw_backend().create_texture(4, 4, 4, pixels.data());
    window_finish_drawing();
    ran_on = worker;
    return false;
  }
  unsigned name = 0;
  int ran_on = -1;
};

TEST_F(WindowSdl, SwarmWorkersShareTexturesWithTheWindow) {
  ASSERT_EQ(display.start(), "") << "no display for the window test";
  ASSERT_EQ(open_window(WindowSettings()), window_ok);
  ASSERT_TRUE(swarm_graphics_possible());
  ASSERT_EQ(swarm_start(1, true), 1);
  EXPECT_TRUE(swarm_has_graphics());
  SolidTextureTask task;
  swarm_submit(&task, false);
  while (swarm_pending() > 0) std::this_thread::yield();
  EXPECT_EQ(task.ran_on, 1);
  ASSERT_NE(task.name, 0u);

  window_clear(0, 0, 0);
  const float white[4] = {1, 1, 1, 1};
  draw_textured_rect(task.name, white, 100, 100, 200, 200, 0, 0, 1, 1);
  Image frame;
  ASSERT_EQ(read_window_pixels(frame), 0);
  expect_pixel(frame, 150, 150, 200, 30, 90, 1, "texture made by a worker");
  expect_pixel(frame, 250, 150, 0, 0, 0, 0, "outside it");
  queue_texture_deletion(task.name);
  EXPECT_EQ(drain_texture_deletions(), 1);
  swarm_stop();
}

}  // namespace
