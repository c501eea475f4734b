// LocateBarcodes on label pages drawn with zint: four linear symbols at the
// four quarter turns among text and boxes, at 300 and 600 dpi, one-bit,
// degraded, and within a region.
#include <gtest/gtest.h>
#include <zint.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "crop/locate_barcodes.h"
#include "crop/work_images.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

struct Drawn {
  int zint;
  std::string data;
  uint32_t type;
  std::string text;
  double x, y, angle;  // at 300 dpi
};

const Drawn kLabel[] = {
    {BARCODE_CODE128, "LR-1234-5678", 2, "LR-1234-5678", 600, 250, 0},
    {BARCODE_EANX, "400638133393", 8, "4006381333931", 230, 1000, 90},
    {BARCODE_CODE39, "SHIP42", 0, "SHIP42", 640, 1560, 180},
    {BARCODE_C25INTER, "00123456", 1, "00123456", 1000, 950, 270},
};

Page DrawLabel(int scale, uint64_t seed) {
  Page page(1200 * scale, 1800 * scale);
  fixtures::Rng rng(seed);
  fixtures::DrawClutter(&page, &rng, 40, 6);
  for (const Drawn& d : kLabel) {
    std::vector<uint8_t> modules = fixtures::EncodeLinear(d.zint, d.data);
    fixtures::DrawLinear(&page, modules,
                         {d.x * scale, d.y * scale, 3 * scale, 150 * scale, d.angle});
  }
  return page;
}

crop::LocateOptions LinearOptions(const Page& page, uint32_t dpi) {
  crop::LocateOptions o{};
  o.regionWidth = page.width;
  o.regionHeight = page.height;
  for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13}) o.types[t] = 1;
  o.resolution = dpi;
  o.maxResults = 100;
  return o;
}

struct Located {
  barcode::SymbolResultList list{};
  int32_t code = -1;
  ~Located() { crop::FreeLocateResults(&list); }
};

void Locate(const crop::SourceImage& image, const crop::LocateOptions& o, Located* out) {
  out->code = crop::LocateBarcodes(&image, &o, &out->list);
}

double AngleDiff(double a, double b) {
  double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180 ? 360 - d : d;
}

// The result's box holds the point.
void ExpectBoxHolds(const barcode::SymbolResult& r, double x, double y, const std::string& what) {
  EXPECT_TRUE(r.centreX <= x && x <= r.centreX + r.width && r.centreY <= y &&
              y <= r.centreY + r.height)
      << what << ": " << r.text << " at " << r.centreX << "," << r.centreY << " size " << r.width
      << " x " << r.height;
}

// Every drawn symbol once, its box around its centre, its angle.
void ExpectLabel(const Located& got, double scale, const std::string& what) {
  ASSERT_EQ(got.code, 0) << what;
  for (const Drawn& d : kLabel) {
    int found = 0;
    for (int i = 0; i < got.list.count; ++i) {
      const barcode::SymbolResult& r = got.list.items[i];
      if (r.text != d.text) continue;
      ++found;
      EXPECT_EQ(r.type, d.type) << what << " " << d.text;
      ExpectBoxHolds(r, d.x * scale, d.y * scale, what);
      EXPECT_LT(AngleDiff(r.angle, d.angle), 3) << what << " " << d.text << " " << r.angle;
    }
    EXPECT_EQ(found, 1) << what << " " << d.text;
  }
  EXPECT_EQ(got.list.count, 4) << what;
}

TEST(LocateBarcodesFixtures, LabelAtQuarterTurns) {
  Page page = DrawLabel(1, 7);
  Located got;
  Locate({page.grey.data(), 1200, 1200, 1800, 1, 1}, LinearOptions(page, 300), &got);
  ExpectLabel(got, 1, "300 dpi");
  // zxing, given each of our boxes with a margin, reads the same texts.
  int agree = 0;
  for (int i = 0; i < got.list.count; ++i) {
    const barcode::SymbolResult& r = got.list.items[i];
    const int left = std::max(0, r.centreX - 40), top = std::max(0, r.centreY - 40);
    const int w = std::min(page.width - left, r.width + 80);
    const int h = std::min(page.height - top, r.height + 80);
    Page crop(w, h);
    for (int y = 0; y < h; ++y)
      std::memcpy(&crop.at(0, y), &page.at(left, top + y), static_cast<size_t>(w));
    for (const auto& z : fixtures::ReadWithZxing(crop)) {
      EXPECT_EQ(z.text, std::string(r.text));
      agree += z.text == r.text;
    }
  }
  EXPECT_EQ(agree, 4);
}

