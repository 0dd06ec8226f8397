// The Copy Picker with more copies than fit: the list scrolls (wheel, scroll bar, keys),
// "Find It" and the bottom buttons stay where they are, and the keyboard's cursor picks a
// copy. In-process, through the main loop and the scripted user.

#include "wizards/copy_selection.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/install_scope.h"
#include "engine/registry.h"
#include "tests/scripted_ui_fixture.h"
#include "ui/keyboard_focus.h"
#include "ui/text_fit.h"

namespace {

int g_continued = 0;

int picked_page(int, PageDescription& page) {
  ++g_continued;
  page.title = "Picked";
  return 0;
}

int pick_page(int, PageDescription& page) {
  page.title = "Pick a copy";
  page.next_page = picked_page;
  pick_copy(page, "Please pick which copy of Zephiro 9 you would like to repair.");
  return 0;
}

class CopyListTest : public ScriptedUi {
 protected:
  void SetUp() override {
    ScriptedUi::SetUp();
    reset_registry();
    install_path().clear();
    g_continued = 0;
    framework().current_page = pick_page;
  }
  void TearDown() override {
    reset_registry();
    install_path().clear();
    ScriptedUi::TearDown();
  }
  void copies(int n) {
    registry().installed_copies.clear();
    for (int i = 0; i < n; ++i) registry().installed_copies.push_back(name(i));
  }
  static std::string name(int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "/home/pilot/Copy %02d/", i + 1);
    return buf;
  }
  // The entries of the list the last frame drew, by index.
  std::vector<int> shown() {
    std::vector<int> out;
    for (const WidgetNote& w : qa_frame_widgets())
      if (w.kind == "check_box") out.push_back(w.list_index);
    return out;
  }
  const WidgetNote* widget(const std::string& kind, const std::string& label = "") {
    for (const WidgetNote& w : qa_frame_widgets())
      if (w.kind == kind && (label.empty() || w.label == label)) return &w;
    return nullptr;
  }
  // Runs the script to its end (and so quits).
  void run_script(const std::string& text) {
    app().quit_flag = 0;
    qa_script_load_text(text);
    run();
    ASSERT_TRUE(failures.empty()) << failures[0];
  }
};

}  // namespace

// Twenty copies: thirteen show, "Find It" stays at its place over the bottom buttons and
// every frame fits its texts; the wheel, the bar's arrows, its trough and its thumb
// scroll; the keys move the cursor, which keeps itself in view, and Space ticks.
TEST_F(CopyListTest, TwentyCopiesScrollAndFindItStaysInPlace) {
  copies(20);
  const std::string prefix = "check_fit\nwait_text Pick a copy\n";
  auto first_shown = [&]() { return shown().empty() ? -1 : shown().front(); };
  auto check_layout = [&]() {
    const std::vector<int> rows = shown();
    ASSERT_EQ(rows.size(), 13u);
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i], rows[i - 1] + 1);
    const WidgetNote* find = widget("choice_button", "Find It");
    ASSERT_TRUE(find);
    EXPECT_FLOAT_EQ((find->y0 + find->y1) / 2, 78);
    const WidgetNote* quit = widget("bottom_button", "0");
    ASSERT_TRUE(quit);
    EXPECT_FLOAT_EQ(quit->y0, 12);
    EXPECT_GT(find->y0, quit->y1 + 20);  // clear of the bottom row and the panel's edge
    ASSERT_TRUE(widget("scroll_bar"));
  };

  // The wheel over the list: three rows a notch, no further than the last page.
  run_script(prefix + "wheel 500 300 -2\nframes 2\n");
  EXPECT_EQ(first_shown(), 6);
  check_layout();
  run_script(prefix + "wheel 500 300 -5\nframes 2\n");
  EXPECT_EQ(first_shown(), 7);
  // Not over the list, the wheel does nothing.
  run_script(prefix + "wheel 500 300 9\nwheel 500 30 -2\nframes 2\n");
  EXPECT_EQ(first_shown(), 0);

  // The bar: its down arrow, its trough below the thumb (a page less one row), its up arrow.
  ASSERT_TRUE(widget("scroll_bar"));
  const WidgetNote bar_note = *widget("scroll_bar");  // the notes go with the next frame
  const WidgetNote* bar = &bar_note;
  const float bar_x = (bar->x0 + bar->x1) / 2;
  run_script(prefix + "click " + std::to_string(bar_x) + " " + std::to_string(bar->y0 + 5) + "\nframes 2\n");
  EXPECT_EQ(first_shown(), 1);
  run_script(prefix + "click " + std::to_string(bar_x) + " " + std::to_string(bar->y0 + 14) + "\nframes 2\n");
  EXPECT_EQ(first_shown(), 7);
  run_script(prefix + "click " + std::to_string(bar_x) + " " + std::to_string(bar->y1 - 5) + "\nframes 2\n");
  EXPECT_EQ(first_shown(), 6);
  // The thumb (in the trough's middle now) dragged down past the trough shows the last page.
  run_script(prefix + "drag " + std::to_string(bar_x) + " " + std::to_string((bar->y0 + bar->y1) / 2) + " " +
             std::to_string(bar_x) + " " + std::to_string(bar->y0 - 40) + "\nframes 2\n");
  EXPECT_EQ(first_shown(), 7);
  check_layout();

  // A click ticks a copy; the keyboard's cursor starts on it, END takes it to the last
  // copy, scrolled into view, and Space ticks that one; Enter goes on.
  run_script(prefix + "wheel 500 300 9\nclick_text Copy 05/\nframes 2\nkey END\nframes 2\n");
  EXPECT_EQ(install_path(), name(4));
  EXPECT_EQ(first_shown(), 7);
  const WidgetNote* list = widget("copy_list");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->cursor, 19);
  EXPECT_TRUE(list->focused && list->focus_ring);
  run_script(prefix + "key HOME\nkey PAGEDOWN\nkey DOWN\nkey DOWN\nkey SPACE\nframes 2\n");
  EXPECT_EQ(install_path(), name(14));
  EXPECT_EQ(first_shown(), 2);
  // The entry under the cursor draws the ring and says so in its note.
  int ringed = -1;
  for (const WidgetNote& w : qa_frame_widgets())
    if (w.kind == "check_box" && w.focus_ring) ringed = w.list_index;
  EXPECT_EQ(ringed, 14);
  run_script(prefix + "key RETURN\nwait_text Picked\n");
  EXPECT_GT(g_continued, 0);
}

