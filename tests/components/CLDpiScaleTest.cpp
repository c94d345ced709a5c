#include "components/CLDpiScale.h"

#include <gtest/gtest.h>

TEST(DpiScale, ScalesAndRoundsHalvesAwayFromZero) {
  EXPECT_EQ(ScaleToDpi(100, 96), 100);
  EXPECT_EQ(ScaleToDpi(100, 144), 150);
  EXPECT_EQ(ScaleToDpi(75, 120), 94); // 93.75
  EXPECT_EQ(ScaleToDpi(1, 144), 2);   // 1.5
  EXPECT_EQ(ScaleToDpi(-1, 144), -2); // window positions left of the primary screen
  EXPECT_EQ(ScaleToDpi(-100, 192), -200);
  EXPECT_EQ(ScaleFromDpi(150, 144), 100);
  EXPECT_EQ(ScaleFromDpi(-150, 144), -100);
  // No resolution known: the value stays.
  EXPECT_EQ(ScaleToDpi(37, 0), 37);
  EXPECT_EQ(ScaleFromDpi(37, 0), 37);
}

TEST(DpiScale, ScaledValuesComeBackUnchanged) {
  for (int dpi : {96, 108, 120, 144, 168, 192, 240, 288}) {
    for (int value = -2000; value <= 4000; ++value) {
      ASSERT_EQ(ScaleFromDpi(ScaleToDpi(value, dpi), dpi), value) << "dpi " << dpi;
    }
  }
}

TEST(DpiScale, FontHeightsFollowTheResolution) {
  EXPECT_EQ(FontHeightForDpi(9, 96), -12);
  EXPECT_EQ(FontHeightForDpi(9, 144), -18);
  EXPECT_EQ(FontHeightForDpi(8, 120), -13); // 13.33
  EXPECT_EQ(FontHeightForDpi(9, 0), -12);
}