// The work buffers a call leaves for the next: a smaller page read in the
// label's leftovers reads as it does alone, and a page too big to keep
// leaves only the results buffer behind.
TEST(LocateBarcodesFixtures, WorkBuffersKeptBetweenCalls) {
  crop::ReleaseWorkImages();
  EXPECT_EQ(crop::test_hooks::KeptWorkBytes(), 0u);
  Page label = DrawLabel(1, 7);
  Page top(1000, 700);
  for (int y = 0; y < top.height; ++y)
    std::memcpy(&top.at(0, y), &label.at(100, y), static_cast<size_t>(top.width));
  const crop::SourceImage topImage{top.grey.data(), 1000, 1000, 700, 1, 1};
  Located alone, after, whole;
  Locate(topImage, LinearOptions(top, 300), &alone);
  crop::ReleaseWorkImages();
  Locate({label.grey.data(), 1200, 1200, 1800, 1, 1}, LinearOptions(label, 300), &whole);
  EXPECT_GE(crop::test_hooks::KeptWorkBytes(), size_t{2} * 1200 * 1800);
  Locate(topImage, LinearOptions(top, 300), &after);
  ASSERT_EQ(alone.code, 0);
  ASSERT_EQ(after.code, 0);
  ASSERT_GE(alone.list.count, 1);
  ASSERT_EQ(after.list.count, alone.list.count);
  for (int i = 0; i < alone.list.count; ++i) {
    const barcode::SymbolResult &a = alone.list.items[i], &b = after.list.items[i];
    EXPECT_STREQ(a.text, b.text);
    EXPECT_EQ(std::tie(a.centreX, a.centreY, a.width, a.height),
              std::tie(b.centreX, b.centreY, b.width, b.height));
  }
  Page huge(4200, 4200);  // 17.6 MB a work image: above the keep's limit
  Located blank;
  Locate({huge.grey.data(), 4200, 4200, 4200, 1, 1}, LinearOptions(huge, 300), &blank);
  EXPECT_EQ(blank.code, 0);
  EXPECT_EQ(crop::test_hooks::KeptWorkBytes(),
            barcode::kMaxResults * sizeof(barcode::SymbolResult));
  crop::ReleaseWorkImages();
  EXPECT_EQ(crop::test_hooks::KeptWorkBytes(), 0u);
}

TEST(LocateBarcodesFixtures, SixHundredDpiScannedAtHalfSize) {
  Page page = DrawLabel(2, 7);
  Located got;
  Locate({page.grey.data(), 2400, 2400, 3600, 1, 1}, LinearOptions(page, 600), &got);
  ExpectLabel(got, 2, "600 dpi");
  for (int i = 0; i < got.list.count; ++i) {
    const barcode::SymbolResult& r = got.list.items[i];
    // Module size is measured in the shrunk image; boxes come back scaled.
    EXPECT_GT(std::max(r.width, r.height), 2 * 150) << r.text;
  }
}

TEST(LocateBarcodesFixtures, ColourOneBitAndDegradedPages) {
  Page page = DrawLabel(1, 11);
  // Colour: three bytes per pixel.
  std::vector<uint8_t> rgb(page.grey.size() * 3);
  for (size_t i = 0; i < page.grey.size(); ++i)
    rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = page.grey[i];
  Located colour;
  Locate({rgb.data(), 1200, 3600, 1800, 6, 3}, LinearOptions(page, 300), &colour);
  ExpectLabel(colour, 1, "colour");
  // One bit per pixel, set = white.
  const uint32_t stride = (1200 + 31) / 32 * 4;
  std::vector<uint8_t> bits(stride * 1800);
  for (int y = 0; y < 1800; ++y)
    for (int x = 0; x < 1200; ++x)
      if (page.at(x, y) >= 128) bits[y * stride + x / 8] |= 0x80 >> (x % 8);
  Located bilevel;
  Locate({bits.data(), 1200, stride, 1800, 7, 1}, LinearOptions(page, 300), &bilevel);
  ExpectLabel(bilevel, 1, "one bit");
  // Seeded noise and blur.
  for (uint64_t seed : {1, 2, 3}) {
    Page noisy = DrawLabel(1, seed);
    fixtures::Rng rng(seed);
    fixtures::BoxBlur(&noisy);
    fixtures::AddNoise(&noisy, &rng, 40);
    Located got;
    Locate({noisy.grey.data(), 1200, 1200, 1800, 1, 1}, LinearOptions(noisy, 300), &got);
    ExpectLabel(got, 1, "noisy seed " + std::to_string(seed));
  }
}

TEST(LocateBarcodesFixtures, RegionReportsWholeImagePixels) {
  Page page = DrawLabel(1, 5);
  crop::LocateOptions o = LinearOptions(page, 300);
  o.regionLeft = 200;
  o.regionTop = 100;
  o.regionWidth = 900;
  o.regionHeight = 400;
  Located got;
  Locate({page.grey.data(), 1200, 1200, 1800, 1, 1}, o, &got);
  ASSERT_EQ(got.code, 0);
  ASSERT_EQ(got.list.count, 1);
  EXPECT_STREQ(got.list.items[0].text, "LR-1234-5678");
  ExpectBoxHolds(got.list.items[0], 600, 250, "region");
}

