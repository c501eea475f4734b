// Linear symbols drawn with zint onto cluttered pages and read by the scan
// engine; zxing-cpp reads the same pages as the reference.
#include <gtest/gtest.h>
#include <zint.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "barcode/scan.h"
#include "linear_scan.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

struct Symbol {
  int zint;
  std::string data;
  bool gs1;
  std::string type;
  std::string text;
};

const Symbol kSymbols[] = {
    {BARCODE_CODE128, "Hello-128 World", false, "CODE_128", "Hello-128 World"},
    {BARCODE_CODE128, "00123456789012", false, "CODE_128", "00123456789012"},
    {BARCODE_GS1_128, "[01]09501101530003", true, "GS1_128", "0109501101530003"},
    {BARCODE_CODE39, "CODE39-TEST", false, "CODE_39", "CODE39-TEST"},
    {BARCODE_CODE39, "A$B/C+D%E", false, "CODE_39", "A$B/C+D%E"},
    {BARCODE_C25INTER, "12345678", false, "ITF", "12345678"},
    {BARCODE_CODABAR, "A40156B", false, "CODABAR", "40156"},
    {BARCODE_EANX, "950110153000", false, "EAN_13", "9501101530003"},
    {BARCODE_UPCA, "01234567890", false, "UPC_A", "012345678905"},
    {BARCODE_EANX, "9638507", false, "EAN_8", "96385074"},
    {BARCODE_UPCE, "0123456", false, "UPC_E", "01234565"},
    {BARCODE_CODE93, "Code 93-x", false, "CODE_93", "Code 93-x"},
};

const char* kTypeNames[] = {"CODE_39", "ITF",     "CODE_128", "GS1_128", "CODABAR",    "UPC_A",
                            "UPC_E",   "EAN_8",   "EAN_13",   "QR_CODE", "DATAMATRIX", "PDF417",
                            "PDF417F", "CODE_93", "HXCODE",   "MAXICODE"};

double AngleDiff(double a, double b) {
  double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180 ? 360 - d : d;
}

// Every symbology at narrow widths 1-6, upright, upside down and skewed.
TEST(LinearFixtures, EverySymbologyWidthAndAngle) {
  const double angles[] = {0, 180, 3, -4};
  int cases = 0, ours = 0, theirs = 0, both = 0;
  std::vector<std::string> missed;
  for (const Symbol& s : kSymbols) {
    std::vector<uint8_t> modules = fixtures::EncodeLinear(s.zint, s.data, s.gs1);
    ASSERT_FALSE(modules.empty()) << s.data;
    for (int x = 1; x <= 6; ++x) {
      for (double angle : angles) {
        const int symbolWidth = static_cast<int>(modules.size() + 20) * x;
        Page page(symbolWidth + 200, 60 * x + 260);
        fixtures::Rng rng(cases + 1);
        // Text lines above and below the symbol only.
        Page clutter(page.width, 80);
        fixtures::DrawClutter(&clutter, &rng, 3, 0);
        std::memcpy(page.grey.data(), clutter.grey.data(), clutter.grey.size());
        std::memcpy(page.grey.data() + page.grey.size() - clutter.grey.size(), clutter.grey.data(),
                    clutter.grey.size());
        fixtures::DrawLinear(&page, modules,
                             {page.width / 2.0, page.height / 2.0, x, 40 * x + 30, angle});
        ++cases;
        barcode_test::Scanner scan(page);
        barcode::ThinRunFilter(&scan.image, 0);
        EXPECT_EQ(scan.Scan(), 0);
        bool read = false;
        for (int i = 0; i < scan.list.count; ++i) {
          const barcode::SymbolResult& r = scan.list.items[i];
          if (kTypeNames[r.type] == s.type && r.text == s.text) {
            read = true;
            // The rectangle holds the symbol's centre and the angle its turn.
            EXPECT_NEAR(r.centreX, page.width / 2.0, 3 * x + 3) << s.type << " x" << x;
            EXPECT_NEAR(r.centreY, page.height / 2.0, 6 * x + 6) << s.type << " x" << x;
            EXPECT_LT(AngleDiff(r.angle, angle), 3.0) << s.type << " x" << x << " " << angle;
          } else {
            ADD_FAILURE() << "misread " << s.type << " x" << x << " angle " << angle << ": "
                          << kTypeNames[r.type] << " '" << r.text << "'";
          }
        }
        bool zx = false;
        for (const auto& z : fixtures::ReadWithZxing(page))
          zx |= z.text == s.text || z.text == "0" + s.text;
        ours += read;
        theirs += zx;
        both += read && zx;
        if (!read)
          missed.push_back(s.type + " " + s.data + " x" + std::to_string(x) + " " +
                           std::to_string(int(angle)) +
                           (zx ? " (zxing reads it)" : " (zxing misses it too)"));
      }
    }
  }
  std::string list;
  for (const auto& m : missed) list += "  " + m + "\n";
  std::printf("fixtures %d: ours %d, zxing %d, both %d\nmissed by us:\n%s", cases, ours, theirs,
              both, list.c_str());
  EXPECT_EQ(ours, cases) << list;
}

}  // namespace
