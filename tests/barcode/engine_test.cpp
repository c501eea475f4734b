// Framework pieces of the scan engine that need no fixture library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/scan.h"

namespace {

using namespace barcode;

TEST(SymbolTypeFromName, NamesAndLookalikes) {
  const struct {
    const char* name;
    SymbolType type;
  } cases[] = {{"CODE_39", kCode39},
               {"ITF", kItf},
               {"CODE_128", kCode128},
               {"GS1_128", kGs1_128},
               {"CODABAR", kCodabar},
               {"UPC_A", kUpcA},
               {"UPC_E", kUpcE},
               {"EAN_8", kEan8},
               {"EAN_13", kEan13},
               {"QR_CODE", kQrCode},
               {"DATAMATRIX", kDataMatrix},
               {"CODE_93", kCode93},
               {"DATA_MATRIX", kUnsupported},
               {"AZTEC", kUnsupported},
               {"PDF_417", kUnsupported},
               {"RSS_14", kUnsupported},
               {"UPC_EAN_EXTENSION", kUnsupported},
               {"MAXICODE", kUnsupported},
               {"code_39", kUnknown},
               {"CODE_39 ", kUnknown},
               {"HXCode", kUnknown},
               {"", kUnknown}};
  for (const auto& c : cases) EXPECT_EQ(SymbolTypeFromName(c.name), c.type) << c.name;
  EXPECT_EQ(SymbolTypeFromName(nullptr), kUnknown);
}

TEST(ErrorTrail, KeepsLastFiveOldestFirst) {
  ClearErrorTrail();
  for (int i = 1; i <= 6; ++i) PushErrorTrail(kCategoryMemory, kModuleScan, i);
  const ErrorTrail& t = GetErrorTrail();
  ASSERT_EQ(t.count, 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(t.slots[i], -(kCategoryMemory + kModuleScan + i + 2));
  // A lone value goes in as it is.
  PushErrorTrail(-10102001, 0, 0);
  EXPECT_EQ(GetErrorTrail().slots[4], -10102001);
  EXPECT_EQ(GetErrorTrail().slots[0], -(kCategoryMemory + kModuleScan + 3));
  ClearErrorTrail();
  EXPECT_EQ(GetErrorTrail().count, 0u);
}

TEST(PatternVariance, Limits) {
  const int32_t finder[5] = {1, 1, 3, 1, 1};
  const struct {
    std::vector<uint32_t> runs;
    int32_t low, high;  // 500 and more scores but is no hit; 65536 is no match
  } cases[] = {
      {{4, 4, 12, 4, 4}, 0, 0},          // exact
      {{1, 1, 2, 1, 1}, 65536, 65536},   // total 6 below 7 modules
      {{4, 4, 4, 4, 4}, 500, 65535},     // centre too thin
      {{5, 4, 12, 4, 3}, 1, 499},        // within tolerance
      {{12, 1, 3, 1, 1}, 65536, 65536},  // one element far off
  };
  for (const auto& c : cases) {
    const int32_t v = PatternVariance(c.runs.data(), 5, finder, 7, 512);
    EXPECT_GE(v, c.low) << c.runs[0] << "," << c.runs[1] << "," << c.runs[2];
    EXPECT_LE(v, c.high) << c.runs[0] << "," << c.runs[1] << "," << c.runs[2];
  }
}

struct Image {
  std::vector<uint8_t> px;
  BinaryImage img;
  Image(uint32_t w, uint32_t h) : px(size_t{w} * h), img{w, w, h, 1, 8, px.data()} {}
  uint8_t& at(int x, int y) { return px[size_t(y) * img.width + x]; }
};

TEST(EraseSymbolArea, StaysInsideTheImage) {
  // Rectangles reaching past the image edges and absurd sizes stay inside.
  Image edge(50, 50);
  std::fill(edge.px.begin(), edge.px.end(), 1);
  EraseSymbolArea(&edge.img, {0, 0, 30, 30}, 45);
  EraseSymbolArea(&edge.img, {49, 49, 30, 30}, -30);
  EraseSymbolArea(&edge.img, {25, 25, 2000000000, 2000000000}, 10);
  // The huge rectangle clears the interior (blocks are 3 wide and 2 high,
  // every second column; edge pixels may stay).
  for (int y = 2; y < 47; ++y)
    for (int x = 2; x < 46; ++x) ASSERT_EQ(edge.at(x, y), 0) << x << "," << y;
  EraseSymbolArea(&edge.img, {-2000000000, 5, 10, 10}, 0);
}

// The area cleared, point by point as it is defined: every second column u
// and every row v of the rectangle, turned about its centre, clears the 3 x 2
// pixels from that point. The erasure clears whole spans at once, so any
// angle, size, position and stride must give exactly these pixels.
TEST(EraseSymbolArea, SameAsPointByPoint) {
  uint32_t seed = 12345;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  for (int trial = 0; trial < 3000; ++trial) {
    const uint32_t w = 5 + next(80), h = 5 + next(60), stride = w + next(4);
    std::vector<uint8_t> got(size_t{stride} * h, 1), want(got);
    const SymbolRect rect{next(w + 40) - 20, next(h + 40) - 20, next(70), next(50)};
    // The quarter turns first, then tenths of a degree and angles a hair off
    // them, where rounding decides the steps between points.
    const double hairs[] = {0, 0, 1e-9, -3e-12, 1e-13, 2e-15};
    const double hair = hairs[next(6)];
    const double angle = trial < 9 ? trial * 90.0 - 360 : next(7200) / 10.0 - 360 + hair;
    BinaryImage image{w, stride, h, 1, 8, got.data()};
    EraseSymbolArea(&image, rect, angle);
    const double a = angle * 3.1415926535897 / 180.0, ca = std::cos(a), sa = std::sin(a);
    for (int64_t u = -(rect.width / 2); u <= rect.width - rect.width / 2; u += 2) {
      for (int64_t v = -(rect.height / 2); v <= rect.height - rect.height / 2; ++v) {
        const double x = std::trunc(u * ca - v * sa) + rect.centreX;
        const double y = std::trunc(v * ca + u * sa) + rect.centreY;
        if (x < 0 || y < 0 || x >= w - 2.0 || y > h - 2.0) continue;
        uint8_t* p = want.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x);
        p[0] = p[1] = p[2] = p[stride] = p[stride + 1] = 0;
      }
    }
    ASSERT_EQ(got, want) << "trial " << trial << " angle " << angle;
  }
}

TEST(ScanSymbols, EmptyAndBadInput) {
  std::unique_ptr<SymbolResult[]> items(new SymbolResult[kMaxResults]());
  SymbolResultList list{0, items.get()};
  ScanOptions options{};
  options.linear = options.qrCode = options.dataMatrix = options.hanXin = options.pdf417 =
      options.bullseye = 1;
  for (int t = 0; t < 16; ++t) options.types[t] = 1;
  Image blank(300, 120);
  EXPECT_EQ(ScanSymbols(&blank.img, 1, &list, &options), 0);
  EXPECT_EQ(list.count, 0);

  Image im(64, 64);
  BinaryImage bad = im.img;
  bad.pixels = nullptr;
  EXPECT_NE(ScanSymbols(&bad, 1, &list, &options), 0);
  bad = im.img;
  bad.stride = 10;
  EXPECT_NE(ScanSymbols(&bad, 1, &list, &options), 0);
  EXPECT_NE(ScanSymbols(&im.img, 0, &list, &options), 0);
  EXPECT_NE(ScanSymbols(&im.img, 1, nullptr, &options), 0);
  bad = im.img;
  bad.width = 0;
  EXPECT_EQ(ScanSymbols(&bad, 1, &list, &options), 0);
}

TEST(ScanSymbols, OutOfMemoryAtEachAllocation) {
  std::unique_ptr<SymbolResult[]> items(new SymbolResult[kMaxResults]());
  SymbolResultList list{0, items.get()};
  ScanOptions options{};
  options.linear = options.qrCode = options.hanXin = options.bullseye = 1;
  options.types[0] = 1;
  Image im(64, 64);
  for (int n = 0; n < 8; ++n) {
    ClearErrorTrail();
    test_hooks::FailAllocationAfter(n);
    int32_t code = ScanSymbols(&im.img, 1, &list, &options);
    test_hooks::FailAllocationAfter(-1);
    if (code == 0) break;
    EXPECT_EQ(code, 1) << n;
    ASSERT_GE(GetErrorTrail().count, 1u);
    EXPECT_LE(GetErrorTrail().slots[0], -(kCategoryMemory + kModuleScan));
  }
  ClearErrorTrail();
  test_hooks::FailAllocationAfter(0);
  EXPECT_EQ(ThinRunFilter(&im.img, 0), 1);
  EXPECT_EQ(GetErrorTrail().slots[0], -(kCategoryMemory + kModuleScan + 73));
  test_hooks::FailAllocationAfter(-1);
}

}  // namespace