// A box reaches one row above the bars' box as it was found (two rows above
// the bars), except where that would take it to row 0 from row 1.
TEST(LocateBarcodesFixtures, BoxTopsAtTheImagesTopEdge) {
  const struct {
    int barsTop, boxTop;
  } kCases[] = {{2, 0}, {3, 1}, {4, 1}, {5, 2}, {40, 37}};
  for (const auto& c : kCases) {
    Page page(600, 300);
    const std::vector<uint8_t> modules = fixtures::EncodeLinear(BARCODE_CODE128, "ONE-128");
    fixtures::DrawLinear(&page, modules, {150 + modules.size() / 2.0 * 2, c.barsTop + 50.0, 2, 100, 0},
                         0);
    Located got;
    Locate({page.grey.data(), 600, 600, 300, 1, 1}, LinearOptions(page, 300), &got);
    ASSERT_EQ(got.code, 0) << c.barsTop;
    ASSERT_EQ(got.list.count, 1) << c.barsTop;
    EXPECT_EQ(got.list.items[0].centreY, c.boxTop) << c.barsTop;
  }
}

TEST(LocateBarcodesFixtures, TypesRotationModeAndUpcRule) {
  Page page(800, 700);
  std::vector<uint8_t> upc = fixtures::EncodeLinear(BARCODE_UPCA, "03600029145");
  fixtures::DrawLinear(&page, upc, {400, 200, 3, 120, 0});
  std::vector<uint8_t> vertical = fixtures::EncodeLinear(BARCODE_CODE128, "TURNED");
  fixtures::DrawLinear(&page, vertical, {400, 500, 2, 100, 0});
  crop::LocateOptions o = LinearOptions(page, 300);
  std::memset(o.types, 0, sizeof(o.types));
  o.types[8] = 1;  // EAN-13 only
  o.types[2] = 1;
  Located got;
  Locate({page.grey.data(), 800, 800, 700, 1, 1}, o, &got);
  ASSERT_EQ(got.code, 0);
  ASSERT_EQ(got.list.count, 2);
  EXPECT_EQ(got.list.items[0].type, 8u);
  EXPECT_STREQ(got.list.items[0].text, "0036000291452");
  // Rotation mode 1 scans turned only: upright bars are not read.
  o.rotationMode = 1;
  Located turnedOnly;
  Locate({page.grey.data(), 800, 800, 700, 1, 1}, o, &turnedOnly);
  EXPECT_EQ(turnedOnly.code, 0);
  EXPECT_EQ(turnedOnly.list.count, 0);
  // A result cap.
  o.rotationMode = 0;
  o.maxResults = 1;
  Located capped;
  Locate({page.grey.data(), 800, 800, 700, 1, 1}, o, &capped);
  EXPECT_EQ(capped.list.count, 1);
}

// Each linear type asked for alone switches the linear readers on and is
// the only one reported.
TEST(LocateBarcodesFixtures, EachLinearTypeAlone) {
  const Drawn kAlone[] = {
      {BARCODE_CODE39, "ALONE", 0, "ALONE", 0, 0, 0},
      {BARCODE_C25INTER, "1234", 1, "1234", 0, 0, 0},
      {BARCODE_CODE128, "alone", 2, "alone", 0, 0, 0},
      {BARCODE_GS1_128, "[10]AB12", 3, "10AB12", 0, 0, 0},
      {BARCODE_CODABAR, "A1234B", 4, "1234", 0, 0, 0},
      {BARCODE_UPCA, "01234567890", 5, "012345678905", 0, 0, 0},
      {BARCODE_UPCE, "0123456", 6, "01234565", 0, 0, 0},
      {BARCODE_EANX, "1234567", 7, "12345670", 0, 0, 0},
      {BARCODE_EANX, "400638133393", 8, "4006381333931", 0, 0, 0},
      {BARCODE_CODE93, "ALONE", 13, "ALONE", 0, 0, 0},
  };
  for (const Drawn& d : kAlone) {
    SCOPED_TRACE(d.text);
    Page page(600, 300);
    fixtures::DrawLinear(&page, fixtures::EncodeLinear(d.zint, d.data, d.zint == BARCODE_GS1_128),
                         {300, 150, 2, 120, 0});
    crop::LocateOptions o = LinearOptions(page, 300);
    std::memset(o.types, 0, sizeof(o.types));
    o.types[d.type] = 1;
    Located got;
    Locate({page.grey.data(), 600, 600, 300, 1, 1}, o, &got);
    ASSERT_EQ(got.code, 0);
    ASSERT_EQ(got.list.count, 1);
    EXPECT_EQ(got.list.items[0].type, d.type);
    EXPECT_EQ(std::string(got.list.items[0].text), d.text);
  }
}

}  // namespace
