// Fitting the page to the label: scale, placement, shift, margins, trim, turn.
#include "output/page_preparation.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using output::LabelImage;

LabelImage Random(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  auto image = output::CreateLabelImage(w, h);
  std::mt19937 rng(seed);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) image->SetPixel(x, y, rng() & 1);
  }
  return std::move(*image);
}

// The dark pixels of the bounding box of all dark pixels: first column, first row.
std::pair<int, int> FirstDark(const LabelImage& image) {
  int fx = -1, fy = -1;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      if (image.Pixel(x, y)) {
        if (fx < 0 || int(x) < fx) fx = int(x);
        if (fy < 0) fy = int(y);
      }
    }
  }
  return {fx, fy};
}

TEST(Scale, UnitKeepsTheImageHalfHalves) {
  auto image = Random(100, 61, 1);
  const auto* data = image.bits.data();
  auto same = output::ScaleImage(std::move(image), 1000, 1000);
  ASSERT_TRUE(same);
  EXPECT_EQ(same->bits.data(), data);  // the image itself

  const LabelImage source = *same;
  auto half = output::ScaleImage(std::move(*same), 500, 500);
  ASSERT_TRUE(half);
  EXPECT_EQ(half->width, 50u);
  EXPECT_EQ(half->height, 30u);
  // Nearest neighbour at centres: new (x, y) takes source (2x, 2y) rounded to the centre.
  for (std::uint32_t y = 0; y < half->height; ++y) {
    for (std::uint32_t x = 0; x < half->width; ++x) {
      ASSERT_EQ(half->Pixel(x, y), source.Pixel((2 * x + 1) * 100 / 100, (2 * y + 1) * 61 / 60));
    }
  }
  auto doubled = output::ScaleImage(LabelImage(source), 2000, 1000);
  ASSERT_TRUE(doubled);
  EXPECT_EQ(doubled->width, 200u);
  for (std::uint32_t x = 0; x < 200; ++x) ASSERT_EQ(doubled->Pixel(x, 7), source.Pixel(x / 2, 7));
  EXPECT_FALSE(output::ScaleImage(LabelImage(source), 5, 1000));  // width 0
}

TEST(Placement, OffsetsAndCutting) {
  struct Case {
    std::uint32_t w, h, wd, ld;
    std::int32_t sx, sy;
    int firstX, firstY;  // where source pixel (0, 0) lands, or -1 when cut away
  };
  const Case cases[] = {
      {40, 30, 40, 30, 0, 0, 0, 0},         {40, 30, 40, 30, -5, -3, 5, 3},
      {40, 30, 40, 30, 5, 0, -1, 0},        {40, 30, 20, 10, 0, 0, 0, 0},
      {40, 30, 40, 30, -41, 0, -1, -1},     {40, 30, 40, 30, 40, 0, -1, -1},
      {40, 30, 40, 30, 65536 - 5, 0, 5, 0},  // taken as 16-bit: -5
  };
  for (const Case& c : cases) {
    auto image = output::CreateLabelImage(c.w, c.h);
    image->SetPixel(0, 0, true);
    image->SetPixel(c.w - 1, c.h - 1, true);
    auto placed = output::PlaceOnLabelCanvas(*image, 203, c.wd, c.ld, c.sx, c.sy);
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->width, c.wd);
    EXPECT_EQ(placed->height, c.ld);
    if (c.firstX >= 0) {
      EXPECT_TRUE(placed->Pixel(c.firstX, c.firstY)) << c.sx << "," << c.sy;
    } else if (c.firstY < 0) {
      EXPECT_EQ(FirstDark(*placed), std::make_pair(-1, -1)) << c.sx;
    }
  }
  auto image = Random(64, 32, 2);
  auto same = output::PlaceOnLabelCanvas(image, 203, 64, 32, 0, 0);
  EXPECT_EQ(same->bits, image.bits);
  EXPECT_FALSE(output::PlaceOnLabelCanvas(image, 0, 64, 32, 0, 0));
  EXPECT_FALSE(output::PlaceOnLabelCanvas(image, 203, 0, 32, 0, 0));
}

TEST(Placement, OffsetsFromTheMargins) {
  settings::MediaSettings media{};
  media.mmLeftMargin = 2.0f;  // 15.98 dots -> 16
  media.mmTopMargin = 1.0f;   // 7.99 -> 8, only on media type 3
  auto image = output::CreateLabelImage(900, 1300);
  EXPECT_EQ(output::PlacementOffsetX(*image, 812, media, 203), 900 - 812 + 16);
  EXPECT_EQ(output::PlacementOffsetY(*image, 1218, media, 203), 1300 - 1218);
  media.numLabelMediaType = 3;
  EXPECT_EQ(output::PlacementOffsetY(*image, 1218, media, 203), 1300 - 1218 + 8);
}

