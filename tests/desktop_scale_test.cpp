#include "platform/desktop_scale.h"

#include <gtest/gtest.h>

#include "ui/window.h"

TEST(DesktopScale, GdkScaleFirstThenXftDpi) {
  EXPECT_EQ(scale_factor_from("", ""), 1);
  EXPECT_EQ(scale_factor_from("2", ""), 2);
  EXPECT_EQ(scale_factor_from("3", "96"), 3);
  EXPECT_EQ(scale_factor_from("1", "192"), 1);  // the desktop's own word wins
  // What is not a whole number of 1 or more leaves the choice to Xft.dpi.
  for (const char* odd : {"0", "-2", "1.5", "2x", " 2"}) EXPECT_EQ(scale_factor_from(odd, "192"), 2) << odd;
  EXPECT_EQ(scale_factor_from("", "191.9"), 1);
  EXPECT_EQ(scale_factor_from("", "192.0"), 2);
  EXPECT_EQ(scale_factor_from("", "288"), 2);
  EXPECT_EQ(scale_factor_from("", "high"), 1);

  EXPECT_EQ(scale_option("1"), 1);
  EXPECT_EQ(scale_option("8"), 8);
  for (const char* bad : {"", "0", "9", "12", "2.5", "two"}) EXPECT_EQ(scale_option(bad), 0) << bad;
}