// Random lists and random turns of the wheel, clicks on the bar and keys, against what
// must hold after each: the rows shown are a window of thirteen that stays inside the
// list, it holds the cursor after each key, and the layout under it never moves.
TEST_F(CopyListTest, RandomScrollingKeepsTheWindowInsideAndTheCursorInView) {
  const char* const keys[] = {"UP", "DOWN", "PAGEUP", "PAGEDOWN", "HOME", "END"};
  for (unsigned seed : {1u, 31u, 4242u}) {
    std::mt19937 random(seed);
    for (int round = 0; round < 6; ++round) {
      const int n = 14 + static_cast<int>(random() % 30);
      copies(n);
      std::string text = "check_fit\nwait_text Pick a copy\n";
      for (int step = 0; step < 25; ++step) {
        switch (random() % 3) {
          case 0:
            text += "wheel 500 " + std::to_string(120 + random() % 280) + " " +
                    std::to_string(static_cast<int>(random() % 7) - 3) + "\n";
            break;
          case 1:
            text += "click 772 " + std::to_string(95 + random() % 320) + "\n";
            break;
          default:
            text += std::string("key ") + keys[random() % 6] + "\n";
            break;
        }
      }
      text += "frames 2\n";
      run_script(text);
      const std::vector<int> rows = shown();
      ASSERT_EQ(rows.size(), 13u) << "seed " << seed << " round " << round;
      EXPECT_GE(rows.front(), 0);
      EXPECT_LE(rows.back(), n - 1);
      const WidgetNote* find = widget("choice_button", "Find It");
      ASSERT_TRUE(find);
      EXPECT_FLOAT_EQ((find->y0 + find->y1) / 2, 78);
      // The last command left the cursor where a key put it, or a scroll moved the rows:
      // a key after it brings it back into view.
      run_script("wait_text Pick a copy\nkey DOWN\nkey UP\nframes 2\n");
      const WidgetNote* list = widget("copy_list");
      ASSERT_TRUE(list);
      const std::vector<int> after = shown();
      EXPECT_GE(list->cursor, after.front()) << "seed " << seed << " round " << round;
      EXPECT_LE(list->cursor, after.back()) << "seed " << seed << " round " << round;
    }
  }
}

// Up to thirteen copies the list is as it always was: every copy, no scroll bar, "Find
// It" right under the last one.
TEST_F(CopyListTest, ThirteenCopiesFitWithoutAScrollBar) {
  copies(13);
  run_script("check_fit\nwait_text Pick a copy\nframes 2\n");
  EXPECT_EQ(shown().size(), 13u);
  EXPECT_EQ(widget("scroll_bar"), nullptr);
  const WidgetNote* find = widget("choice_button", "Find It");
  ASSERT_TRUE(find);
  EXPECT_FLOAT_EQ((find->y0 + find->y1) / 2, 403 - 25 * 13);
}
