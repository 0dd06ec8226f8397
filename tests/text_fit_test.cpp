// What a frame drew, drawn with the real widgets into the recorder: labels that fit their
// buttons pass, and each way a text can spill is named.

#include "ui/text_fit.h"

#include <gtest/gtest.h>

#include "tests/ui_fixture.h"
#include "ui/sprites.h"
#include "ui/widgets.h"

namespace {

class TextFit : public UiFixture {
 protected:
  std::string misfit() const { return first_misfit(rec.texts, rec.widgets, rec.frames); }
  static bool says(const std::string& misfit, const std::string& words) {
    return misfit.find(words) != std::string::npos;
  }
};

const char k_long_label[] = "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY AND THE NEXT";

}  // namespace

TEST_F(TextFit, ChoiceLabelsMustFitTheirButtons) {
  frame(0, 0);
  choice_button(500, 350, 250, false, 1, "Install A Second Copy of Zephiro", "-");
  choice_button(96, 56, 100, false, 1, "Cancel", "-");
  choice_button(400, 18, 0, false, 1, k_long_label, "-");  // a button that takes its label's width
  EXPECT_EQ(misfit(), "");

  frame(0, 0);
  choice_button(160, 56, 260, false, 1, k_long_label, "-");
  const std::string found = misfit();
  EXPECT_TRUE(says(found, std::string("the label \"") + k_long_label + "\" is ")) << found;
  EXPECT_TRUE(says(found, "its button holds 252")) << found;

  // A label drawn pressed a second time, at once, is still one label.
  frame(500, 350, true);
  choice_button(500, 350, 250, false, 1, "Run Zephiro Now", "-");
  EXPECT_EQ(rec.lines_of("Run Zephiro Now").size(), 2u);
  EXPECT_EQ(misfit(), "");
}

TEST_F(TextFit, HeadingsTakeOneLineAndTextsStayInTheirFrame) {
  frame(0, 0);
  draw_frame(23, 10, 50, 190, 453, "");
  draw_frame(23, 210, 50, 580, 453, "");
  draw_text(12, 30, 480, "Pick Destination", 170, weight_bold, align_left);
  draw_text(12, 500, 480, "Select Zephiro 9 to Add or Remove Scenery", 540, weight_bold, align_centre);
  // A long page text wraps; that is what its width is for.
  draw_text(12, 230, 440,
            "Please pick the scenery you would like to install now.  You can use this installer to add more "
            "scenery or remove scenery later.  If you fly into an area with no scenery installed, you will see "
            "only ocean.",
            540, weight_regular, align_left);
  EXPECT_EQ(misfit(), "");

  // A step too long for the step list wraps: a heading never does.
  draw_text(12, 30, 460, "Scanning Zephiro 9 for Installed Scenery", 170, weight_bold, align_left);
  EXPECT_TRUE(says(misfit(), "the heading \"")) << misfit();
  EXPECT_TRUE(says(misfit(), "wraps onto a line of its own")) << misfit();

  // A label that runs past the panel it stands in.
  frame(0, 0);
  draw_frame(23, 210, 50, 580, 453, "");
  int ticked = 1;
  check_box(250, 400, ticked,
            "|-/home/somebody/a folder with a name far too long to stand beside its box in the list of copies/"
            "Zephiro 9/",
            false);
  EXPECT_TRUE(says(misfit(), "runs out of its place (210..790 by 50..503)")) << misfit();
  // Outside every frame the page is the place.
  frame(0, 0);
  check_box(700, 400, ticked, "|-/home/somebody/Zephiro 9/", false);
  EXPECT_TRUE(says(misfit(), "runs out of its place (0..800 by 0..600)")) << misfit();
}

TEST_F(TextFit, TextsMustNotRunIntoEachOtherOrIntoWidgets) {
  // The Conflict Prompt's three lines stand one step apart.
  frame(0, 0);
  draw_text(48, 20, 100, "I am about to install:", 760, weight_regular, align_left);
  draw_text(48, 20, 90, "/home/pat/Zephiro 9/Airfoils/Clark Y.afl", 760, weight_regular, align_left);
  draw_text(48, 20, 80, "but it appears you have modified this file. What to do?", 760, weight_regular, align_left);
  EXPECT_EQ(misfit(), "");
  // A first line that wraps lands on the second.
  draw_text(48, 20, 100, std::string(40, 'x') + " " + std::string(150, 'y'), 760, weight_regular, align_left);
  EXPECT_TRUE(says(misfit(), "are drawn over each other")) << misfit();

  // A page text long enough to reach the check box below it.
  frame(0, 0);
  int ticked = 0;
  check_box(250, 300, ticked, "|-I agree!", false);
  EXPECT_EQ(misfit(), "");
  draw_text(12, 230, 330, "one line\n\n\nfour", 540, weight_regular, align_left);
  EXPECT_TRUE(says(misfit(), "\"four\" (at 230, 300) runs into a check_box (|-I agree!)")) << misfit();

  // The body of a bottom button reaches 10 beyond its hit area.
  frame(0, 0);
  int width = 0;
  bottom_button(400, 122, label_select_all, button_starts_at, &width, true, look_normal);
  draw_text(12, 220, 130, "Disk size: 258.0 GB", 0, weight_regular, align_left);
  EXPECT_EQ(misfit(), "");
  draw_text(12, 392 - measure_text("Free disk space: 79.5 GB"), 120, "Free disk space: 79.5 GB", 0, weight_regular,
            align_left);
  EXPECT_TRUE(says(misfit(), "runs into a bottom_button (3)")) << misfit();
}