TEST(Shift, DotsAndDirection) {
  struct Case {
    std::uint32_t scale;
    std::int32_t shift;
    std::uint32_t resolution;
    std::int16_t dots;
  };
  const Case cases[] = {{1000, -20, 203, -15}, {1000, 20, 203, 16}, {500, 20, 203, 8},
                        {1000, 0, 300, 0},     {1000, 10, 300, 12}, {1000, -1, 203, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(output::ShiftDots(c.scale, c.shift, c.resolution), c.dots) << c.shift;
  }
  auto image = output::CreateLabelImage(100, 50);
  image->SetPixel(30, 20, true);
  auto right = output::ShiftImage(*image, 203, 100, 50, 1000, 1000, -20, 0);
  EXPECT_EQ(FirstDark(*right), std::make_pair(45, 20));  // 15 dots to the right
  auto up = output::ShiftImage(*image, 203, 100, 50, 1000, 1000, 0, 20);
  EXPECT_EQ(FirstDark(*up), std::make_pair(30, 4));  // 16 dots up
  auto same = output::ShiftImage(*image, 203, 100, 50, 1000, 1000, 0, 0);
  EXPECT_EQ(same->bits, image->bits);
}

TEST(Margins, BlankedEdges) {
  auto full = output::CreateLabelImage(100, 40);
  for (auto& b : full->bits) b = 0xFF;
  settings::MediaSettings media{};
  const auto* data = full->bits.data();
  auto same = output::BlankMargins(std::move(*full), media, 203);
  EXPECT_EQ(same->bits.data(), data);

  media.mmRightMargin = 3.0f;  // 23.98 -> 23 columns at 203 dpi
  auto blanked = output::BlankMargins(LabelImage(*same), media, 203);
  for (std::uint32_t x = 0; x < 30; ++x) EXPECT_EQ(blanked->Pixel(x, 10), x >= 23) << x;
  EXPECT_TRUE(blanked->Pixel(99, 39));

  media.numLabelMediaType = 3;
  media.mmRightMargin = 0;
  media.mmBottomMargin = 1.0f;  // 7 rows at the top
  media.mmTopMargin = 0.5f;     // 3 rows at the bottom
  blanked = output::BlankMargins(LabelImage(*same), media, 203);
  for (std::uint32_t y = 0; y < 40; ++y) EXPECT_EQ(blanked->Pixel(50, y), y >= 7 && y < 37) << y;

  media.mmLeftMargin = 100.0f;  // nothing left: all paper
  blanked = output::BlankMargins(LabelImage(*same), media, 203);
  EXPECT_EQ(FirstDark(*blanked), std::make_pair(-1, -1));
}

TEST(Trim, BlankRowsAndMinimumLength) {
  auto image = output::CreateLabelImage(40, 100);
  image->SetPixel(3, 10, true);
  image->SetPixel(3, 59, true);
  EXPECT_EQ(output::CountBlankRows(image->bits.data(), image->stride, 100, false), 10u);
  EXPECT_EQ(output::CountBlankRows(image->bits.data(), image->stride, 100, true), 40u);
  auto trimmed = output::TrimRows(LabelImage(*image), true, 40);
  EXPECT_EQ(trimmed->height, 60u);
  EXPECT_TRUE(trimmed->Pixel(3, 59));
  trimmed = output::TrimRows(LabelImage(*image), false, 10);
  EXPECT_TRUE(trimmed->Pixel(3, 0));
  EXPECT_FALSE(output::TrimRows(LabelImage(*image), false, 100));
  EXPECT_EQ(output::RowsToTrim(*image, true, false, 5.0f, 203), 40u);

  // A page blank on arrival is cut to the minimum label length (10 mm: 79 rows).
  auto blank = output::CreateLabelImage(812, 1218);
  const auto n = output::RowsToTrim(*blank, true, true, 10.0f, 203);
  EXPECT_EQ(n, 1218u - 79u);
  EXPECT_EQ(output::TrimRows(std::move(*blank), true, n)->height, 79u);
  // Blank only after the steps: the same minimum, never zero rows.
  auto empty = output::CreateLabelImage(8, 50);
  EXPECT_EQ(output::RowsToTrim(*empty, false, false, 10.0f, 203), 0u);  // shorter than 79
  EXPECT_EQ(output::RowsToTrim(*empty, false, false, 0.0f, 203), 49u);
}

TEST(Turn270, CornersAndSizes) {
  const auto image = Random(13, 5, 3);
  auto turned = output::TurnImage270(image);
  ASSERT_TRUE(turned);
  EXPECT_EQ(turned->width, 5u);
  EXPECT_EQ(turned->height, 13u);
  for (std::uint32_t y = 0; y < 13; ++y) {
    for (std::uint32_t x = 0; x < 5; ++x) ASSERT_EQ(turned->Pixel(x, y), image.Pixel(12 - y, x));
  }
  // Four turns are the identity.
  auto back = output::TurnImage270(*output::TurnImage270(*output::TurnImage270(*turned)));
  EXPECT_EQ(back->bits, image.bits);
}

}  // namespace
