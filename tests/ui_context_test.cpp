#include "ui/ui_context.h"

#include "tests/ui_fixture.h"
#include "ui/widgets.h"

namespace {

using UiContextTest = UiFixture;

// A choice button at (500, 300), 200 wide, for the mouse as the window reports it.
int button_clicked() { return choice_button(500, 300, 200, false, 0, "Target", "-"); }

TEST_F(UiContextTest, EitherButtonClicksAndAHeldDragIsNoClick) {
  begin_input_frame();
  input_button_down(mouse_right, 500, 300);
  EXPECT_TRUE(ui().in.right_went_down);
  EXPECT_TRUE(ui().in.button_held);
  EXPECT_EQ(button_clicked(), 1);
  begin_input_frame();
  input_button_up(mouse_right, 500, 300);
  EXPECT_FALSE(ui().in.button_held);
  EXPECT_EQ(ui().in.drag, -1);  // a short click that hardly moved never became a drag

  // A press that moves on while held is a drag: widgets under it take no hover.
  begin_input_frame();
  input_button_down(mouse_left, 100, 100);
  begin_input_frame();
  input_mouse_move(102, 101);
  EXPECT_EQ(ui().in.drag, -1);
  input_mouse_move(500, 300);
  EXPECT_NE(ui().in.drag, -1);
  button_clicked();
  EXPECT_EQ(ui().help_text, "");
  // The right button pressed and let go while the left stays down: still held.
  input_button_down(mouse_right, 500, 300);
  begin_input_frame();
  input_button_up(mouse_right, 500, 300);
  EXPECT_TRUE(ui().in.button_held);
  begin_input_frame();
  input_button_up(mouse_left, 500, 300);
  EXPECT_FALSE(ui().in.button_held);
  EXPECT_EQ(ui().in.drag, -1);

  // Held still for a while, the press becomes a drag too.
  begin_input_frame();
  input_button_down(mouse_left, 500, 300);
  ui().seconds += 1.0;
  begin_input_frame();
  EXPECT_NE(ui().in.drag, -1);
  input_button_up(mouse_left, 500, 300);
  // The next press is a click again.
  begin_input_frame();
  input_button_down(mouse_left, 500, 300);
  EXPECT_EQ(ui().in.drag, -1);
  EXPECT_EQ(button_clicked(), 1);
}

}  // namespace
