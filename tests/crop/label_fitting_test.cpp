// Steps of the extended crop search and label fitting on small images made
// here: gap splitting, angle classes and turns, rooms, whole-module fitting,
// placement and the grey-pixel count.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "crop/label_fitting.h"
#include "crop/normalize_orientation.h"
#include "crop/region_analysis.h"

namespace {

using barcode::SymbolResult;

SymbolResult Result(int32_t left, int32_t top, int32_t width, int32_t height, double angle,
                    uint32_t type) {
  SymbolResult r;
  std::memset(&r, 0, sizeof r);
  r.centreX = left, r.centreY = top, r.width = width, r.height = height;
  r.angle = angle;
  r.type = type;
  return r;
}

TEST(SplitAtGaps, InnerGapsCountFromTheLeastGapEdgeGapsAlways) {
  // Ink at 0-9, a gap of `gap`, ink for 10, then a blank tail.
  const struct {
    int gap, leastGap, spans;
  } kCases[] = {{34, 33, 2}, {33, 33, 2}, {32, 33, 1}, {50, 50, 2}, {49, 50, 1}};
  for (const auto& c : kCases) {
    std::vector<uint32_t> profile(size_t(10 + c.gap + 10 + 5), 0);
    for (int x = 0; x < 10; ++x) profile[size_t(x)] = profile[size_t(10 + c.gap + x)] = 3;
    crop::Span spans[6];
    const int32_t n = crop::SplitAtGaps(profile.data(), int32_t(profile.size()), c.leastGap, spans, 6);
    ASSERT_EQ(n, c.spans) << c.gap;
    EXPECT_EQ(spans[0].start, 0);
    EXPECT_EQ(spans[n - 1].start + spans[n - 1].length, 20 + c.gap);  // the blank tail is cut
  }
  // A leading blank run of one column still separates; an all-blank profile has no span.
  const uint32_t lead[] = {0, 1, 1, 0, 1};
  crop::Span spans[6];
  ASSERT_EQ(crop::SplitAtGaps(lead, 5, 33, spans, 6), 1);
  EXPECT_EQ(spans[0].start, 1);
  EXPECT_EQ(spans[0].length, 4);
  const uint32_t blank[] = {0, 0, 0};
  EXPECT_EQ(crop::SplitAtGaps(blank, 3, 1, spans, 6), 0);
  // More spans than room: counted, not written past the room.
  const uint32_t many[] = {1, 0, 1, 0, 1, 0, 1};
  EXPECT_EQ(crop::SplitAtGaps(many, 7, 1, spans, 2), 4);
}

TEST(NormalizeOrientation, AngleClassesAtTheirEdges) {
  const struct {
    double angle;
    int angleClass;
  } kCases[] = {{-5, 0},    {5, 0},     {5.01, 4},  {-5.01, 4}, {84.9, 4},  {85, 1},    {95, 1},
                {95.1, 4},  {-265, 1},  {-275, 1},  {175, 2},   {185, 2},   {-175, 2},  {-185, 2},
                {-174.9, 4}, {265, 3},  {275, 3},   {-85, 3},   {-95, 3},   {-95.1, 4}, {45, 4}};
  for (const auto& c : kCases) EXPECT_EQ(crop::AngleClass(c.angle), c.angleClass) << c.angle;
}

TEST(NormalizeOrientation, DecidingGroupTiesAndTheLandscapeRule) {
  const struct {
    std::vector<std::pair<uint32_t, double>> barcodes;  // type, angle
    uint32_t width, height;
    bool landscapeRule;
    int turn;
  } kCases[] = {
      // Code 128 decides over more barcodes of other groups.
      {{{2, 90}, {0, 0}, {0, 0}, {9, 0}}, 500, 500, false, 90},
      // Without Code 128 the other linear types decide over two-dimensional ones.
      {{{0, 180}, {9, -90}, {9, -90}}, 500, 500, false, 180},
      {{{9, -90}, {10, -90}, {9, 0}}, 500, 500, false, 270},
      // A tie is undecided: portrait pages turn, landscape ones do not...
      {{{2, 0}, {2, 90}}, 400, 500, false, 270},
      {{{2, 0}, {2, 90}}, 500, 400, false, 0},
      {{{2, 0}, {2, 90}}, 500, 500, false, 0},  // square: not portrait
      // ...and with the landscape rule, the other way round.
      {{{2, 0}, {2, 90}}, 500, 400, true, 270},
      {{{2, 0}, {2, 90}}, 400, 500, true, 0},
      {{{2, 30}}, 500, 500, true, 0},
      {{{2, 30}}, 501, 500, true, 270},
  };
  for (const auto& c : kCases) {
    std::vector<SymbolResult> results;
    for (const auto& [type, angle] : c.barcodes) results.push_back(Result(10, 10, 50, 20, angle, type));
    barcode::SymbolResultList list{int32_t(results.size()), results.data()};
    EXPECT_EQ(crop::ChooseTurn(&list, c.width, c.height, c.landscapeRule), c.turn)
        << c.barcodes.size() << " barcodes, " << c.width << "x" << c.height;
  }
}

TEST(NormalizeOrientation, ReaderPositionTrimsTheEndWhereReadingEnded) {
  const struct {
    double angle;
    uint32_t position;
    int32_t left, top, width, height;
  } kCases[] = {
      {0, 7, 10, 20, 93, 40},  {90, 7, 10, 20, 100, 33}, {180, 7, 17, 20, 93, 40},
      {-90, 7, 10, 27, 100, 33}, {45, 7, 10, 20, 100, 40}, {0, 500, 10, 20, 1, 40},
  };
  for (const auto& c : kCases) {
    SymbolResult r = Result(10, 20, 100, 40, c.angle, barcode::kCode128);
    r.readerPosition = c.position;
    barcode::SymbolResultList list{1, &r};
    crop::ChooseTurn(&list, 1000, 1000, false);
    EXPECT_EQ(r.readerPosition, 0u);
    EXPECT_EQ(r.centreX, c.left) << c.angle;
    EXPECT_EQ(r.centreY, c.top) << c.angle;
    EXPECT_EQ(r.width, c.width) << c.angle;
    EXPECT_EQ(r.height, c.height) << c.angle;
  }
}

// A dark box in an image of every row padding, turned each way: the mapped
// box is exactly the dark pixels of the turned image.
TEST(NormalizeOrientation, TurnedBoxesCoverTheTurnedInk) {
  for (uint32_t width : {13u, 14u, 15u, 16u, 40u}) {
    for (int angle : {90, 180, 270}) {
      crop::OwnedImage image;
      ASSERT_TRUE(crop::MakeImage(&image, width, 11, 1, 255));
      for (uint32_t y = 2; y < 7; ++y)
        for (uint32_t x = 3; x < 12; ++x) image.pixels[y * image.stride + x] = 0;
      crop::OwnedImage turned;
      ASSERT_EQ(crop::TurnImage(image.View(), angle, &turned), 0);
      EXPECT_EQ(turned.stride % 4, 0u);
      SymbolResult r = Result(3, 2, 9, 5, 0, barcode::kCode128);
      crop::MapTurnedBox(&r, angle, int32_t(turned.width), int32_t(turned.height));
      EXPECT_EQ(r.angle, angle == 180 ? 180 : angle == 90 ? -90 : 90);
      for (uint32_t y = 0; y < turned.height; ++y)
        for (uint32_t x = 0; x < turned.width; ++x) {
          const bool inBox = int32_t(x) >= r.centreX && int32_t(x) < r.centreX + r.width &&
                             int32_t(y) >= r.centreY && int32_t(y) < r.centreY + r.height;
          ASSERT_EQ(turned.pixels[y * turned.stride + x] == 0, inBox)
              << "width " << width << " angle " << angle << " at " << x << "," << y;
        }
    }
  }
  crop::OwnedImage image, turned;
  ASSERT_TRUE(crop::MakeImage(&image, 8, 8, 1, 255));
  EXPECT_EQ(crop::TurnImage(image.View(), 45, &turned), 5);
}

TEST(SeparateRooms, OverlapsAreSharedOutOnTheirShorterAxis) {
  using crop::Room;
  const struct {
    Room a, b;
    Room wantA, wantB;
  } kCases[] = {
      // Side by side, overlapping by 5: 3 each.
      {{0, 0, 105, 50}, {100, 0, 100, 50}, {0, 0, 102, 50}, {103, 0, 97, 50}},
      // By 1: only the left room gives it up.
      {{0, 0, 101, 50}, {100, 0, 100, 50}, {0, 0, 100, 50}, {100, 0, 100, 50}},
      // Apart: untouched.
      {{0, 0, 100, 50}, {100, 0, 100, 50}, {0, 0, 100, 50}, {100, 0, 100, 50}},
      // Stacked, overlapping by 4 rows over 100 columns: split vertically, 2 each.
      {{0, 0, 100, 54}, {0, 50, 100, 50}, {0, 0, 100, 52}, {0, 52, 100, 48}},
      // Stacked the other way round in the list: the same split.
      {{0, 50, 100, 50}, {0, 0, 100, 54}, {0, 52, 100, 48}, {0, 0, 100, 52}},
      // One row of overlap: the upper room gives it up.
      {{0, 50, 100, 50}, {0, 0, 100, 51}, {0, 50, 100, 50}, {0, 0, 100, 50}},
      // Tall overlap, narrow in x: split horizontally.
      {{0, 0, 104, 100}, {100, 10, 100, 100}, {0, 0, 102, 100}, {102, 10, 98, 100}},
      // Lower room inside the other's right half, bottoms level: split across x.
      {{50, 50, 100, 10}, {0, 0, 100, 60}, {75, 50, 75, 10}, {0, 0, 75, 60}},
      // Its bottom one row below the other's: split across y.
      {{50, 50, 100, 11}, {0, 0, 100, 60}, {50, 55, 100, 6}, {0, 0, 100, 55}},
  };
  for (const auto& c : kCases) {
    Room rooms[2] = {c.a, c.b};
    crop::SeparateRooms(rooms, 2);
    for (int k = 0; k < 2; ++k) {
      const Room& want = k == 0 ? c.wantA : c.wantB;
      EXPECT_EQ(rooms[k].left, want.left) << "case a.left " << c.a.left << " room " << k;
      EXPECT_EQ(rooms[k].top, want.top) << "case a.top " << c.a.top << " room " << k;
      EXPECT_EQ(rooms[k].width, want.width) << "case a.width " << c.a.width << " room " << k;
      EXPECT_EQ(rooms[k].height, want.height) << "case a.height " << c.a.height << " room " << k;
    }
  }
}

TEST(FitByModules, LargestWholeModuleAboveTheLeast) {
  const struct {
    crop::Room room;
    uint32_t width, height;
    double module, angle;
    bool matrix;
    int32_t least, code;
    uint32_t newWidth;
  } kCases[] = {
      {{0, 0, 400, 50}, 600, 100, 3, 0, false, 1, 0, 400},    // 2/3 fits exactly
      {{0, 0, 399, 50}, 600, 100, 3, 0, false, 1, 6, 0},      // 1 dot is the least
      {{0, 0, 399, 50}, 600, 100, 3, 0, false, 0, 0, 200},
      {{0, 0, 400, 50}, 600, 100, 3, 0, false, 2, 6, 0},      // 300 dpi: 2 is the least
      {{0, 0, 400, 50}, 600, 100, 2.5, 0, false, 1, 0, 400},  // 2.5 rounds to 3
      {{0, 0, 50, 400}, 100, 600, 3, 90, false, 1, 0, 66},    // across the height
      {{0, 0, 10, 400}, 100, 600, 3, 10, false, 1, 6, 0},     // 10 degrees is still across
      {{0, 0, 10, 400}, 100, 600, 3, 10.5, false, 1, 0, 66},
      {{0, 0, 200, 100}, 216, 216, 8, 0, true, 1, 0, 81},     // height is the tighter axis
      {{0, 0, 100, 100}, 216, 216, 8, 0, true, 1, 0, 81},     // a tie takes the height
      {{0, 0, 100, 100}, 216, 216, 0, 0, true, 1, 5, 0},
      {{0, 0, 100, 100}, 216, 216, 100.5, 0, true, 1, 5, 0},
  };
  for (const auto& c : kCases) {
    uint32_t width = 0;
    EXPECT_EQ(crop::FitByModules(c.room, c.width, c.height, c.module, c.angle, c.matrix, c.least, &width),
              c.code)
        << c.room.width << "x" << c.room.height << " module " << c.module;
    if (c.code == 0) {
      EXPECT_EQ(width, c.newWidth) << c.room.width << "x" << c.room.height;
    }
  }
}

TEST(PlaceInRoom, ScaledCentreKeptInsideTheRoom) {
  const struct {
    int32_t p, n, r, length;
    double s;
    int32_t position;
  } kCases[] = {
      {100, 20, 0, 200, 0.5, 45},   // trunc(110 x 0.5) - 10
      {100, 20, 0, 65, 0.5, 45},    // ends exactly at r + L: pulled back to the same place
      {100, 20, 0, 64, 0.5, 44},    // would end past the room
      {100, 20, 60, 100, 0.5, 60},  // would start before it
      {100, 200, 0, 50, 0.5, 0},    // larger than the room: at its start
  };
  for (const auto& c : kCases)
    EXPECT_EQ(crop::PlaceInRoom(c.p, c.n, c.r, c.length, c.s), c.position) << c.p << " " << c.length;
}

// Rows padded to whole four-byte words, and no further.
TEST(MakeImage, RowsPaddedToFourBytes) {
  const struct {
    uint32_t width, bytesPerPixel, stride;
  } kCases[] = {{1, 1, 4}, {3, 1, 4}, {4, 1, 4}, {5, 1, 8}, {4, 3, 12}, {5, 3, 16}};
  for (const auto& c : kCases) {
    crop::OwnedImage image;
    ASSERT_TRUE(crop::MakeImage(&image, c.width, 2, c.bytesPerPixel, 255));
    EXPECT_EQ(image.stride, c.stride) << c.width << " x " << c.bytesPerPixel;
  }
}

TEST(ShrinkNearest, PicksSourcePixelsByTheEndToEndRatio) {
  crop::OwnedImage source;
  ASSERT_TRUE(crop::MakeImage(&source, 9, 1, 1, 0));
  for (uint32_t x = 0; x < 9; ++x) source.pixels[x] = uint8_t(x);
  crop::OwnedImage target;
  ASSERT_EQ(crop::ShrinkNearest(source.View(), 4, 1, &target), 0);
  // t x 8 / 3: 0, 2, 5, 8 (the last column is the last column).
  EXPECT_EQ(std::vector<uint8_t>(target.pixels.get(), target.pixels.get() + 4), (std::vector<uint8_t>{0, 2, 5, 8}));
  ASSERT_EQ(crop::ShrinkNearest(source.View(), 1, 1, &target), 0);
  EXPECT_EQ(target.pixels[0], 0);
}

// The grey count of a barcode box: a tenth is still clean, one byte more is not.
TEST(FitRegion, GreyShareAboveATenthIsAntiAliased) {
  for (const int grey : {100, 101}) {
    crop::OwnedImage region;
    ASSERT_TRUE(crop::MakeImage(&region, 100, 40, 1, 255));
    // A 50 x 20 box with a dark band in its middle rows; grey bytes inside it.
    for (uint32_t y = 16; y < 24; ++y) std::memset(&region.pixels[y * region.stride + 25], 0, 50);
    for (int k = 0; k < grey; ++k) region.pixels[(10 + k / 50) * region.stride + 25 + k % 50] = 128;
    SymbolResult r = Result(25, 10, 50, 20, 0, barcode::kQrCode);
    barcode::SymbolResultList list{1, &r};
    crop::OwnedImage label;
    ASSERT_EQ(crop::FitRegion(&region, &list, 100, true, &label), 0);
    EXPECT_EQ(r.antiAliased, grey > 100 ? 1u : 0u) << grey;
    EXPECT_EQ(r.reRendered, 0u);
    EXPECT_EQ(label.width, 100u);
  }
}

TEST(BareRegionImage, WideStripsTurnThenShrink) {
  const struct {
    uint32_t width, height, printable;
    uint32_t wantWidth, wantHeight;
  } kCases[] = {
      {300, 100, 200, 100, 300},  // wider than the media and landscape: turned
      {300, 100, 300, 300, 100},  // as wide as the media: kept
      {300, 400, 200, 200, 266},  // portrait: shrunk
      {900, 1, 200, 1, 900},      // one row: turned into one column
      {300, 100, 50, 50, 150},    // turned, still too wide: shrunk
  };
  for (const auto& c : kCases) {
    crop::OwnedImage region;
    ASSERT_TRUE(crop::MakeImage(&region, c.width, c.height, 1, 255));
    ASSERT_EQ(crop::BareRegionImage(&region, c.printable), 0);
    EXPECT_EQ(region.width, c.wantWidth) << c.width << "x" << c.height;
    EXPECT_EQ(region.height, c.wantHeight) << c.width << "x" << c.height;
  }
}

}  // namespace
