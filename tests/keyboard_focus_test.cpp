// The keyboard focus on the wizard screen: the order Tab goes through, the widget a page
// starts on, what Enter, Space and Escape do, held keys, the ring, and the prompts' own
// focus. In-process, through the Installer Frame.

#include "ui/keyboard_focus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "tests/ui_fixture.h"
#include "ui/page_framework.h"
#include "ui/text_field.h"
#include "ui/widgets.h"

namespace {

struct FormState {
  std::string name = "Zephiro";
  int agree = 0;
  int option_clicks = 0;
  bool with_back = true;
  bool with_next = true;
  bool working = false;  // shows progress, as a work page does
  int quits_asked = 0;
  bool main_widget = true;
};
FormState g_form;

int other_page(int, PageDescription& page) {
  page.title = "Other page";
  page.back_page = nullptr;
  return 0;
}
int back_page(int, PageDescription& page) {
  page.title = "Back page";
  return 0;
}
bool count_quit() {
  ++g_form.quits_asked;
  return false;
}

// A page of every widget kind: a choice beside a text field on one row, a box below.
int form_page(int, PageDescription& page) {
  page.title = "Form";
  if (g_form.with_back) page.back_page = back_page;
  if (g_form.with_next) page.next_page = other_page;
  page.quit_handler = count_quit;
  if (g_form.working) page.set_progress(0.5f, "working");
  if (choice_button(290, 203, 120, false, 1, "-Option", "-")) ++g_form.option_clicks;
  text_field(400, 200, g_form.name, 50, "", 300, g_form.main_widget, "Name:");
  CheckBoxFocus box;
  box.claim = g_form.main_widget;
  check_box(250, 300, g_form.agree, "|-I agree!", false, box);
  return 0;
}

int final_page(int, PageDescription& page) {
  page.title = "Done";
  page.back_page = back_page;
  page.next_page = quit_page;
  page.add_choice("Run it", other_page);
  return 0;
}

class KeyboardFocusTest : public UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    reset_framework();
    g_form = FormState();
    app().quit_flag = 0;
    app().ui_mode = 0;
    framework().current_page = form_page;
  }
  void TearDown() override {
    reset_framework();
    app().quit_flag = 0;
    UiFixture::TearDown();
  }
  // One Installer Frame with these keys.
  void keys(std::vector<KeyEvent> events) {
    frame(-100, -100);
    ui().in.keys = events;
    installer_frame();
  }
  // One frame with this key pressed (key_none: no key).
  void press(int key, int mods = 0) {
    if (key == key_none)
      keys({});
    else
      keys({KeyEvent{key, mods, ""}});
  }
  // What the focused widget of the last frame is: its kind and label.
  std::string focused() {
    for (const WidgetNote& w : rec.widgets)
      if (w.focused) return w.kind + " " + w.label;
    return "none";
  }
  WizardPage page() { return framework().current_page; }
  // Shows another page for a frame, then `p` anew.
  void show_anew(WizardPage p) {
    framework().current_page = back_page;
    press(key_none);
    framework().current_page = p;
    press(key_none);
  }
};

}  // namespace

TEST_F(KeyboardFocusTest, TabGoesThroughThePageInReadingOrderAndRoundAgain) {
  press(key_none);
  // The text field claims the focus first: it is drawn before the box.
  EXPECT_EQ(focused(), "text_field Name:");
  // The rows from the top: the box (y 300), then the choice and the field (y 200) from the
  // left, then the bottom row from the left: QUIT, GO BACK, CONTINUE.
  const std::vector<std::string> order = {"bottom_button 0", "bottom_button 1", "bottom_button 2",
                                          "check_box |-I agree!", "choice_button -Option", "text_field Name:"};
  for (const std::string& expected : order) {
    press(key_tab);
    EXPECT_EQ(focused(), expected);
  }
  for (auto it = order.rbegin() + 1; it != order.rend(); ++it) {
    press(key_tab, mod_shift);
    EXPECT_EQ(focused(), *it);
  }
  // Down and Right go on, Up and Left go back, where the widget does not use them.
  press(key_down);
  EXPECT_EQ(focused(), "bottom_button 1");
  press(key_left);
  EXPECT_EQ(focused(), "bottom_button 0");
  // A disabled button is passed over: without a back page GO BACK is skipped.
  g_form.with_back = false;
  press(key_none);
  press(key_tab);
  EXPECT_EQ(focused(), "bottom_button 2");
}

