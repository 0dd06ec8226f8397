// Opens the real window on a virtual display and checks what a frame puts on screen.

#include "platform/window_sdl.h"
#include "ui/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "core/app_state.h"
#include "core/log.h"
#include "io/mapped_file.h"
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
    app().language = 0;
    display.reset();  // after the window: the server goes with it
  }
  // Starts a virtual screen of the size given; "" when it is ready.
  std::string start_display(int width = 1024, int height = 768) {
    display = std::make_unique<VirtualDisplay>(width, height);
    return display->start();
  }
  std::unique_ptr<VirtualDisplay> display;
};

TEST_F(WindowSdl, OpensTheWindowAndDrawsAWizardFrame) {
  const std::string why = start_display();
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

TEST(WindowPlan, TheWindowFitsTheScreen) {
  WindowSettings s;
  // As tall as the screen: a borderless pop-up of the design size.
  WindowPlan p = plan_window(s, 800, 600, 800, 570);
  EXPECT_TRUE(p.fits);
  EXPECT_FALSE(p.caption);
  EXPECT_EQ(p.height, 600);
  // Too small a screen: the part of it the desktop's panels leave.
  p = plan_window(s, 800, 480, 800, 452);
  EXPECT_FALSE(p.fits);
  EXPECT_EQ(p.width, 800);
  EXPECT_EQ(p.height, 452);
  // The user's scale is kept where the desktop's would give way.
  s.scale = 2;
  p = plan_window(s, 1920, 1080, 1920, 1050);
  EXPECT_EQ(p.scale, 2);
  EXPECT_FALSE(p.fits);
  s.scale_from_desktop = true;
  p = plan_window(s, 1920, 1080, 1920, 1050);
  EXPECT_EQ(p.scale, 1);
  EXPECT_TRUE(p.fits && p.caption);
}

TEST_F(WindowSdl, OnASmallScreenThePageIsScaledIntoTheWindow) {
  if (!posix_system()) GTEST_SKIP() << "the Windows test session has one screen, of 1024x768";
  ASSERT_EQ(start_display(800, 480), "") << "no display for the window test";
  ASSERT_EQ(open_window(WindowSettings()), window_ok);
  ASSERT_EQ(window_info().width, 800);
  ASSERT_EQ(window_info().height, 480);
  // The whole page, four fifths of its size, between dark bars 80 pixels wide.
  EXPECT_FLOAT_EQ(ui().page_scale, 0.8f);
  EXPECT_FLOAT_EQ(ui().page_origin_x * ui().page_scale, 80);
  EXPECT_FLOAT_EQ(ui().page_origin_y, 0);
  // The mouse over the page's corners gives their page coordinates.
  while (pump_window_events(50) > 0) {
  }
  window_push_mouse(80, 480, 0);
  pump_window_events(100);
  EXPECT_FLOAT_EQ(ui().in.mouse_x, 0);
  EXPECT_FLOAT_EQ(ui().in.mouse_y, 0);
  window_push_mouse(720, 0, 1);
  pump_window_events(100);
  EXPECT_FLOAT_EQ(ui().in.mouse_x, 800);
  EXPECT_FLOAT_EQ(ui().in.mouse_y, 600);
  EXPECT_TRUE(ui().in.button_went_down);
}

// A line of text as FreeType itself draws it: each glyph's outline rendered with its
// origin on the pen's pixel and on the baseline's, its coverage brightened as the atlas
// brightens it, laid over the glyphs before it. Rows bottom first, `width` columns.
std::vector<float> freetype_line(const std::string& font_file, float scale, float scale_x, const std::string& text,
                                 float x, float y, int width, int height) {
  MappedFile file(font_file);
  const std::string bytes(file.begin(), file.size());
  FT_Library library;
  FT_Init_FreeType(&library);
  FT_Face face;
  FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes.data()), static_cast<FT_Long>(bytes.size()),
                     0, &face);
  FT_Set_Char_Size(face, 0, std::lround(k_font_size * scale * 64), 72, 72);
  FT_Matrix m = {static_cast<FT_Fixed>(scale_x * 0x10000L), 0, 0, 0x10000L};
  FT_Set_Transform(face, &m, nullptr);

  std::vector<float> line(static_cast<size_t>(width) * height, 0.0f);
  std::vector<unsigned char> glyph(line.size());
  const UiContext& c = ui();
  const long baseline = std::lround(std::floor((y + c.page_origin_y) * scale + 0.5f));
  float pen = x;
  for (size_t i = 0; i < text.size();) {
    const uint32_t cp = next_utf8(text, i);
    const long origin = std::lround(std::floor((pen + c.page_origin_x) * scale + 0.5f));
    pen += std::floor(glyph_advance(font_regular, cp) + 0.5f);
    if (FT_Load_Char(face, cp, FT_LOAD_TARGET_LIGHT) != 0) continue;
    FT_Outline& outline = face->glyph->outline;
    FT_Outline_Translate(&outline, origin * 64, baseline * 64);
    std::fill(glyph.begin(), glyph.end(), 0);
    FT_Bitmap target = {};
    target.rows = static_cast<unsigned>(height);
    target.width = static_cast<unsigned>(width);
    target.pitch = width;
    target.buffer = glyph.data();
    target.num_grays = 256;
    target.pixel_mode = FT_PIXEL_MODE_GRAY;
    FT_Outline_Get_Bitmap(library, &outline, &target);
    for (int r = 0; r < height; ++r)
      for (int col = 0; col < width; ++col) {
        const int v = glyph[static_cast<size_t>(r) * width + col];  // top row first
        const float a = static_cast<float>(std::lround(255.0 * std::pow(v / 255.0, 0.6))) / 255.0f;
        float& out = line[static_cast<size_t>(height - 1 - r) * width + col];
        out = a + (1 - a) * out;
      }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return line;
}

