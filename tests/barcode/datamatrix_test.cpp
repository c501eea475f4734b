// Data Matrix codeword placement over every size, the decoding of codeword
// streams at the edges of each scheme, and the L-corner test on drawn arms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "barcode/datamatrix.h"

namespace {

TEST(DataMatrixPlacementMap, EveryModuleOfEverySizeHoldsOneBitOfItsCodewords) {
  for (int index = 0; index < barcode::kDataMatrixSizeCount; ++index) {
    const barcode::DataMatrixSize& s = barcode::DataMatrixSizes()[index];
    SCOPED_TRACE(std::to_string(s.rows) + "x" + std::to_string(s.columns));
    // The regions tile the symbol inside its finder and timing modules.
    EXPECT_EQ(s.regionsDown * (s.regionRows + 2), s.rows);
    EXPECT_EQ(s.regionsAcross * (s.regionColumns + 2), s.columns);
    EXPECT_EQ(s.ecCodewords % s.blocks, 0);
    EXPECT_LE((s.dataCodewords + s.blocks - 1) / s.blocks + s.ecCodewords / s.blocks, 255);
    EXPECT_EQ(barcode::FindDataMatrixSize(s.rows, s.columns), &s);
    const int rows = s.regionRows * s.regionsDown, columns = s.regionColumns * s.regionsAcross;
    std::vector<int32_t> map(static_cast<size_t>(rows) * columns);
    const int32_t total = s.dataCodewords + s.ecCodewords;
    EXPECT_EQ(barcode::PlaceCodewords(rows, columns, map.data()), total);
    std::vector<int> seen(static_cast<size_t>(total) * 8, 0);
    int fixed = 0;
    for (const int32_t m : map) {
      ASSERT_GE(m, -1);
      if (m == -1) {
        ++fixed;
        continue;
      }
      ASSERT_LT(m, total * 8);
      ++seen[m];
    }
    for (const int n : seen) EXPECT_EQ(n, 1);
    // Only a leftover square of four modules is fixed.
    EXPECT_TRUE(fixed == 0 || fixed == 4);
    EXPECT_EQ(rows * columns - fixed, total * 8);
  }
  EXPECT_EQ(barcode::FindDataMatrixSize(18, 8), nullptr);
  EXPECT_EQ(barcode::FindDataMatrixSize(11, 11), nullptr);
}

// Base 256 codewords as they stand at 1-based position p.
std::vector<uint8_t> Scrambled(std::vector<int> values, int firstPosition) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < values.size(); ++i) {
    const int p = firstPosition + static_cast<int>(i);
    out.push_back(static_cast<uint8_t>((values[i] + (149 * p) % 255 + 1) % 256));
  }
  return out;
}

std::string Decode(const std::vector<uint8_t>& cw, int32_t* code = nullptr, int textSize = 8000) {
  std::vector<char> text(static_cast<size_t>(textSize) + 1, 'x');
  const int32_t c =
      barcode::DecodeDataMatrixData(cw.data(), static_cast<int32_t>(cw.size()), text.data(), textSize);
  if (code != nullptr) *code = c;
  return c == 0 ? std::string(text.data()) : "<" + std::to_string(c) + ">";
}

