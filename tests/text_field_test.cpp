#include "ui/text_field.h"

#include "tests/ui_fixture.h"

namespace {

class TextFieldTest : public UiFixture {
 protected:
  void key(int k, int mods = 0) {
    KeyEvent e;
    e.key = k;
    e.mods = mods;
    ui().in.keys.push_back(e);
  }
  void type(const std::string& text) {
    KeyEvent e;
    e.key = key_text;
    e.text = text;
    ui().in.keys.push_back(e);
  }
  // One frame of a field at (250, 200), 300 wide, with the focus given by a click.
  int field(std::string& text, size_t max = 100, bool auto_focus = true) {
    return text_field(250, 200, text, max, "The folder", 300, auto_focus);
  }
};

TEST_F(TextFieldTest, PasteIntoAShortFieldKeepsOnlyWhatFits) {
  std::string text = "ab";
  frame(0, 0);
  field(text, 8);
  ui().clipboard = "CDEFGHIJKLMN";
  frame(0, 0);
  key('v', mod_ctrl);
  EXPECT_EQ(field(text, 8), 1);
  EXPECT_EQ(text, "abCDEFGH");
  // Characters count, not bytes: a cut never splits one.
  ui().clipboard = "\xC3\xA9\xC3\xA9\xC3\xA9";
  std::string other;
  frame(0, 0);
  field(text, 8, false);
  text.clear();
  frame(0, 0);
  key('v', mod_ctrl);
  field(text, 2);
  EXPECT_EQ(text, "\xC3\xA9\xC3\xA9");
}

TEST_F(TextFieldTest, TypingInsertsUtf8AndBackspaceRemovesWholeCharacters) {
  std::string text;
  frame(0, 0);
  type("Caf\xC3\xA9 ");
  type("\xE2\x82\xAC" "5");
  EXPECT_EQ(field(text), 1);
  EXPECT_EQ(text, "Caf\xC3\xA9 \xE2\x82\xAC" "5");
  frame(0, 0);
  key(key_left);
  key(key_backspace);  // the euro sign
  key(key_home);
  key(key_delete);
  type("K");
  field(text);
  EXPECT_EQ(text, "Kaf\xC3\xA9 5");
  frame(0, 0);
  EXPECT_EQ(field(text), 0);  // nothing happened this frame
}

TEST_F(TextFieldTest, CutCopyAndSelectWithTheKeyboard) {
  std::string text = "/home/pilot/Zephiro";
  frame(0, 0);
  field(text);
  frame(0, 0);
  key(key_left, mod_shift);
  key(key_left, mod_shift);
  key('c', mod_ctrl);
  field(text);
  EXPECT_EQ(ui().clipboard, "ro");
  frame(0, 0);
  key(key_left);  // collapses the selection to its start
  key(key_home, mod_shift);
  key('x', mod_ctrl);
  field(text);
  EXPECT_EQ(ui().clipboard, "/home/pilot/Zephi");
  EXPECT_EQ(text, "ro");
  frame(0, 0);
  key('a', mod_ctrl);
  type("new");
  field(text);
  EXPECT_EQ(text, "new");
}

TEST_F(TextFieldTest, PastedLineBreaksBecomeSpacesAndTrailingOnesGo) {
  std::string text;
  ui().clipboard = "line one\r\nline two\n";
  frame(0, 0);
  key('v', mod_ctrl);
  field(text);
  EXPECT_EQ(text, "line one line two");
}

TEST_F(TextFieldTest, FocusGoesToTheClickedFieldAndKeysOnlyReachIt) {
  std::string first = "one", second = "two";
  frame(0, 0);
  text_field(250, 200, first, 50, "", 300, true);
  text_field(250, 150, second, 50, "", 300, true);
  EXPECT_TRUE(text_field_has_focus(first));
  EXPECT_FALSE(text_field_has_focus(second));

  frame(260, 154, true);  // inside the second field's click area
  type("!");
  text_field(250, 200, first, 50, "", 300, true);
  text_field(250, 150, second, 50, "", 300, true);
  EXPECT_TRUE(text_field_has_focus(second));
  EXPECT_EQ(first, "one");
  EXPECT_EQ(second.size(), 4u);
  EXPECT_NE(second.find('!'), std::string::npos);
  EXPECT_TRUE(ui().in.keys.empty());

  // A click just below a field's click area gives it no focus and takes the focus away
  // from the other.
  frame(260, 196, true);
  text_field(250, 200, first, 50, "", 300, false);
  text_field(250, 150, second, 50, "", 300, false);
  EXPECT_FALSE(text_field_has_focus(first));
  EXPECT_FALSE(text_field_has_focus(second));
}

TEST_F(TextFieldTest, AClickPlacesTheCaretBetweenCharacters) {
  std::string text = "WWWW";
  const float w = measure_text("WW");
  frame(250 + w + 1, 203, true);
  field(text, 100, false);
  frame(0, 0);
  type("-");
  field(text, 100, false);
  EXPECT_EQ(text, "WW-WW");
}

TEST_F(TextFieldTest, AFieldThatLeftTheScreenLosesTheFocus) {
  std::string gone = "old", fresh = "new";
  frame(0, 0);
  field(gone);
  frame(0, 0);
  frame(0, 0);  // two frames without the first field
  text_field(250, 100, fresh, 50, "", 300, true);
  EXPECT_TRUE(text_field_has_focus(fresh));
}

TEST_F(TextFieldTest, ALongTextIsClippedToTheBoxAndScrollsWithTheCaret) {
  const std::string text_before = "A long folder name that is much wider than the field itself, and then some more";
  std::string text = text_before;
  frame(300, 210);
  text_field(250, 200, text, 200, "Where to install", 100, false, "Name:");
  ASSERT_EQ(rec.texts.size(), 2u);
  // The label ends 12 units left of the field; the text starts at the field, one line, colour 50.
  EXPECT_EQ(rec.texts[0].text, "Name:");
  EXPECT_FLOAT_EQ(rec.texts[0].line_x + rec.texts[0].width, 238);
  const TextNote shown = rec.texts[1];
  EXPECT_EQ(shown.colour, colour_step);
  EXPECT_EQ(shown.line_x, 250);
  EXPECT_EQ(shown.line_y, 199);
  // Unfocused, the field shows the start of the text, whole characters that fit its box.
  EXPECT_EQ(text_before.rfind(shown.text, 0), 0u);
  EXPECT_LE(shown.width, 100);
  EXPECT_GT(shown.width, 80);
  EXPECT_EQ(ui().help_text, "Where to install");
  ASSERT_EQ(rec.sprites.size(), 1u);
  EXPECT_EQ(rec.sprites[0].sprite, 9);
  EXPECT_FLOAT_EQ(rec.sprites[0].cx, 298);
  EXPECT_FLOAT_EQ(rec.sprites[0].width, 110);

  // With the caret at the end the box shows the end of the text.
  frame(260, 203, true);
  text_field(250, 200, text, 200, "", 100, false);
  frame(0, 0);
  key(key_end);
  text_field(250, 200, text, 200, "", 100, false);
  const TextNote end = rec.texts.back();
  EXPECT_LE(end.width, 100);
  EXPECT_EQ(text.compare(text.size() - end.text.size(), end.text.size(), end.text), 0) << end.text;
  // Typing there scrolls on; the caret stays inside the box.
  frame(0, 0);
  type("XYZ");
  text_field(250, 200, text, 200, "", 100, false);
  EXPECT_EQ(rec.texts.back().text.substr(rec.texts.back().text.size() - 3), "XYZ");
  float caret_x = -1;  // the caret is a 1 x 9 bar (drawn: the blink is on at second 0)
  for (const RecordedQuads& r : rec.drawn)
    for (const DrawQuad& q : r.quads)
      if (r.texture == 0 && q.x[1] - q.x[0] == 1 && q.y[2] - q.y[0] == 9) caret_x = q.x[0];
  EXPECT_GE(caret_x, 250);
  EXPECT_LE(caret_x, 351);
  // Home brings the start back.
  frame(0, 0);
  key(key_home);
  text_field(250, 200, text, 200, "", 100, false);
  EXPECT_EQ(text_before.rfind(rec.texts.back().text, 0), 0u);
}

TEST_F(TextFieldTest, TypingIntoTheMiddleOfAFullFieldKeepsItsEnd) {
  std::string text = "abcdef";
  frame(0, 0);
  field(text, 8);
  frame(0, 0);
  key(key_home);
  key(key_right);
  type("XYZ");  // one character too many
  EXPECT_EQ(field(text, 8), 1);
  EXPECT_EQ(text, "aXYbcdef");
  // A full field takes nothing more, wherever the caret is.
  frame(0, 0);
  type("Q");
  EXPECT_EQ(field(text, 8), 0);
  EXPECT_EQ(text, "aXYbcdef");
  // Replacing a selection makes room first.
  frame(0, 0);
  key(key_end);
  key(key_left, mod_shift);
  key(key_left, mod_shift);
  ui().clipboard = "123";
  key('v', mod_ctrl);
  field(text, 8);
  EXPECT_EQ(text, "aXYbcd12");
}

}  // namespace