TEST_F(WindowSdl, GlyphsLandWhereFreeTypeDrawsThem) {
  ASSERT_EQ(start_display(), "") << "no display for the window test";
  ASSERT_EQ(open_window(WindowSettings()), window_ok);
  reset_colour_table();  // white text on black: a pixel's value is the glyph's coverage
  const std::string text = "Pick Finish \xD0\x92\xD1\x8B\xD0\xB1\xD0\xBE\xD1\x80 jump";  // "... Выбор jump"
  struct Case {
    int language;
    int window_w, window_h;  // the page fitted into a window of this size
  } cases[] = {{0, 800, 600}, {3, 800, 600}, {3, 1600, 1200}, {0, 1000, 700}, {3, 1000, 700}};
  for (const Case& k : cases) {
    app().language = k.language;
    reset_text_render();  // the Russian narrowing applies from the next font load
    fit_page_to_window(k.window_w, k.window_h);
    const float scale = ui().page_scale;
    window_clear(0, 0, 0);
    // Drawn within the real 800 x 600 back buffer whatever the page's scale.
    const float x = 9.3f, y = 150.0f;
    draw_text(colour_interface_tint, x, y, text, 0, weight_regular, align_left);
    Image frame;
    ASSERT_EQ(read_window_pixels(frame), 0);
    const std::vector<float> expected =
        freetype_line("RESOURCE:DejaVuSans.ttf", scale, k.language == 3 ? 0.9f : 1.0f, text, x, y, 800, 600);
    int ink = 0, wrong = 0;
    for (int row = 0; row < 600; ++row)
      for (int col = 0; col < 800; ++col) {
        const int want = static_cast<int>(std::lround(expected[static_cast<size_t>(row) * 800 + col] * 255));
        const int got = frame.pixel(col, row)[0];
        ink += want > 0;
        wrong += std::abs(want - got) > 2;
      }
    EXPECT_GT(ink, 200 * scale * scale) << "language " << k.language << ", scale " << scale;
    EXPECT_EQ(wrong, 0) << "language " << k.language << ", scale " << scale;
    window_swap();
  }
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
  ASSERT_EQ(start_display(), "") << "no display for the window test";
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

// Typed text is asked for only while a text field has the focus; a game controller's
// buttons, pad and stick arrive as the window's keys (through SDL's game controller
// interface, with SDL's virtual controller), a held direction repeating as a held key does.
TEST_F(WindowSdl, TextInputFollowsTheFieldAndAGameControllerArrivesAsKeys) {
  ASSERT_EQ(start_display(), "");
  ASSERT_EQ(open_window(WindowSettings()), window_ok);
  EXPECT_FALSE(window_text_input_on());
  std::string name = "Zephiro";
  auto frame = [&]() {
    begin_input_frame();
    pump_window_events(0);
    text_field(250, 330, name, 50, "", 300, true, "Name:");
    choice_button(500, 250, 200, false, 1, "Other", "-");
  };
  frame();  // the field takes the focus as the page's main widget
  frame();
  EXPECT_TRUE(window_text_input_on());
  give_key('a', 0, "a");      // types while text input is on
  frame();
  frame();
  EXPECT_EQ(name, "Zephiroa");
  give_key(key_tab, 0);
  frame();  // Tab moves the focus to the button
  frame();
  EXPECT_FALSE(window_text_input_on());
  give_key('b', 0, "b");  // with text input off, the key types nothing
  frame();
  frame();
  EXPECT_EQ(name, "Zephiroa");

  // The controller: attached, it arrives with the next events and is opened.
  ASSERT_EQ(window_virtual_pad_attach(), 0);
  std::vector<WindowEvent> events;
  auto pump_for = [&](int ms) {
    events.clear();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) window_pump_events(5, events);
  };
  pump_for(200);
  auto keys_of = [&]() {
    std::vector<std::pair<int, int>> keys;
    for (const WindowEvent& e : events)
      if (e.kind == window_event_key_down && !e.repeat) keys.push_back({e.key, e.mods});
    return keys;
  };
  const struct {
    int button;
    int key, mods;
  } presses[] = {{pad_a, window_key_activate, 0},     {pad_b, window_key_escape, 0},
                 {pad_start, window_key_return, 0},   {pad_right_shoulder, window_key_tab, 0},
                 {pad_left_shoulder, window_key_tab, window_mod_shift}, {pad_up, window_key_up, 0},
                 {pad_left, window_key_left, 0},      {pad_x, 0, 0}};
  for (const auto& press : presses) {
    ASSERT_EQ(window_virtual_pad_button(press.button, true), 0);
    pump_for(60);
    ASSERT_EQ(window_virtual_pad_button(press.button, false), 0);
    std::vector<std::pair<int, int>> keys = keys_of();
    pump_for(60);
    const std::vector<std::pair<int, int>> after = keys_of();
    keys.insert(keys.end(), after.begin(), after.end());
    if (press.key == 0) {
      EXPECT_TRUE(keys.empty()) << press.button;  // X means nothing here
    } else {
      ASSERT_EQ(keys.size(), 1u) << press.button;
      EXPECT_EQ(keys[0].first, press.key) << press.button;
      EXPECT_EQ(keys[0].second, press.mods) << press.button;
    }
  }
  // A direction held repeats after a pause; letting go ends it.
  ASSERT_EQ(window_virtual_pad_button(pad_down, true), 0);
  pump_for(900);
  int downs = 0, repeats = 0;
  for (const WindowEvent& e : events)
    if (e.kind == window_event_key_down && e.key == window_key_down) (e.repeat ? repeats : downs) += 1;
  EXPECT_EQ(downs, 1);
  EXPECT_GE(repeats, 2);
  ASSERT_EQ(window_virtual_pad_button(pad_down, false), 0);
  pump_for(400);
  EXPECT_TRUE(events.empty());
  // The left stick: pushed past the middle it is an arrow; back in the middle nothing more.
  ASSERT_EQ(window_virtual_pad_stick(1, 0), 0);
  pump_for(60);
  ASSERT_EQ(keys_of().size(), 1u);
  EXPECT_EQ(keys_of()[0].first, window_key_right);
  ASSERT_EQ(window_virtual_pad_stick(0, -1), 0);
  pump_for(60);
  ASSERT_EQ(keys_of().size(), 1u);
  EXPECT_EQ(keys_of()[0].first, window_key_up);
  ASSERT_EQ(window_virtual_pad_stick(0.1f, 0), 0);
  pump_for(500);
  EXPECT_TRUE(keys_of().empty());
}
