// PDF417 streams (correction over GF(929), compaction modes, bad streams)
// and what the row stages hand over: PDF417 segments and bullseye points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "barcode/error_trail.h"
#include "barcode/group_stages.h"
#include "barcode/pdf417.h"
#include "barcode/scan.h"
#include "support/pdf417_ecc.h"

namespace {

using fixtures::Pdf417WithEcc;

// Base-900 digits of a 6-byte group.
std::vector<int32_t> ByteGroup(const std::string& six) {
  uint64_t v = 0;
  for (unsigned char c : six) v = v << 8 | c;
  std::vector<int32_t> out(5);
  for (int i = 4; i >= 0; --i, v /= 900) out[i] = static_cast<int32_t>(v % 900);
  return out;
}

std::string Decode(std::vector<int32_t> data, int32_t* code) {
  char text[200];
  *code = barcode::DecodePdf417Stream(data.data(), static_cast<int32_t>(data.size()), text, 200);
  return text;
}

TEST(Pdf417Stream, CompactionModes) {
  auto g = ByteGroup("abc\xE9\x01z");
  struct Case {
    std::vector<int32_t> cw;  // without the length descriptor
    std::string text;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {{1, 63}, "ABCD", 0},
      {{27 * 30 + 0, 1 * 30 + 28, 3 * 30 + 25, 17 * 30 + 26}, "ab3.{", 0},  // lower, mixed, punct
      {{29 * 30 + 15, 29 * 30 + 10, 28 * 30 + 0}, "\n!0", 0},                 // punct shifts, mixed
      {{0 * 30 + 29, 913, 0xE9, 1 * 30 + 29}, "A\xE9" "B", 0},  // byte shift drops a pad shift
      {{902, 1, 223}, "123", 0},                                                // numeric, leading 1 off
      {{924, g[0], g[1], g[2], g[3], g[4]}, "abc\xE9\x01z", 0},
      {{901, g[0], g[1], g[2], g[3], g[4], 'q'}, "abc\xE9\x01zq", 0},
      {{901, 'x', 'y', 'z', 'w', 'v'}, "xyzwv", 0},  // 901 ends in up to five single bytes
      {{1, 928, 1, 2}, "AB", 0},                     // a macro block ends the data
      {{1, 922}, "AB", 0},
      {{927, 3, 1}, "AB", 0},                        // ECI and its argument skipped
      {{924, 1, 2, 3, 4}, "", barcode::kPdfStreamBroken},  // 924 group cut short
      {{902, 0, 223}, "", barcode::kPdfStreamBroken},      // no leading 1
      {{1, 905}, "", barcode::kPdfStreamBroken},           // no such mode
      {{1, 913}, "", barcode::kPdfStreamBroken},           // a shift with no byte
      {{1, 926, 3}, "", barcode::kPdfStreamBroken},        // ECI missing an argument
  };
  for (const Case& c : cases) {
    std::vector<int32_t> cw{static_cast<int32_t>(c.cw.size() + 1)};
    cw.insert(cw.end(), c.cw.begin(), c.cw.end());
    int32_t code = 99;
    const std::string text = Decode(cw, &code);
    EXPECT_EQ(code, c.code) << c.text;
    if (c.code == 0) {
      EXPECT_EQ(text, c.text);
    }
  }
}

TEST(Pdf417Stream, LengthDescriptorInsideTheData) {
  int32_t code = 0;
  EXPECT_EQ(Decode({3, 1, 63}, &code), "ABCD");
  EXPECT_EQ(code, 0);
  Decode({4, 1, 63}, &code);  // one past the data
  EXPECT_EQ(code, barcode::kPdfStreamOutside);
  Decode({0, 1, 63}, &code);
  EXPECT_EQ(code, barcode::kPdfStreamOutside);
  EXPECT_EQ(Decode({2, 1, 63}, &code), "AB");  // shorter: the rest is padding
}

// k check codewords correct k / 2 errors anywhere; one more is refused.
TEST(Pdf417Stream, CorrectionUpToHalfTheCheckCodewords) {
  for (int level = 0; level <= 8; level += 2) {
    const int k = 2 << level;
    std::vector<int32_t> data{40};
    for (int i = 1; i < 40; ++i) data.push_back((i * 37 + level) % 900);
    const std::vector<int32_t> good = Pdf417WithEcc(data, k);
    if (good.size() > 928) continue;
    for (int errors : {k / 2, k / 2 + 1}) {
      std::vector<int32_t> bad = good;
      for (int e = 0; e < errors; ++e) {
        const size_t at = (e * 7919u + level) % bad.size();
        bad[at] = (bad[at] + 1 + e) % 929;
      }
      const int32_t fixed = barcode::CorrectPdf417(bad.data(), static_cast<int32_t>(bad.size()), k);
      if (errors == k / 2) {
        EXPECT_EQ(fixed, errors) << level;
        EXPECT_EQ(bad, good) << level;
      } else {
        EXPECT_TRUE(fixed < 0 || bad != good) << level;
        EXPECT_NE(bad, good) << level;
      }
    }
  }
  std::vector<int32_t> clean = Pdf417WithEcc({3, 1, 63}, 2);
  EXPECT_EQ(barcode::CorrectPdf417(clean.data(), 5, 2), 0);
  EXPECT_EQ(barcode::CorrectPdf417(clean.data(), 5, 5), -1);  // not fewer data than checks
}

TEST(Pdf417Codewords, EveryPatternLooksUpToItself) {
  for (int cluster = 0; cluster < 3; ++cluster)
    for (int cw = 0; cw < 929; ++cw) {
      int found = -1;
      ASSERT_EQ(barcode::Pdf417Lookup(barcode::Pdf417Pattern(cluster, cw), &found), cw);
      ASSERT_EQ(found, cluster);
    }
  int c = 0;
  EXPECT_EQ(barcode::Pdf417Lookup(0x1fea8, &c), -1);  // the start pattern is no codeword
}

// --- What the row stages hand over -----------------------------------------

struct Image {
  int w, h;
  std::vector<uint8_t> px;
  Image(int w_, int h_) : w(w_), h(h_), px(static_cast<size_t>(w_) * h_, 0) {}
  // Bars and spaces of the given widths (bar first) from column x, rows y0..y1.
  void Pattern(int x, int y0, int y1, const std::vector<int>& widths, int module) {
    for (int y = y0; y < y1; ++y) {
      int at = x;
      for (size_t i = 0; i < widths.size(); ++i) {
        for (int k = 0; k < widths[i] * module; ++k) px[static_cast<size_t>(y) * w + at + k] = i % 2 == 0;
        at += widths[i] * module;
      }
    }
  }
};

std::vector<barcode::Pdf417Segment> g_segments;
std::vector<barcode::FinderPoint> g_points;
void Keep(const char* stage, const barcode::ScanContext& ctx) {
  if (std::strcmp(stage, "pdf417") == 0)
    g_segments.assign(ctx.pdf417Segments.items.get(),
                      ctx.pdf417Segments.items.get() + ctx.pdf417Segments.count);
  if (std::strcmp(stage, "bullseye") == 0)
    g_points.assign(ctx.bullseyeFinders.items.get(),
                    ctx.bullseyeFinders.items.get() + ctx.bullseyeFinders.count);
}

int32_t Scan(Image* img, bool pdf, bool bullseye) {
  barcode::BinaryImage image{uint32_t(img->w), uint32_t(img->w), uint32_t(img->h), 1, 8,
                             img->px.data()};
  std::unique_ptr<barcode::SymbolResult[]> items(new barcode::SymbolResult[barcode::kMaxResults]());
  barcode::SymbolResultList list{0, items.get()};
  barcode::ScanOptions o{};
  o.pdf417 = pdf;
  o.bullseye = bullseye;
  g_segments.clear();
  g_points.clear();
  barcode::test_hooks::ObserveStages(Keep);
  const int32_t code = barcode::ScanSymbols(&image, 1, &list, &o);
  barcode::test_hooks::ObserveStages(nullptr);
  return code;
}

// Each kind keeps the pattern's outer edge; stripes of 21 rows make a
// segment, 20 do not.
TEST(Pdf417RowStage, SegmentsKeepTheOuterEdgeFrom21Rows) {
  struct Case {
    std::vector<int> widths;
    int kind;
    bool rightEdge;
  };
  const Case cases[] = {{{8, 1, 1, 1, 1, 1, 1, 3, 2}, 2, false},  // then a bar of the symbol
                        {{1, 3, 1, 1, 1, 1, 1, 1, 8}, 3, true},  // light first run before it
                        {{7, 1, 1, 3, 1, 1, 1, 2, 1}, 4, true},
                        {{1, 2, 1, 1, 1, 3, 1, 1, 7}, 5, false}};
  for (const Case& c : cases) {
    for (int rows : {20, 21}) {
      Image img(200, 60);
      int modules = 0;
      for (int w : c.widths) modules += w;
      // The reversed start begins with its 3-module space: drawn after a bar.
      img.Pattern(50, 10, 10 + rows, c.widths, 2);
      ASSERT_EQ(Scan(&img, true, false), 0);
      if (rows == 20) {
        EXPECT_TRUE(g_segments.empty()) << c.kind;
        continue;
      }
      ASSERT_EQ(g_segments.size(), 1u) << c.kind;
      const auto& s = g_segments[0];
      EXPECT_EQ(s.kind, c.kind);
      const float edge = c.rightEdge ? 50 + modules * 2 - 1 : 50;
      EXPECT_FLOAT_EQ(s.x1, edge) << c.kind;
      EXPECT_FLOAT_EQ(s.x2, edge) << c.kind;
      EXPECT_FLOAT_EQ(s.y1, 10);
      EXPECT_FLOAT_EQ(s.y2, 10 + rows - 1);
      EXPECT_NEAR(s.angle, std::acos(-1.0) / 2, 1e-6);
    }
  }
}

// Rings of a bullseye: one point at the centre with the rings' size; eleven
// equal straight stripes give none.
TEST(BullseyeRowStage, OnePointPerBullseyeNoneForStripes) {
  for (int ring : {7, 9, 12}) {  // a centre of more than 25 pixels
    Image img(400, 400);
    const double cx = 190.5, cy = 200.5;
    for (int y = 0; y < img.h; ++y)
      for (int x = 0; x < img.w; ++x) {
        const double r = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        const int band = static_cast<int>((r + ring / 2.0) / ring);
        img.px[static_cast<size_t>(y) * img.w + x] = band >= 1 && band <= 5 && band % 2 == 1;
      }
    ASSERT_EQ(Scan(&img, false, true), 0);
    ASSERT_EQ(g_points.size(), 1u) << ring;
    EXPECT_NEAR(g_points[0].x, cx, 1.5) << ring;
    EXPECT_NEAR(g_points[0].y, cy, 1.5) << ring;
    EXPECT_NEAR(g_points[0].size, 11 * ring, 2 * ring) << ring;

    Image bars(300, 300);
    for (int y = 50; y < 250; ++y)
      for (int k = 0; k < 11; k += 2)
        for (int x = 0; x < ring; ++x) bars.px[static_cast<size_t>(y) * 300 + 100 + k * ring + x] = 1;
    ASSERT_EQ(Scan(&bars, false, true), 0);
    EXPECT_TRUE(g_points.empty()) << ring;
  }
}

}  // namespace

