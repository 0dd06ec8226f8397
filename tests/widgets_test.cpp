#include "ui/widgets.h"

#include <cmath>

#include "tests/ui_fixture.h"
#include "ui/png_image.h"
#include "ui/sprites.h"

namespace {

class WidgetsTest : public UiFixture {
 protected:
  const SpriteNote* sprite(int number, size_t nth = 0) {
    for (const SpriteNote& s : rec.sprites)
      if (s.sprite == number && nth-- == 0) return &s;
    return nullptr;
  }
  // Label quads (22 units tall) from the button label atlas drawn this frame.
  std::vector<RecordedQuads> atlas_quads() {
    std::vector<RecordedQuads> out;
    for (const RecordedQuads& q : rec.drawn)
      if (q.texture != 0 && q.texture == texture_name(slot_button_atlas) && q.quads[0].y[2] - q.quads[0].y[0] == 22)
        out.push_back(q);
    return out;
  }
  static Image blank(int w, int h) {
    Image image;
    image.width = w;
    image.height = h;
    image.rgba.assign(static_cast<size_t>(w) * h * 4, 255);
    return image;
  }
  void SetUp() override {
    UiFixture::SetUp();
    // Empty textures in the artwork slots so quads can be told apart by texture.
    load_texture_image(slot_interface, "scratch_array-interface", blank(512, 512));
    load_texture_image(slot_button_atlas, "RESOURCE:elements_English.png", blank(1024, 128));
  }
};

TEST_F(WidgetsTest, BottomButtonWidthsFollowTheLanguagesAtlas) {
  app().language = 2;
  int width = 0;
  frame(0, 0);
  bottom_button(770, 12, label_continue, button_ends_at, &width, true, look_normal);
  EXPECT_EQ(width, 95);  // German CONTINUE spans 181..256
  const WidgetNote* w = rec.widget("bottom_button");
  ASSERT_NE(w, nullptr);
  EXPECT_FLOAT_EQ(w->x0, 770 - 75);
  EXPECT_FLOAT_EQ(w->x1, 770);
  EXPECT_FLOAT_EQ(w->y0, 12);
  EXPECT_FLOAT_EQ(w->y1, 34);
  std::vector<RecordedQuads> labels = atlas_quads();
  ASSERT_EQ(labels.size(), 1u);
  const DrawQuad& q = labels[0].quads[0];
  EXPECT_FLOAT_EQ(q.u[0] * 1024, 181);
  EXPECT_FLOAT_EQ(q.u[1] * 1024, 256);
  EXPECT_FLOAT_EQ(q.v[0] * 128, 46);  // normal row
  EXPECT_FLOAT_EQ(q.v[2] * 128, 68);

  const int english[7] = {56, 89, 101, 111, 132, 116, 86};
  for (int lang : {0, 7, -1}) {  // an unknown language uses the English atlas
    app().language = lang;
    for (int label = 0; label < 7; ++label) {
      bottom_button(400, 12, label, button_centred, &width, true, look_normal);
      EXPECT_EQ(width, english[label] + 20) << label;
    }
  }
}

TEST_F(WidgetsTest, BottomButtonAlignmentPlacesTheLabel) {
  frame(0, 0);
  bottom_button(30, 12, label_quit, button_starts_at, nullptr, true, look_normal);
  bottom_button(400, 12, label_quit, button_centred, nullptr, true, look_normal);
  EXPECT_FLOAT_EQ(rec.widget("bottom_button", 0)->x0, 30);
  EXPECT_FLOAT_EQ(rec.widget("bottom_button", 1)->x0, 400 - 28);
  const SpriteNote* s = sprite(11);
  ASSERT_NE(s, nullptr);
  EXPECT_FLOAT_EQ(s->cx, 30 + 28);
  EXPECT_FLOAT_EQ(s->cy, 22.5f);
  EXPECT_FLOAT_EQ(s->width, 76);
}

TEST_F(WidgetsTest, BottomButtonLooksFollowHoverPressAndDisabled) {
  // Not hovered, disabled: sprite 13 and a half-transparent label.
  frame(0, 0);
  bottom_button(770, 12, label_continue, button_ends_at, nullptr, false, look_disabled);
  EXPECT_NE(sprite(13), nullptr);
  EXPECT_FLOAT_EQ(atlas_quads()[0].rgba[3], 0.5f);
  // Hovered, enabled: sprite 11 and the hover row.
  frame(720, 20);
  bottom_button(770, 12, label_continue, button_ends_at, nullptr, true, look_normal);
  EXPECT_NE(sprite(11), nullptr);
  EXPECT_FLOAT_EQ(atlas_quads()[0].quads[0].v[0] * 128, 0);
  EXPECT_FLOAT_EQ(atlas_quads()[0].rgba[3], 1.0f);
  // Held down over it: sprite 12 and the pressed row.
  frame(720, 20, true);
  bottom_button(770, 12, label_continue, button_ends_at, nullptr, true, look_normal);
  EXPECT_NE(sprite(12), nullptr);
  EXPECT_FLOAT_EQ(atlas_quads()[0].quads[0].v[0] * 128, 23);
}

TEST_F(WidgetsTest, ADisabledBottomButtonStillReportsAClick) {
  frame(720, 20, true);
  EXPECT_EQ(bottom_button(770, 12, label_continue, button_ends_at, nullptr, false, look_disabled), 1);
  const WidgetNote* w = rec.widget("bottom_button");
  EXPECT_TRUE(w->clicked);
  EXPECT_FALSE(w->enabled);
  EXPECT_NE(sprite(13), nullptr);  // a disabled button never shows the hover look
  // Outside its label, or with the button only held from before, nothing happens.
  frame(640, 20, true);
  EXPECT_EQ(bottom_button(770, 12, label_continue, button_ends_at, nullptr, true, look_normal), 0);
  frame(720, 20);
  ui().in.button_held = true;
  EXPECT_EQ(bottom_button(770, 12, label_continue, button_ends_at, nullptr, true, look_normal), 0);
  frame(720, 35, true);
  EXPECT_EQ(bottom_button(770, 12, label_continue, button_ends_at, nullptr, true, look_normal), 0);
}

TEST_F(WidgetsTest, CheckBoxDrawsOnlyTheRightPartOfIAgree) {
  int agreed = 0;
  frame(0, 0);
  check_box(250, 300, agreed, "|-I agree!", false);
  ASSERT_EQ(rec.texts.size(), 1u);
  EXPECT_EQ(rec.texts[0].text, "I agree!");
  EXPECT_FLOAT_EQ(rec.texts[0].line_x, 262);
  EXPECT_EQ(rec.texts[0].colour, colour_label);
  for (const RecordedQuads& q : rec.drawn) {
    if (q.texture != texture_name(slot_font_regular)) continue;
    for (const DrawQuad& g : q.quads) EXPECT_GT(g.x[0], 250);
  }
  // The box and no tick: one 18 x 18 quad centred on (250, 303).
  int interface_quads = 0;
  for (const RecordedQuads& q : rec.drawn)
    if (q.texture == texture_name(slot_interface)) {
      ++interface_quads;
      EXPECT_FLOAT_EQ(q.quads[0].x[0], 241);
      EXPECT_FLOAT_EQ(q.quads[0].y[2], 312);
      EXPECT_FLOAT_EQ(q.quads[0].u[0] * 512, 139);
      EXPECT_FLOAT_EQ(q.quads[0].v[0] * 512, 178);
    }
  EXPECT_EQ(interface_quads, 1);
}

TEST_F(WidgetsTest, CheckBoxFlipsOnClicksInsideItsHitArea) {
  int bound = 0;
  frame(258, 296, true);  // the corner of the hit area
  EXPECT_EQ(check_box(250, 300, bound, "|-I agree!{Tick to accept", false), 1);
  EXPECT_EQ(bound, 1);
  EXPECT_EQ(ui().help_text, "Tick to accept");
  frame(250, 312, true);
  EXPECT_EQ(check_box(250, 300, bound, "|-I agree!", false), 1);
  EXPECT_EQ(bound, 0);
  for (auto [x, y] : {std::pair{259.0f, 300.0f}, {250.0f, 295.0f}, {250.0f, 313.0f}, {270.0f, 300.0f}}) {
    frame(x, y, true);
    EXPECT_EQ(check_box(250, 300, bound, "|-I agree!", false), 0) << x << "," << y;
  }
  EXPECT_EQ(bound, 0);
  // Ticked: the tick is drawn over the box.
  bound = 1;
  frame(0, 0);
  check_box(250, 300, bound, "Left side|", true);
  int quads = 0;
  for (const RecordedQuads& q : rec.drawn)
    if (q.texture == texture_name(slot_interface)) ++quads;
  EXPECT_EQ(quads, 2);
  ASSERT_EQ(rec.texts.size(), 1u);
  EXPECT_FLOAT_EQ(rec.texts[0].line_x + rec.texts[0].width, 238);
}

TEST_F(WidgetsTest, LongLabelsBesideAWidgetSplitNearTheirMiddle) {
  EXPECT_EQ(label_lines("Pick a folder"), (std::vector<std::string>{"Pick a", "folder"}));  // 13 characters
  EXPECT_EQ(label_lines("Twelve chars"), (std::vector<std::string>{"Twelve chars"}));
  EXPECT_EQ(label_lines("Documents/Zephiro"), (std::vector<std::string>{"Documents/", "Zephiro"}));
  EXPECT_EQ(label_lines("Self-installing"), (std::vector<std::string>{"Self-", "installing"}));
  EXPECT_EQ(label_lines("-Never split this long label"), (std::vector<std::string>{"Never split this long label"}));
  EXPECT_EQ(label_lines("Unsplittablelabel"), (std::vector<std::string>{"Unsplittablelabel"}));
  // Characters, not bytes, decide the length and the middle.
  EXPECT_EQ(label_lines("\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9"), (std::vector<std::string>{"\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9"}));
  EXPECT_TRUE(label_lines("").empty());

  int bound = 0;
  frame(0, 0);
  check_box(100, 200, bound, "|Pick a folder", false);
  ASSERT_EQ(rec.texts.size(), 2u);
  EXPECT_EQ(rec.texts[0].text, "Pick a");
  EXPECT_EQ(rec.texts[0].line_y, 205);
  EXPECT_EQ(rec.texts[1].text, "folder");
  EXPECT_EQ(rec.texts[1].line_y, 195);
}

TEST_F(WidgetsTest, LabelSyntaxSplitsAtTheLastBarAndBrace) {
  WidgetLabel l = split_widget_label("left|right{help");
  EXPECT_EQ(l.left, "left");
  EXPECT_EQ(l.right, "right");
  EXPECT_EQ(l.help, "help");
  l = split_widget_label("a|b|c{x{y");
  EXPECT_EQ(l.left, "a|b");
  EXPECT_EQ(l.right, "c{x");  // the help starts at the last brace
  EXPECT_EQ(l.help, "y");
  l = split_widget_label("just text");
  EXPECT_EQ(l.left, "just text");
  EXPECT_EQ(l.right, "");
  EXPECT_EQ(l.help, "");
  l = split_widget_label("{only help");
  EXPECT_EQ(l.left, "");
  EXPECT_EQ(l.help, "only help");
}

TEST_F(WidgetsTest, ChoiceButtonFitsDrawsAndShowsThePressAtOnce) {
  frame(0, 0);
  choice_button(500, 350, 0, false, 1, "Install{Install a new copy", "-");
  ASSERT_EQ(rec.texts.size(), 1u);  // no side caption
  EXPECT_EQ(rec.texts[0].text, "Install");
  EXPECT_FLOAT_EQ(rec.texts[0].line_x + rec.texts[0].width / 2, 500);
  EXPECT_EQ(rec.texts[0].line_y, 347);
  const float fitted = measure_text("Install") + 21;
  EXPECT_FLOAT_EQ(sprite(2)->width, fitted);
  EXPECT_EQ(sprite(3), nullptr);

  frame(500 + fitted / 2, 360, true);
  EXPECT_EQ(choice_button(500, 350, 0, false, 1, "Install{Install a new copy", "-"), 1);
  EXPECT_EQ(rec.presents, 1);
  EXPECT_NE(sprite(3), nullptr);
  EXPECT_TRUE(rec.widget("choice_button")->pressed_now);
  EXPECT_EQ(ui().help_text, "Install a new copy");

  // Kind 0, or a button already on, acts without the early show.
  frame(500, 350, true);
  EXPECT_EQ(choice_button(500, 350, 250, false, 0, "Repair", "-"), 1);
  EXPECT_EQ(choice_button(500, 350, 250, true, 1, "Repair", "-"), 1);
  EXPECT_EQ(rec.presents, 0);
  // Outside the hit area, or while something is being dragged: no click.
  frame(500, 361, true);
  EXPECT_EQ(choice_button(500, 350, 250, false, 1, "Repair", "-"), 0);
  frame(500, 350, true);
  ui().in.drag = 3;
  EXPECT_EQ(choice_button(500, 350, 250, false, 1, "Repair", "-"), 0);
}

TEST_F(WidgetsTest, ChoiceButtonOnLookHighlightAndSideCaption) {
  frame(0, 0);
  choice_button(500, 300, 250, true, 2, "English", "The language of the program");
  EXPECT_NE(sprite(3), nullptr);
  ASSERT_EQ(rec.texts.size(), 2u);
  EXPECT_EQ(rec.texts[0].colour, colour_highlight);
  EXPECT_EQ(rec.texts[1].colour, colour_step);
  EXPECT_FLOAT_EQ(rec.texts[1].line_x, 500 + 125 + 10);
  EXPECT_FLOAT_EQ(rec.texts[1].line_y, 307);
  EXPECT_FLOAT_EQ(rec.texts[1].wrap, 500);
  rec.clear();
  choice_button(500, 300, 250, true, 1, "-English", "-");
  EXPECT_EQ(rec.texts[0].colour, colour_label);
  EXPECT_EQ(rec.texts[0].text, "English");
}

TEST_F(WidgetsTest, RadioItemsStoreTheirValue) {
  int language = 0;
  frame(100, 100, true);
  EXPECT_EQ(radio_item(100, 100, language, 2, "|Deutsch"), 1);
  EXPECT_EQ(language, 2);
  frame(100, 100, true);
  EXPECT_EQ(radio_item(100, 100, language, 2, "|Deutsch"), 1);  // already ticked: stays
  EXPECT_EQ(language, 2);
  frame(0, 0);
  radio_item(100, 100, language, 2, "|Deutsch");
  radio_item(100, 80, language, 3, "|Russian");
  int quads = 0;
  for (const RecordedQuads& q : rec.drawn)
    if (q.texture == texture_name(slot_interface)) {
      ++quads;
      EXPECT_FLOAT_EQ(q.quads[0].u[0] * 512, 83);  // the alternative look
    }
  EXPECT_EQ(quads, 3);  // two boxes, one tick
}

TEST_F(WidgetsTest, StretchedSpritesCoverTheirWidthWithCapsAndTiles) {
  frame(0, 0);
  draw_sprite(4, 500, 155, 520);
  float covered = 0, left = 1e9f, right = -1e9f;
  for (const RecordedQuads& q : rec.drawn)
    for (const DrawQuad& d : q.quads) {
      covered += d.x[1] - d.x[0];
      left = std::min(left, d.x[0]);
      right = std::max(right, d.x[1]);
      EXPECT_FLOAT_EQ(d.y[0], 155 - 8);
      EXPECT_FLOAT_EQ(d.y[2], 155 + 8);
    }
  EXPECT_FLOAT_EQ(covered, 520);
  EXPECT_FLOAT_EQ(left, 240);
  EXPECT_FLOAT_EQ(right, 760);
  EXPECT_FLOAT_EQ(rec.drawn.front().quads[0].x[1] - rec.drawn.front().quads[0].x[0], 10);  // the cap

  rec.clear();
  draw_progress_bar(500, 155, 520, 0.5f);
  ASSERT_EQ(rec.sprites.size(), 2u);
  EXPECT_FLOAT_EQ(rec.sprites[1].cx - rec.sprites[1].width / 2, 240);
  EXPECT_FLOAT_EQ(rec.sprites[1].cx + rec.sprites[1].width / 2, 500);
}

TEST_F(WidgetsTest, FramesAreTiledInsideTheirRectangle) {
  frame(0, 0);
  draw_frame(23, 210, 50, 580, 453, "", 1.0f);
  double area = 0;
  for (const RecordedQuads& q : rec.drawn)
    for (const DrawQuad& d : q.quads) {
      EXPECT_GE(d.x[0], 210);
      EXPECT_LE(d.x[1], 790.001);
      EXPECT_GE(d.y[0], 50);
      EXPECT_LE(d.y[2], 503.001);
      area += (d.x[1] - d.x[0]) * (d.y[2] - d.y[0]);
    }
  EXPECT_NEAR(area, 580.0 * 453.0, 0.5);
  ASSERT_EQ(rec.frames.size(), 1u);
  EXPECT_EQ(rec.frames[0].style, 23);
}

TEST_F(WidgetsTest, UnknownSpritesAndFramesRaiseCrashAlerts) {
  draw_sprite(7, 0, 0, 10);
  draw_frame(15, 0, 0, 10, 10, "", 1);
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[0].lines[0], "Bad BTN_frame1 call!");
  EXPECT_EQ(alerts[1].lines[0], "Bad BTN_frame2 call!");
  EXPECT_EQ(alerts[0].kind, alert_crash);
  EXPECT_EQ(alerts[0].file, "butn");
  EXPECT_TRUE(rec.drawn.empty());
}

}  // namespace
