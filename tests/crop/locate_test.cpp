// The location front-end's argument checks, image steps and result clean-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "crop/locate_barcodes.h"
#include "crop/work_images.h"

namespace {

using barcode::SymbolResult;
using barcode::SymbolResultList;

crop::LocateOptions Options(uint32_t w, uint32_t h) {
  crop::LocateOptions o{};
  o.regionWidth = static_cast<int32_t>(w);
  o.regionHeight = static_cast<int32_t>(h);
  for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13}) o.types[t] = 1;
  o.resolution = 300;
  o.maxResults = 100;
  return o;
}

// The trail's first slot names the check that refused: -(category + module + site).
constexpr int32_t BadImage(int32_t site) { return -(barcode::kCategoryNotFound + 902000 + site); }
constexpr int32_t BadArgument(int32_t site) {
  return -(barcode::kCategoryBadArgument + 902000 + site);
}

TEST(LocateBarcodes, ReturnCodes) {
  std::vector<uint8_t> px(100 * 80, 255);
  const crop::SourceImage good{px.data(), 100, 100, 80, 1, 1};
  struct Case {
    const char* what;
    crop::SourceImage image;
    int32_t left, top, width, height;
    bool noTypes;
    int32_t code, firstSlot;
  } cases[] = {
      {"blank page", good, 0, 0, 100, 80, false, 0, 0},
      {"null pixels", {nullptr, 100, 100, 80, 1, 1}, 0, 0, 100, 80, false, 4, BadImage(41)},
      {"two bytes per pixel", {px.data(), 50, 100, 80, 1, 2}, 0, 0, 50, 80, false, 4, BadImage(41)},
      {"unknown format", {px.data(), 100, 100, 80, 3, 1}, 0, 0, 100, 80, false, 4, BadImage(41)},
      {"stride below the row", {px.data(), 100, 99, 80, 1, 1}, 0, 0, 100, 80, false, 4,
       BadImage(43)},
      {"colour stride below the row", {px.data(), 40, 100, 80, 6, 3}, 0, 0, 40, 80, false, 4,
       BadImage(43)},
      {"colour stride just holds the row", {px.data(), 33, 99, 80, 6, 3}, 0, 0, 33, 80, false, 0,
       0},
      {"one-bit stride too small", {px.data(), 100, 12, 80, 7, 1}, 0, 0, 100, 80, false, 4,
       BadImage(45)},
      {"one-bit, one byte per pixel", {px.data(), 100, 13, 80, 7, 1}, 0, 0, 100, 80, false, 0, 0},
      {"one-bit, three bytes per pixel", {px.data(), 100, 13, 80, 7, 3}, 0, 0, 100, 80, false, 0,
       0},
      {"one-bit, two bytes per pixel", {px.data(), 100, 13, 80, 7, 2}, 0, 0, 100, 80, false, 4,
       BadImage(41)},
      {"huge sizes", {px.data(), 0x40000000, 0xffffffff, 0x40000000, 1, 1}, 0, 0, 1, 1, false, 4,
       BadImage(47)},
      {"empty region", good, 0, 0, 0, 0, false, 5, BadArgument(49)},
      {"region past the right edge", good, 10, 0, 100, 80, false, 5, BadArgument(53)},
      {"region above the image", good, 0, -1, 100, 80, false, 5, BadArgument(53)},
      {"negative width", good, 50, 0, -10, 80, false, 5, BadArgument(53)},
      {"nothing wanted", good, 0, 0, 100, 80, true, 5, BadArgument(11)},
  };
  for (const Case& c : cases) {
    crop::LocateOptions o = Options(100, 80);
    o.regionLeft = c.left, o.regionTop = c.top, o.regionWidth = c.width, o.regionHeight = c.height;
    if (c.noTypes) std::memset(o.types, 0, sizeof(o.types));
    SymbolResultList results{7, nullptr};
    EXPECT_EQ(crop::LocateBarcodes(&c.image, &o, &results), c.code) << c.what;
    if (c.code != 0) {
      EXPECT_EQ(results.items, nullptr) << c.what;
      const barcode::ErrorTrail& trail = barcode::GetErrorTrail();
      ASSERT_GE(trail.count, 2u) << c.what;
      EXPECT_EQ(trail.slots[0], c.firstSlot) << c.what;
      EXPECT_EQ(trail.slots[trail.count - 1], -(barcode::kCategoryStepFailed + 777000 + 5));
    } else {
      EXPECT_EQ(results.count, 0) << c.what;
    }
    crop::FreeLocateResults(&results);
  }
  crop::LocateOptions o = Options(100, 80);
  SymbolResultList results{};
  EXPECT_EQ(crop::LocateBarcodes(nullptr, &o, &results), 5);
  // Memory: the result array itself, then each later allocation.
  for (int n = 0; n < 6; ++n) {
    crop::ReleaseWorkImages();  // so that the work buffers are allocated again
    barcode::test_hooks::FailAllocationAfter(n);
    int32_t code = crop::LocateBarcodes(&good, &o, &results);
    barcode::test_hooks::FailAllocationAfter(-1);
    // The result array and the binary image are ours (3); inside the
    // library's scan a memory failure is a failed stage (7).
    if (n <= 1)
      EXPECT_EQ(code, 3) << n;
    else
      EXPECT_TRUE(code == 3 || code == 7) << n << " " << code;
    EXPECT_EQ(results.items, nullptr);
    crop::FreeLocateResults(&results);
  }
}