namespace {

// A thousand bullseyes fill the point list: the row stage stops with code 1
// and says why in the trail.
TEST(BullseyeRowStage, AThousandPointsEndTheScan) {
  const int ring = 6, cell = 68, grid = 32;
  Image img(cell * grid, cell * grid);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      const double r = std::hypot(x % cell + 0.5 - cell / 2.0, y % cell + 0.5 - cell / 2.0);
      const int band = static_cast<int>((r + ring / 2.0) / ring);
      img.px[static_cast<size_t>(y) * img.w + x] = band >= 1 && band <= 5 && band % 2 == 1;
    }
  barcode::ClearErrorTrail();
  EXPECT_EQ(Scan(&img, false, true), 1);
  const barcode::ErrorTrail& trail = barcode::GetErrorTrail();
  ASSERT_GE(trail.count, 3u);
  EXPECT_EQ(trail.slots[trail.count - 3], -(10000000 + 902000 + 215));
  EXPECT_EQ(trail.slots[trail.count - 2], -(61000000 + 902000 + 85));
}

}  // namespace

namespace {

// Segments equal in their end points are one; the first of them stays.
TEST(Pdf417PostStage, DuplicateSegmentsKeepTheFirst) {
  barcode::Pdf417SegmentList list;
  list.items = barcode::AllocArray<barcode::Pdf417Segment>(4);
  const barcode::Pdf417Segment a{1, 2, 3, 4, 0.5, 2, 0}, b{1, 2, 3, 5, 0.5, 2, 0};
  barcode::Pdf417Segment a2 = a;
  a2.kind = 4;  // differs past the end points only
  list.items[0] = a;
  list.items[1] = b;
  list.items[2] = a2;
  list.items[3] = b;
  list.count = 4;
  barcode::RemoveDuplicateSegments(&list);
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.items[0].kind, 2);
  EXPECT_EQ(list.items[1].y2, 5);
}

