// QR Code read from zint-drawn pages, cross-checked with zxing-cpp.
#include <gtest/gtest.h>
#include <zint.h>

#include <cmath>
#include <string>
#include <vector>

#include "barcode/scan.h"
#include "linear_scan.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

barcode::ScanOptions QrOptions() {
  barcode::ScanOptions o = barcode_test::LinearOptions();
  o.qrCode = 1;
  o.types[barcode::kQrCode] = 1;
  return o;
}

struct Case {
  int version;
  int level;  // zint: 1 L, 2 M, 3 Q, 4 H
  int mask;
  const char* data;
  int module;
  double angle;
};

fixtures::Matrix Qr(const Case& c) {
  fixtures::MatrixOptions o;
  o.option1 = c.level;
  o.option2 = c.version;
  o.option3 = (c.mask + 1) << 8;
  o.unicode = true;
  return fixtures::EncodeMatrix(BARCODE_QRCODE, c.data, o);
}

std::vector<barcode::SymbolResult> Scan(const Page& page, int step = 1) {
  barcode_test::Scanner s(page);
  barcode::ScanOptions o = QrOptions();
  EXPECT_EQ(barcode::ScanSymbols(&s.image, step, &s.list, &o), 0);
  return std::vector<barcode::SymbolResult>(s.items.get(), s.items.get() + s.list.count);
}

TEST(QrReader, VersionsLevelsMasksModesSizesAndTurns) {
  const Case cases[] = {
      {1, 1, 0, "01234567", 4, 0},
      {1, 4, 1, "HELLO 42", 2, 90},
      {2, 2, 2, "label-0042", 3, 180},
      {5, 3, 3, "https://example.com/a?b=c", 5, 270},
      {7, 4, 4, "\xe7\x82\xb9\xe8\x8c\x97\xe6\xbc\xa2\xe5\xad\x97", 4, 3},
      {10, 1, 5, "3141592653589793238462643383279502884197", 3, -4},
      {14, 2, 6, "MIXED 12345 abc", 2, 0},
      {21, 3, 7, "ROW 21 ALNUM $%*+-./:", 3, 90},
      {27, 4, 0, "version twenty-seven", 2, 2},
      {33, 1, 1, "0123456789", 2, 180},
      {40, 2, 5, "the largest symbol", 3, 0},
      {3, 1, 6, "eight px modules", 8, 0},
      {4, 3, 2, "six", 6, 270},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "version " << c.version << " level " << c.level << " mask "
                                    << c.mask << " module " << c.module << " angle " << c.angle);
    const fixtures::Matrix m = Qr(c);
    ASSERT_EQ(m.rows, 4 * c.version + 17);
    const int side = static_cast<int>((m.rows + 12) * c.module * 1.5);
    Page page(side, side);
    fixtures::DrawMatrix(&page, m, side / 2.0, side / 2.0, c.module, c.angle);
    const std::vector<barcode::SymbolResult> found = Scan(page);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].type, barcode::kQrCode);
    EXPECT_STREQ(found[0].text, c.data);
    EXPECT_STREQ(found[0].secondText, c.data);
    EXPECT_NEAR(found[0].moduleSize, c.module, 0.2);
    EXPECT_NEAR(found[0].centreX, side / 2.0, 2 * c.module);
    EXPECT_NEAR(found[0].centreY, side / 2.0, 2 * c.module);
    EXPECT_NEAR(found[0].width, m.rows * c.module, 2 * c.module);
    // The rectangle's sides follow the symbol's: the angle is the turn modulo 90.
    const double turn = std::fmod(std::fmod(found[0].angle - c.angle, 90) + 90, 90);
    EXPECT_LT(std::min(turn, 90 - turn), 2.0) << found[0].angle;
    // zxing-cpp reads the same text at the same place.
    const std::vector<fixtures::ZxingMatrixRead> z = fixtures::ReadMatrixWithZxing(page, true);
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].text, found[0].text);
    EXPECT_NEAR(z[0].centreX, found[0].centreX, 2 * c.module);
    EXPECT_NEAR(z[0].centreY, found[0].centreY, 2 * c.module);
  }
}

}  // namespace