TEST(LocateBarcodes, TurnedImageThatCannotBeMadeFailsTheStep) {
  // Turned pass only: the result array, the binary image, the thin-run
  // filter's masks, then the turned image are the first four allocations.
  std::vector<uint8_t> px(100 * 80, 255);
  const crop::SourceImage page{px.data(), 100, 100, 80, 1, 1};
  crop::LocateOptions o = Options(100, 80);
  o.rotationMode = 1;
  const int32_t expected[] = {3, 3, 3, 7};
  for (int n = 0; n < 4; ++n) {
    crop::ReleaseWorkImages();
    barcode::test_hooks::FailAllocationAfter(n);
    SymbolResultList results{};
    const int32_t code = crop::LocateBarcodes(&page, &o, &results);
    barcode::test_hooks::FailAllocationAfter(-1);
    EXPECT_EQ(code, expected[n]) << n;
    EXPECT_EQ(results.items, nullptr) << n;
    crop::FreeLocateResults(&results);
  }
  crop::ReleaseWorkImages();
  SymbolResultList results{};
  EXPECT_EQ(crop::LocateBarcodes(&page, &o, &results), 0);
  crop::FreeLocateResults(&results);
}

SymbolResult Result(uint32_t type, const char* text, int x, int y, int w, int h, double angle) {
  SymbolResult r{};
  r.type = type;
  std::strcpy(r.text, text);
  std::strcpy(r.secondText, text);
  r.centreX = x, r.centreY = y, r.width = w, r.height = h, r.angle = angle;
  return r;
}

TEST(MergeSplitReads, JoinsReadsAlongTheBarsOnly) {
  std::unique_ptr<SymbolResult[]> items(new SymbolResult[8]());
  SymbolResultList list{0, items.get()};
  // Two halves of one Code 128, one above the other.
  items[0] = Result(2, "ABC", 200, 100, 300, 40, 0);
  items[1] = Result(2, "ABC", 200, 142, 300, 40, 0);
  // Same text beside it along the reading direction: not a split read.
  items[2] = Result(2, "XYZ", 200, 300, 300, 40, 0);
  items[3] = Result(2, "XYZ", 520, 300, 300, 40, 0);
  // Same place, other text; and a 2-D type.
  items[4] = Result(2, "ABD", 200, 120, 300, 40, 0);
  items[5] = Result(9, "Q", 600, 600, 50, 50, 0);
  items[6] = Result(9, "Q", 600, 610, 50, 50, 0);
  list.count = 7;
  bool changed = true;
  crop::MergeSplitReads(&list, &changed);
  EXPECT_TRUE(changed);
  ASSERT_EQ(list.count, 6);
  EXPECT_EQ(items[0].height, 80);
  EXPECT_EQ(items[0].centreY, 120);  // moved 20 rows toward the second read
  EXPECT_STREQ(items[1].text, "XYZ");
  crop::MergeSplitReads(&list, &changed);
  EXPECT_FALSE(changed);
}

TEST(FilterByType, UpcAAsEan13WhenOnlyEan13Wanted) {
  std::unique_ptr<SymbolResult[]> items(new SymbolResult[4]());
  SymbolResultList list{3, items.get()};
  items[0] = Result(5, "012345678905", 0, 0, 1, 1, 0);
  items[1] = Result(0, "CODE39", 0, 0, 1, 1, 0);
  items[2] = Result(17, "?", 0, 0, 1, 1, 0);
  uint8_t wanted[100] = {};
  wanted[8] = 1;
  crop::FilterByType(&list, wanted);
  ASSERT_EQ(list.count, 1);
  EXPECT_EQ(items[0].type, 8u);
  EXPECT_STREQ(items[0].text, "0012345678905");
  EXPECT_STREQ(items[0].secondText, "0012345678905");
  // With UPC-A wanted it stays UPC-A.
  items[0] = Result(5, "012345678905", 0, 0, 1, 1, 0);
  list.count = 1;
  wanted[5] = 1;
  crop::FilterByType(&list, wanted);
  EXPECT_EQ(items[0].type, 5u);
}

