// The Data Matrix reader reads its region in place (no enlarged copy): the
// region's stride and channels must be honoured on both the enlarged path
// (first arm under 300 pixels) and the plain one, for square and
// rectangular sizes.
#include <gtest/gtest.h>
#include <zint.h>

#include <memory>
#include <string>
#include <vector>

#include "barcode/datamatrix.h"
#include "support/barcode_fixtures.h"

namespace {

struct Read {
  int32_t code = -99;
  bool found = false;
  std::string text;
  barcode::PointD corners[3]{};
};

Read ReadRegion(const barcode::BinaryImage& region, const barcode::PointD (&l)[3]) {
  Read r;
  std::unique_ptr<barcode::ReaderOutput> out(new barcode::ReaderOutput());
  r.code = barcode::ReadDataMatrix(region, l[0], l[1], l[2], out.get(), &r.found, r.corners);
  r.text = out->text;
  return r;
}

TEST(DataMatrixRegionLayout, PaddedThreeChannelRegionReadsAsThePlainOne) {
  struct Case {
    int zintSize;  // zint's size option: 1 10x10, 8 24x24, 15 52x52, 30 16x48
    int module;
  };
  // Arms of 40, 144, 312 and 64/192 pixels: both sides of the 300-pixel
  // enlargement limit.
  for (const Case& c : {Case{1, 4}, Case{8, 6}, Case{15, 6}, Case{30, 4}}) {
    SCOPED_TRACE(c.zintSize);
    fixtures::MatrixOptions options;
    options.option2 = c.zintSize;
    const fixtures::Matrix m = fixtures::EncodeMatrix(BARCODE_DATAMATRIX, "123456", options);
    ASSERT_GT(m.rows, 0);
    const int width = (m.columns + 12) * c.module, height = (m.rows + 12) * c.module;
    fixtures::Page page(width, height);
    fixtures::DrawMatrix(&page, m, width / 2.0, height / 2.0, c.module, 0);
    const double left = width / 2.0 - m.columns * c.module / 2.0;
    const double top = height / 2.0 - m.rows * c.module / 2.0;
    const double right = left + m.columns * c.module, bottom = top + m.rows * c.module;
    const barcode::PointD l[3] = {{left + 1, top}, {left + 1, bottom - 1}, {right, bottom - 1}};

    const barcode::BinaryImage plain{static_cast<uint32_t>(width), static_cast<uint32_t>(width),
                                     static_cast<uint32_t>(height), 1, 8, page.grey.data()};
    // Three channels, only the first one meaning anything, and dark bytes
    // in the other two and in the padding at each row's end.
    const int stride = 3 * width + 5;
    std::vector<uint8_t> padded(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) padded[static_cast<size_t>(y) * stride + 3 * x] = page.at(x, y);
    const barcode::BinaryImage three{static_cast<uint32_t>(width), static_cast<uint32_t>(stride),
                                     static_cast<uint32_t>(height), 3, 8, padded.data()};

    const Read a = ReadRegion(plain, l), b = ReadRegion(three, l);
    ASSERT_EQ(a.code, 0);
    ASSERT_TRUE(a.found);
    EXPECT_EQ(a.text, "123456");
    EXPECT_EQ(b.code, 0);
    EXPECT_TRUE(b.found);
    EXPECT_EQ(b.text, a.text);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(b.corners[k].x, a.corners[k].x) << k;
      EXPECT_EQ(b.corners[k].y, a.corners[k].y) << k;
    }
  }
}

}  // namespace