// The doubled copy the reader works on: each row against the resize written
// out pixel by pixel (dark as 255, both neighbours weighted, truncated,
// dark above 128), for heights 1 to 40 and a padded stride.
TEST(Pdf417PostStage, DoublingMatchesTheBilinearResize) {
  for (uint32_t h = 1; h <= 40; ++h) {
    const uint32_t w = 21, stride = 24;
    std::vector<uint8_t> src(size_t{stride} * h);
    for (size_t i = 0; i < src.size(); ++i) src[i] = (i * 7 + i / 5) % 3 == 0 ? (i % 2 ? 1 : 9) : 0;
    const barcode::BinaryImage img{w, stride, h, 1, 8, src.data()};
    std::vector<uint8_t> out(size_t{w} * 2 * h, 7);
    barcode::DoubleVertically(img, out.data());
    for (uint32_t i = 0; i < 2 * h; ++i) {
      const double pos = h > 1 ? double(i) * (h - 1) / (2 * h - 1) : 0;
      const uint32_t r0 = static_cast<uint32_t>(pos), r1 = r0 + 1 < h ? r0 + 1 : r0;
      const double f = pos - r0;
      for (uint32_t x = 0; x < w; ++x) {
        const double a = src[r0 * stride + x] ? 255 : 0, b = src[r1 * stride + x] ? 255 : 0;
        const int value = static_cast<int>(a * (1 - f) + b * f);
        ASSERT_EQ(out[i * w + x], value > 128 ? 1 : 0) << "height " << h << " row " << i << " x " << x;
      }
    }
  }
}

}  // namespace
