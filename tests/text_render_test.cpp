#include "ui/text_render.h"

#include <cmath>
#include <string>

#include "core/user_text.h"
#include "tests/test_util.h"
#include "tests/ui_fixture.h"

namespace {

class TextRenderTest : public UiFixture {};

const std::string k_long =
    "Zephiro 9 installs the simulator from the DVDs into a new folder and lets you choose the world "
    "scenery you want on a map of ten by ten degree tiles, then copies and checks every file.";

TEST_F(TextRenderTest, WrapWidthOf9999OrZeroNeverWraps) {
  for (float wrap : {9999.0f, 0.0f, -5.0f}) {
    rec.clear();
    const float y = draw_text(12, 10, 300, k_long, wrap, weight_regular, align_left);
    EXPECT_EQ(y, 300) << wrap;
    ASSERT_EQ(rec.texts.size(), 1u) << wrap;
    EXPECT_EQ(rec.texts[0].text, k_long);
    EXPECT_GT(rec.texts[0].width, 600);
  }
}

TEST_F(TextRenderTest, WrapsAtTheLastSpaceAndStepsTenUnits) {
  const float y = draw_text(12, 230, 440, k_long, 200, weight_regular, align_left);
  ASSERT_GT(rec.texts.size(), 2u);
  std::string joined;
  for (size_t i = 0; i < rec.texts.size(); ++i) {
    const TextNote& t = rec.texts[i];
    EXPECT_EQ(t.line_y, 440 - 10.0f * i);
    // Only the text's last character may reach past the width: the walk counts it.
    EXPECT_LE(t.width, i + 1 < rec.texts.size() ? 200 : 212) << t.text;
    EXPECT_NE(t.text.back(), ' ');
    EXPECT_NE(t.text.front(), ' ');
    joined += (i ? " " : "") + t.text;
  }
  EXPECT_EQ(joined, k_long);
  EXPECT_EQ(y, 440 - 10.0f * rec.texts.size());
}

// A size's number and unit are joined by a no-break space: at every wrap width the line
// breaks elsewhere, and the joint is as wide as a space.
TEST_F(TextRenderTest, ANoBreakSpaceKeepsASizeOnOneLine) {
  const std::string nbsp = k_no_break_space;
  const std::string text = "This removes 312 files and frees 20" + nbsp + "MB. Disk size: 258.0" + nbsp +
                           "GB; free disk space: 78.8" + nbsp + "GB.";
  EXPECT_EQ(measure_text("20" + nbsp + "MB"), measure_text("20 MB"));
  const float whole = measure_text(text);
  int wrapped = 0;
  for (float wrap = measure_text("258.0" + nbsp + "GB;") + 1; wrap < whole; wrap += 1) {
    rec.clear();
    draw_text(12, 0, 300, text, wrap, weight_regular, align_left);
    std::string joined;
    for (const TextNote& t : rec.texts) {
      for (const char* unit : {"MB", "GB"}) EXPECT_NE(t.text.rfind(unit, 0), 0u) << wrap << ": " << t.text;
      joined += (joined.empty() ? "" : " ") + t.text;
    }
    EXPECT_EQ(joined, text) << wrap;
    wrapped += rec.texts.size() > 1;
  }
  EXPECT_GT(wrapped, 100);
}

TEST_F(TextRenderTest, AWordLongerThanTheWrapWidthIsCutAtTheWidth) {
  const std::string word = "Supercalifragilisticexpialidocious";
  draw_text(12, 0, 100, word, 50, weight_regular, align_left);
  ASSERT_GT(rec.texts.size(), 2u);
  std::string joined;
  for (size_t i = 0; i + 1 < rec.texts.size(); ++i) {
    const TextNote& t = rec.texts[i];
    // The character that reached the width belongs to the line.
    EXPECT_GE(t.width, 50) << t.text;
    EXPECT_LT(t.width - std::floor(glyph_advance(0, static_cast<unsigned char>(t.text.back())) + 0.5f), 50);
  }
  for (const TextNote& t : rec.texts) joined += t.text;
  EXPECT_EQ(joined, word);
}

TEST_F(TextRenderTest, LineBreaksStartNewLinesAndStepOnlyWhenWrapping) {
  float y = draw_text(12, 20, 300, "first line\nsecond  line", k_no_wrap, weight_regular, align_left);
  ASSERT_EQ(rec.texts.size(), 2u);
  EXPECT_EQ(rec.texts[0].text, "first line");
  EXPECT_EQ(rec.texts[1].text, "second  line");
  EXPECT_EQ(rec.texts[1].line_y, 300);  // no wrapping: no line step
  EXPECT_EQ(y, 300);

  rec.clear();
  y = draw_text(12, 20, 300, "one two\r\n   three\n\nfour", 540, weight_regular, align_left);
  ASSERT_EQ(rec.texts.size(), 4u);
  EXPECT_EQ(rec.texts[0].text, "one two");  // a line ended by a break is not cut at its last space
  EXPECT_EQ(rec.texts[1].text, "three");   // spaces after the break are skipped
  EXPECT_EQ(rec.texts[2].text, "");
  EXPECT_EQ(rec.texts[3].text, "four");
  EXPECT_EQ(rec.texts[3].line_y, 270);
  EXPECT_EQ(y, 260);
}

TEST_F(TextRenderTest, CentredAndRightAlignedLinesUseEachLinesWidth) {
  draw_text(12, 500, 480, k_long, 540 / 3.0f, weight_bold, align_centre);
  ASSERT_GT(rec.texts.size(), 2u);
  bool widths_differ = false;
  for (const TextNote& t : rec.texts) {
    EXPECT_FLOAT_EQ(t.line_x + t.width / 2, 500) << t.text;
    EXPECT_EQ(t.weight, weight_bold);
    EXPECT_EQ(t.align, align_centre);
    widths_differ |= t.width != rec.texts[0].width;
  }
  EXPECT_TRUE(widths_differ);

  rec.clear();
  draw_text(50, 770, 100, "GO BACK", 0, weight_regular, align_right);
  ASSERT_EQ(rec.texts.size(), 1u);
  EXPECT_FLOAT_EQ(rec.texts[0].line_x + rec.texts[0].width, 770);
  const float* c = colour_rgb(50);
  EXPECT_EQ(rec.texts[0].rgb[0], c[0]);
  EXPECT_EQ(rec.texts[0].colour, 50);
}

TEST_F(TextRenderTest, GlyphQuadsFollowThePenAndTheAtlasUploadsOnce) {
  draw_text(12, 100, 200, "Hi there", 0, weight_regular, align_left);
  ASSERT_EQ(rec.drawn.size(), 1u);  // one batch for the line
  const RecordedQuads& q = rec.drawn[0];
  EXPECT_EQ(q.texture, texture_name(slot_font_regular));
  EXPECT_EQ(q.quads.size(), 7u);  // the space has no bitmap
  for (size_t i = 1; i < q.quads.size(); ++i) EXPECT_GT(q.quads[i].x[0], q.quads[i - 1].x[0]);
  EXPECT_NEAR(q.quads[0].x[0], 100, 2);
  const TextureSlot* slot = texture_slot(slot_font_regular);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(slot->source, "scratch_array-fonts");
  EXPECT_EQ(slot->texture_width, 1024);
  const int uploads = rec.uploads;
  draw_text(12, 100, 200, "Hi there", 0, weight_regular, align_left);
  EXPECT_EQ(rec.uploads, uploads);  // nothing new to upload
}

TEST_F(TextRenderTest, TabAddsNoWidth) {
  EXPECT_FLOAT_EQ(measure_text("a\tb"), measure_text("ab"));
  EXPECT_EQ(glyph_advance(font_regular, '\t'), 0.0f);
  draw_text(12, 0, 0, "x\t\ty", 0, weight_regular, align_left);
  const float with_tabs = rec.texts[0].width;
  draw_text(12, 0, 0, "xy", 0, weight_regular, align_left);
  EXPECT_EQ(with_tabs, rec.texts[1].width);
}

TEST_F(TextRenderTest, RussianAdvancesAreNineTenthsOfNormal) {
  const std::string text = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 world";  // "Привет world"
  const float normal_glyph = glyph_advance(font_regular, 0x416);
  const float normal_bold = glyph_advance(font_bold, 'W');
  const float normal = measure_text(text);
  app().language = 3;
  reset_text_render();  // the scale applies from the next font load
  EXPECT_NEAR(glyph_advance(font_regular, 0x416), normal_glyph * 0.9f, 1e-4);
  EXPECT_NEAR(glyph_advance(font_bold, 'W'), normal_bold * 0.9f, 1e-4);
  EXPECT_NEAR(measure_text(text), normal * 0.9f, 1e-3);
  EXPECT_GT(normal, 40);
}

TEST_F(TextRenderTest, FixedWeightsAdvanceByTheirWidth) {
  draw_text(12, 0, 0, "iWi", 0, weight_fixed6, align_left);
  draw_text(12, 0, 0, "iWi", 0, weight_fixed8, align_left);
  draw_text(12, 0, 0, "iWi", 0, weight_fixed10, align_left);
  ASSERT_EQ(rec.texts.size(), 3u);
  EXPECT_EQ(rec.texts[0].width, 18);
  EXPECT_EQ(rec.texts[1].width, 24);
  EXPECT_EQ(rec.texts[2].width, 30);
  EXPECT_EQ(rec.drawn[0].texture, texture_name(slot_font_bold));
}

TEST_F(TextRenderTest, EmptyTextDrawsNothing) {
  EXPECT_EQ(draw_text(12, 5, 77, "", 100, weight_regular, align_left), 77);
  EXPECT_TRUE(rec.texts.empty());
  EXPECT_TRUE(rec.drawn.empty());
}

TEST_F(TextRenderTest, Utf8WalkDecodesAndNeverStalls) {
  const std::string s = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // A é € 😀
  size_t pos = 0;
  EXPECT_EQ(next_utf8(s, pos), 0x41u);
  EXPECT_EQ(next_utf8(s, pos), 0xE9u);
  EXPECT_EQ(next_utf8(s, pos), 0x20ACu);
  EXPECT_EQ(next_utf8(s, pos), 0x1F600u);
  EXPECT_EQ(pos, s.size());

  // A truncated sequence and stray continuation bytes are stepped over.
  const std::string broken = "\xE2\x82" "b\x80\x80" "c\xF0";
  pos = 0;
  std::vector<uint32_t> seen;
  while (pos < broken.size()) seen.push_back(next_utf8(broken, pos));
  ASSERT_EQ(seen.size(), 4u);  // the cut euro sign, b, c and the lone lead byte
  EXPECT_EQ(seen[1], static_cast<uint32_t>('b'));
  EXPECT_EQ(seen[2], static_cast<uint32_t>('c'));

  draw_text(12, 0, 0, broken + " tail", 30, weight_regular, align_left);
  EXPECT_FALSE(rec.texts.empty());
}

TEST_F(TextRenderTest, AtlasGrowsByPowersOfTwoAndIsCounted) {
  std::string many;
  for (uint32_t cp = 0x21; cp < 0x17F; ++cp) {
    if (cp < 0x80) many += static_cast<char>(cp);
    else {
      many += static_cast<char>(0xC0 | (cp >> 6));
      many += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  draw_text(12, 0, 0, many, 0, weight_regular, align_left);
  const FontMetrics m = font_metrics(font_regular);
  EXPECT_GT(m.atlas_rows, 16);
  EXPECT_EQ(m.atlas_rows & (m.atlas_rows - 1), 0);
  EXPECT_GE(m.glyph_count, 300u);
  EXPECT_EQ(glyph_atlas_bytes(), static_cast<size_t>(m.atlas_rows) * 1024);
  EXPECT_GT(m.ascent, 8);
  EXPECT_GT(m.descent, 1);
  EXPECT_GT(m.line_height, m.ascent);
}

TEST_F(TextRenderTest, UnrenderableCodePointsDrawNothing) {
  EXPECT_EQ(glyph_advance(font_regular, 0xE000), 0.0f);  // private use: not in the font
  draw_text(12, 0, 0, "\xEE\x80\x80", 0, weight_regular, align_left);
  EXPECT_TRUE(rec.drawn.empty());
}

TEST_F(TextRenderTest, FontFailuresRaiseFatalAlerts) {
  EXPECT_EQ(font_load(font_regular, "RESOURCE:NoSuchFont.ttf", 10.5f), font_unreadable);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, alert_quit);
  EXPECT_EQ(alerts[0].lines[0], "Error: unable to make font from file");
  EXPECT_EQ(alerts[0].lines[1], "RESOURCE:NoSuchFont.ttf");
  EXPECT_EQ(alerts[0].lines[2], "(We could not open the file and read its contents.)");
  EXPECT_EQ(alerts[0].file, "OGL_font");

  TempDir dir;
  write_file(dir / "junk.ttf", "this is not a font file at all");
  EXPECT_EQ(font_load(font_bold, dir / "junk.ttf", 10.5f), font_bad_file);
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[1].lines[2], "(Free-type could not process the .ttf file.)");
  // A font that failed draws nothing and is not tried again every frame.
  EXPECT_EQ(draw_text(12, 0, 0, "x", 0, weight_bold, align_left), 0);
  EXPECT_EQ(alerts.size(), 2u);
}

}  // namespace