TEST(ToUprightBoxes, TurnsScalesAndClamps) {
  std::unique_ptr<SymbolResult[]> items(new SymbolResult[3]());
  SymbolResultList list{3, items.get()};
  items[0] = Result(2, "a", 100, 50, 40, 20, 0);
  items[1] = Result(2, "b", 100, 50, 40, 20, 90);
  items[2] = Result(2, "c", 5, 5, 40, 20, 270);
  crop::ToUprightBoxes(&list, 1000, 1000, 2.0);
  EXPECT_EQ(items[0].centreX, 160);
  EXPECT_EQ(items[0].centreY, 80);
  EXPECT_EQ(items[0].width, 81);
  EXPECT_EQ(items[0].height, 41);
  EXPECT_EQ(items[1].width, 41);
  EXPECT_EQ(items[1].height, 81);
  EXPECT_EQ(items[2].centreX, 0);  // clamped at the left edge
  EXPECT_EQ(items[2].angle, -90);
}

TEST(ImageSteps, ResizeExpandAndBadTurn) {
  uint8_t src[6] = {1, 2, 3, 4, 5, 6};
  crop::WorkImage s{src, 3, 2, 3, 1};
  uint8_t out[6];
  crop::WorkImage target{out, 0, 0, 0, 1};
  EXPECT_NE(crop::RotateImage(s, &target, 45), 0);

  uint8_t big[9] = {0, 100, 200, 0, 100, 200, 0, 100, 200};
  uint8_t small[4] = {};
  crop::WorkImage from{big, 3, 3, 3, 1}, to{small, 2, 2, 2, 1};
  crop::ResizeBilinear(from, &to);
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(small[1], 200);

  const uint8_t bits[2] = {0xA0, 0x80};  // 1010 0000 | 1000 0000
  crop::SourceImage bilevel{bits, 9, 2, 1, 7, 1};
  uint8_t grey[9] = {};
  crop::ExpandBilevel(bilevel, grey);
  const uint8_t expect[9] = {255, 0, 255, 0, 0, 0, 0, 0, 255};
  EXPECT_EQ(std::memcmp(grey, expect, 9), 0);
}

// A pixel is dark below the threshold and light from it on, grey or colour
// (three equal samples weigh as one), at every edge of the range; the row's
// padding is cleared.
TEST(ImageSteps, BinarizeDarkBelowTheThreshold) {
  for (int threshold : {0, 1, 2, 128, 255, 256}) {
    for (uint32_t bpp : {1u, 3u}) {
      uint8_t values[4];
      for (int k = 0; k < 4; ++k) values[k] = uint8_t(std::clamp(threshold - 2 + k, 0, 255));
      uint8_t pixels[12];
      for (int k = 0; k < 12; ++k) pixels[k] = values[k / bpp % 4];
      uint8_t bits[8];
      std::memset(bits, 0xAA, sizeof bits);
      barcode::BinaryImage binary{4, 8, 1, 1, 8, bits};
      ASSERT_EQ(crop::Binarize({pixels, 4, 1, 12, bpp}, &binary, threshold), 0);
      for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(bits[k], k < 4 && values[k] < threshold ? 1 : 0)
            << "threshold " << threshold << ", " << bpp << " bytes a pixel, pixel " << k;
      }
    }
  }
}

// Turns by whole 16 x 16 blocks (two at a time where AVX2 is there, and one
// at a time) with the ragged edges done pixel by pixel: sizes on and off the
// block grid, a padded source stride, against the pixel-by-pixel definition
// of each turn.
TEST(ImageSteps, TurnsMatchThePixelDefinition) {
  const struct {
    uint32_t w, h;
  } sizes[] = {{16, 16}, {37, 21}, {33, 9}, {1, 13}, {64, 40}, {50, 35}};
  for (bool narrow : {false, true}) {
    crop::test_hooks::UseNarrowTurnsOnly(narrow);
    for (const auto& size : sizes) {
      const uint32_t w = size.w, h = size.h, stride = w + 3;
      std::vector<uint8_t> src(static_cast<size_t>(stride) * h);
      for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 37 + i / 7);
      const crop::WorkImage s{src.data(), w, h, stride, 1};
      for (int angle : {90, 180, 270}) {
        std::vector<uint8_t> out(static_cast<size_t>(w) * h);
        crop::WorkImage t{out.data(), 0, 0, 0, 1};
        ASSERT_EQ(crop::RotateImage(s, &t, angle), 0);
        for (uint32_t y = 0; y < h; ++y) {
          for (uint32_t x = 0; x < w; ++x) {
            const uint32_t tx = angle == 270 ? h - 1 - y : angle == 90 ? y : w - 1 - x;
            const uint32_t ty = angle == 270 ? x : angle == 90 ? w - 1 - x : h - 1 - y;
            ASSERT_EQ(out[ty * t.stride + tx], src[y * stride + x])
                << w << "x" << h << " at " << angle << (narrow ? " (one block)" : "") << ": " << x
                << "," << y;
          }
        }
      }
    }
  }
  crop::test_hooks::UseNarrowTurnsOnly(false);
}

}  // namespace