TEST_F(KeyboardFocusTest, EnterSpaceAndEscapeDoWhatThePageWouldAndNeverQuitOrGoBackByThemselves) {
  // Typing reaches the field at once, and Enter from it presses CONTINUE.
  keys({KeyEvent{key_text, 0, "!"}});
  EXPECT_EQ(g_form.name, "Zephiro!");
  press(key_return);
  EXPECT_EQ(page(), other_page);

  // With CONTINUE disabled, Enter does nothing: not GO BACK, not QUIT.
  g_form.with_next = false;
  show_anew(form_page);
  press(key_return);
  EXPECT_EQ(page(), form_page);
  EXPECT_EQ(app().quit_flag, 0);
  EXPECT_EQ(g_form.quits_asked, 0);

  // Space on the box ticks it; Enter on a focused button presses that button; a held
  // key's repeats press nothing more.
  g_form.with_next = true;
  press(key_tab, mod_shift);
  press(key_tab, mod_shift);
  EXPECT_EQ(focused(), "check_box |-I agree!");
  press(key_space);
  EXPECT_EQ(g_form.agree, 1);
  press(key_return);  // from the box: the default button
  EXPECT_EQ(page(), other_page);
  show_anew(form_page);
  press(key_tab, mod_shift);  // from the field back to the choice
  EXPECT_EQ(focused(), "choice_button -Option");
  press(key_return);
  EXPECT_EQ(g_form.option_clicks, 1);
  keys({KeyEvent{key_return, 0, "", true}, KeyEvent{key_space, 0, "", true}});
  EXPECT_EQ(g_form.option_clicks, 1);
  press(key_space);
  EXPECT_EQ(g_form.option_clicks, 2);
  EXPECT_EQ(page(), form_page);

  // Escape is GO BACK; without a back page QUIT with its handler; with work running and
  // no back page, nothing (QUIT would end the work without a question).
  press(key_escape);
  EXPECT_EQ(page(), back_page);
  g_form.with_back = false;
  show_anew(form_page);
  press(key_escape);
  EXPECT_EQ(g_form.quits_asked, 1);
  g_form.working = true;
  press(key_escape);
  EXPECT_EQ(g_form.quits_asked, 1);
  EXPECT_EQ(page(), form_page);
  keys({KeyEvent{key_escape, 0, "", true}});
  EXPECT_EQ(g_form.quits_asked, 1);
}

TEST_F(KeyboardFocusTest, APageStartsOnItsMainWidgetElseContinueElseItsFirstChoice) {
  press(key_none);
  EXPECT_EQ(focused(), "text_field Name:");
  // Without a main widget: CONTINUE.
  g_form.main_widget = false;
  show_anew(form_page);
  EXPECT_EQ(focused(), "bottom_button 2");
  // Without CONTINUE either: nothing, so that Enter cannot press QUIT or GO BACK.
  g_form.with_next = false;
  show_anew(form_page);
  EXPECT_EQ(focused(), "none");
  // A final page: its first choice, never the QUIT that ends it.
  show_anew(final_page);
  EXPECT_EQ(focused(), "choice_button Run it");
  press(key_return);
  EXPECT_EQ(page(), other_page);
  EXPECT_EQ(app().quit_flag, 0);
}

TEST_F(KeyboardFocusTest, TheRingShowsOnlyAfterAKeyAndNotForTheMouse) {
  auto ring_drawn = [&]() {
    for (const WidgetNote& w : rec.widgets)
      if (w.focus_ring) return true;
    return false;
  };
  press(key_none);
  EXPECT_FALSE(ring_drawn());
  press(key_tab);
  EXPECT_TRUE(ring_drawn());
  // A press of the mouse hides it, and the page's main widget takes the focus back.
  frame(600, 450, true);
  installer_frame();
  EXPECT_FALSE(ring_drawn());
  press(key_none);
  EXPECT_EQ(focused(), "text_field Name:");
  EXPECT_FALSE(ring_drawn());
  keys({KeyEvent{key_down, 0, ""}});
  EXPECT_TRUE(ring_drawn());
  // Each widget's focus id stays while the page shows, and differs from the others'.
  std::vector<int> ids;
  for (const WidgetNote& w : rec.widgets)
    if (w.focus_id) ids.push_back(w.focus_id);
  press(key_none);
  std::vector<int> again;
  for (const WidgetNote& w : rec.widgets)
    if (w.focus_id) again.push_back(w.focus_id);
  EXPECT_EQ(ids, again);
  EXPECT_EQ(ids.size(), 6u);
  std::sort(again.begin(), again.end());
  EXPECT_EQ(std::unique(again.begin(), again.end()), again.end());
}
