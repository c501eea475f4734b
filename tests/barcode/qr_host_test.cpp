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

// Linear readers on as well: a QR Code must not read as anything else.
std::vector<barcode::SymbolResult> Scan(const Page& page) {
  barcode::ScanOptions o = barcode_test::LinearOptions();
  o.qrCode = o.types[barcode::kQrCode] = 1;
  return barcode_test::ScanPage(page, o);
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

// Every version at every level, upright, 3 and 4 pixels a module, QR Code
// alone: the left finders of a symbol share their columns, and a track that
// runs from the upper one through data into the lower one must still give it.
TEST(QrReader, EveryVersionAndLevel) {
  barcode::ScanOptions o{};
  o.qrCode = o.types[barcode::kQrCode] = 1;
  for (int module : {3, 4})
    for (int v = 1; v <= 40; ++v)
      for (int l = 1; l <= 4; ++l) {
        const std::string data = "V" + std::to_string(v) + "L" + std::to_string(l);
        const fixtures::Matrix m = Qr({v, l, (v + l) % 8, data.c_str(), module, 0});
        const int side = (m.rows + 16) * module;
        Page page(side, side);
        fixtures::DrawMatrix(&page, m, side / 2.0, side / 2.0, module, 0);
        const std::vector<barcode::SymbolResult> found = barcode_test::ScanPage(page, o);
        ASSERT_EQ(found.size(), 1u) << data << " module " << module;
        EXPECT_EQ(std::string(found[0].text), data) << module;
      }
}

// Flips the modules of rows r0 .. r0 + n - 1, columns c0 .. c0 + n - 1.
void Flip(fixtures::Matrix* m, int r0, int c0, int n, int rows = 0) {
  for (int r = r0; r < r0 + (rows ? rows : n); ++r)
    for (int c = c0; c < c0 + n; ++c) m->dark[r * m->columns + c] ^= 1;
}

std::vector<barcode::SymbolResult> ScanMatrix(const fixtures::Matrix& m, int module) {
  const int side = (m.rows + 16) * module;
  Page page(side, side);
  fixtures::DrawMatrix(&page, m, side / 2.0, side / 2.0, module, 0);
  return Scan(page);
}

// Version 2-H (one block of 16 data and 28 check codewords) with a square of
// modules flipped; the first format copy spoilt, then both; an ECI segment;
// finders spaced as a 181-module symbol (version 41) around a version 40.
TEST(QrReader, DamagedAndUndecodableSymbols) {
  const fixtures::Matrix damage = Qr({2, 4, 3, "DAMAGE TEST", 4, 0});
  const fixtures::Matrix format = Qr({1, 2, 6, "FORMAT", 4, 0});
  fixtures::Matrix noFormat = format;
  Flip(&noFormat, 0, 8, 1, 6);  // column 8, rows 0-5
  Flip(&noFormat, 8, 0, 6, 1);  // row 8, columns 0-5
  fixtures::Matrix noFormats = noFormat;
  Flip(&noFormats, 8, noFormats.columns - 8, 8, 1);  // row 8, the last eight columns
  fixtures::MatrixOptions eci;
  eci.eci = 26;
  const fixtures::Matrix v40 = Qr({40, 1, 0, "40", 2, 0});
  fixtures::Matrix v41;
  v41.rows = v41.columns = 181;
  v41.dark.assign(181 * 181, 0);
  for (int r = 0; r < 177; ++r)
    for (int c = 0; c < 177; ++c) v41.dark[(r + 2) * 181 + c + 2] = v40.Dark(r, c);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) {
      v41.dark[r * 181 + c] = v40.Dark(r, c);
      v41.dark[r * 181 + 173 + c] = v40.Dark(r, 169 + c);
      v41.dark[(173 + r) * 181 + c] = v40.Dark(169 + r, c);
    }
  const struct {
    const char* name;
    fixtures::Matrix m;
    int flipped;       // modules square at row and column 10
    const char* text;  // nullptr: nothing reported
    int module;
  } cases[] = {
      {"clean", damage, 0, "DAMAGE TEST", 4},
      {"4 x 4 flipped", damage, 4, "DAMAGE TEST", 4},
      {"6 x 6 flipped", damage, 6, "DAMAGE TEST", 4},
      {"12 x 12 flipped", damage, 12, nullptr, 4},
      {"14 x 14 flipped", damage, 14, nullptr, 4},
      {"second format copy", noFormat, 0, "FORMAT", 4},
      {"no format copy", noFormats, 0, nullptr, 4},
      {"eci", fixtures::EncodeMatrix(BARCODE_QRCODE, "ECI", eci), 0, nullptr, 4},
      {"version 41", v41, 0, nullptr, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fixtures::Matrix m = c.m;
    ASSERT_GT(m.rows, 0);
    Flip(&m, 10, 10, c.flipped);
    testing::internal::CaptureStdout();
    const std::vector<barcode::SymbolResult> found = ScanMatrix(m, c.module);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(found.size(), c.text ? 1u : 0u);
    if (c.text) {
      EXPECT_STREQ(found[0].text, c.text);
    }
    // The ECI segment is named on stdout.
    EXPECT_EQ(printed.find("QR Encode Error Get String Type Error.") != std::string::npos,
              std::string(c.name) == "eci");
  }
}

}  // namespace
