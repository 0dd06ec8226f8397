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

TEST_F(TextFieldTest, DrawsTheTextUnwrappedInColour50AndReportsHelp) {
  std::string text = "A long folder name that is much wider than the field itself, and then some more";
  frame(300, 210);
  text_field(250, 200, text, 200, "Where to install", 100, false);
  ASSERT_EQ(rec.texts.size(), 1u);
  EXPECT_EQ(rec.texts[0].text, text);
  EXPECT_EQ(rec.texts[0].colour, colour_step);
  EXPECT_EQ(rec.texts[0].line_x, 250);
  EXPECT_EQ(rec.texts[0].line_y, 199);
  EXPECT_EQ(ui().help_text, "Where to install");
  ASSERT_EQ(rec.sprites.size(), 1u);
  EXPECT_EQ(rec.sprites[0].sprite, 9);
  EXPECT_FLOAT_EQ(rec.sprites[0].cx, 298);
  EXPECT_FLOAT_EQ(rec.sprites[0].width, 110);
}

}  // namespace
