// Label size in printer dots, on both sides of the print width.
#include <gtest/gtest.h>

#include "output/page_pipeline.h"

namespace {

TEST(LabelSizeInDots, PrintWidthBoundaryRoundingAndMargins) {
  const struct {
    float labelWidth;
    float maximumPrintWidth;
    std::uint32_t resolution;
    bool cropPath;
    std::uint32_t width;  // dots
    float leftMargin;     // after the call, from 2.0 mm
    float rightMargin;    // after the call, from 3.0 mm
  } cases[] = {
      // At the print width: the label's own width, rounded or truncated.
      {87.6f, 87.6f, 203, false, 700, 2.0f, 3.0f},
      {87.6f, 87.6f, 203, true, 700, 2.0f, 3.0f},
      // Beyond it: print width + 1.3 mm, summed in double precision (a
      // single-precision sum gives 711 and 1050).
      {87.7f, 87.6f, 203, false, 710, 2.0f - 0.05f + 1.3f, 3.0f - 0.05f},
      {87.7f, 87.6f, 300, true, 1049, 2.0f - 0.05f + 1.3f, 3.0f - 0.05f},
      {108.0f, 104.0f, 203, false, 842, 2.0f - 2.0f + 1.3f, 3.0f - 2.0f},
      {108.0f, 104.0f, 203, true, 841, 2.0f - 2.0f + 1.3f, 3.0f - 2.0f},
  };
  for (const auto& c : cases) {
    settings::MediaSettings media{};
    media.mmLabelWidth = c.labelWidth;
    media.mmLabelLength = 150.0f;
    media.mmLeftMargin = 2.0f;
    media.mmRightMargin = 3.0f;
    const output::LabelDots dots =
        output::LabelSizeInDots(&media, c.maximumPrintWidth, c.resolution, c.cropPath);
    EXPECT_EQ(dots.width, c.width) << c.labelWidth << " " << c.resolution << " " << c.cropPath;
    // 150 mm: 1198.8 dots at 203 dpi, 1771.65 at 300.
    EXPECT_EQ(dots.length, c.cropPath ? (c.resolution == 203 ? 1198u : 1771u)
                                      : (c.resolution == 203 ? 1199u : 1772u));
    EXPECT_NEAR(media.mmLeftMargin, c.leftMargin, 1e-4) << c.labelWidth;
    EXPECT_NEAR(media.mmRightMargin, c.rightMargin, 1e-4) << c.labelWidth;
  }
}

}  // namespace