std::vector<uint8_t> Join(std::vector<uint8_t> head, const std::vector<uint8_t>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(DataMatrixDecode, CodewordStreamsAtTheEdgesOfEachScheme) {
  // Base 256 lengths: one byte up to 249, two from 250 on, 0 for the rest.
  std::vector<int> long256 = {250, 0};  // (250 - 249) * 250 + 0
  std::string long256Text;
  for (int i = 0; i < 250; ++i) {
    long256.push_back('a' + i % 26);
    long256Text += static_cast<char>('a' + i % 26);
  }
  // C40 "ABC" is (14, 15, 16): 1600 * 14 + 40 * 15 + 16 + 1 = 23017, the
  // same values in Text are "abc"; X12 (0, 1, 2) is CR * >.
  const uint8_t hi = 23017 / 256, lo = 23017 % 256;
  // Shift 2 then 27 (FNC1) then 2 (shift 3, left open at the end).
  const int fnc1 = 1600 * 1 + 40 * 27 + 2 + 1;
  struct Case {
    const char* name;
    std::vector<uint8_t> codewords;
    std::string text;
  };
  const Case cases[] = {
      {"pad ends the data", {1 + 'A', 129, 66, 67}, "A"},
      {"highest ascii", {128}, "\x7f"},
      {"digit pairs 00 and 99", {130, 229}, "0099"},
      {"upper shift", {235, 1 + 'A'}, "\xc1"},
      {"fnc1", {232, 1 + '1'}, "\x1d" "1"},
      {"nothing for 233 234 241 254", {233, 234, 241, 254, 1 + 'Z'}, "Z"},
      {"macro 05", {236, 1 + 'A'}, "[)>RS05GSARSEOT"},
      {"macro 06", {237, 1 + 'B'}, "[)>RS06GSBRSEOT"},
      {"c40 then unlatch", {230, hi, lo, 254, 1 + 'd'}, "ABCd"},
      {"c40 single codeword left is ascii", {230, hi, lo, 1 + 'e'}, "ABCe"},
      {"text", {239, hi, lo}, "abc"},
      {"x12", {238, 0, 43}, "\r*>"},
      {"c40 shift 2 fnc1", {230, fnc1 / 256, fnc1 % 256}, "\x1d"},
      // EDIFACT "AB" then the unlatch as third value: its last bit lies in
      // the third codeword, so ASCII resumes at the fourth.
      {"edifact unlatch third", {240, 1 << 2, (2 << 4) | (31 >> 2), (31 & 3) << 6, 1 + 'k'},
       "ABk"},
      {"edifact unlatch first", {240, 31 << 2, 1 + 'm', 1 + 'n'}, "mn"},
      {"base 256 length 3", Join({231}, Join(Scrambled({3, 'X', 'Y', 'Z'}, 2), {1 + '!'})),
       "XYZ!"},
      {"base 256 to the end", Join({231}, Scrambled({0, 'Q', 'R'}, 2)), "QR"},
      {"base 256 two-byte length", Join({231}, Scrambled(long256, 2)), long256Text},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Decode(c.codewords), c.text);
  }

  // Invalid codewords: no text at all.
  for (const std::vector<uint8_t>& bad :
       {std::vector<uint8_t>{0}, {242}, {253}, {255}, {1 + 'A', 250},
        {230, (1600 * 1 + 40 * 28 + 1) / 256, (1600 * 1 + 40 * 28 + 1) % 256}}) {
    int32_t code = 0;
    Decode(bad, &code);
    EXPECT_EQ(code, -6);
  }
  // The text is cut to the room given, and always terminated.
  EXPECT_EQ(Decode({130, 131, 132}, nullptr, 4), "000");
}

// An upright arm of 4 pixels from (100, 100) down to (100, 100 + d - 1)
// and arms of the given lengths going right from its bottom (an L) and its
// top (a mirrored L), 4 pixels thick, on a light 500 x 500 image.
struct Arms {
  int d, bottom, top;
};

std::vector<uint8_t> DrawArms(const Arms& a) {
  std::vector<uint8_t> px(500 * 500, 0);
  auto fill = [&](int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) px[y * 500 + x] = 1;
  };
  fill(100, 100, 4, a.d);
  if (a.bottom > 0) fill(100, 100 + a.d - 4, a.bottom, 4);
  if (a.top > 0) fill(100, 100, a.top, 4);
  return px;
}

// The corner rules: at least 50 pixels tracked; an arm of more than about a
// quarter of the tracked side (the arms are probed only 4.5 sides far, so
// the limit of a fifth never bites); two long arms make a box, not an L.
// Each case lies a few pixels to one side of a limit.
TEST(DataMatrixLCorner, LengthRatioAndBoxRules) {
  enum Want { kNone, kBottom, kTop };
  const struct {
    Arms arms;
    Want want;
  } cases[] = {
      {{49, 40, 0}, kNone},     {{52, 40, 0}, kBottom},   // tracked side too short
      {{100, 22, 0}, kNone},    {{100, 28, 0}, kBottom},  // arm under about a quarter
      {{100, 0, 22}, kNone},    {{100, 0, 28}, kTop},     // the same for the top arm
      // A long bottom arm is strong beside a top arm of a quarter of it.
      {{120, 120, 40}, kTop},   {{120, 120, 20}, kBottom},
      {{120, 40, 120}, kBottom},                          // long top arm: L at the bottom
      {{120, 120, 120}, kNone},                           // a box
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> px = DrawArms(c.arms);
    const barcode::BinaryImage image{500, 500, 500, 1, 8, px.data()};
    const barcode::PointI bottom{100, 100 + c.arms.d - 1}, top{100, 100};
    barcode::LCorner l{};
    const bool found = barcode::TryLCorner(image, bottom, top, &l);
    const std::string what = std::to_string(c.arms.d) + " " + std::to_string(c.arms.bottom) +
                             " " + std::to_string(c.arms.top);
    ASSERT_EQ(found, c.want != kNone) << what;
    if (!found) continue;
    // The corner and the two arm ends, each within 2 pixels of the drawing:
    // an L at the bottom gives the upright arm's top, its bottom and the
    // bottom arm's end; a mirrored one the top arm's end, its top and the
    // upright arm's bottom.
    const int last = 100 + c.arms.d - 1;
    const int want[3][2] = {
        {c.want == kBottom ? 100 : 99 + c.arms.top, 100},
        {100, c.want == kBottom ? last : 100},
        {c.want == kBottom ? 99 + c.arms.bottom : 100, last}};
    const barcode::PointI got[3] = {l.a, l.b, l.c};
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(got[k].x, want[k][0], 2) << what << " point " << k;
      EXPECT_NEAR(got[k].y, want[k][1], 2) << what << " point " << k;
    }
  }
}

}  // namespace
