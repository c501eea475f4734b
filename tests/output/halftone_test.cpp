// Tone, the three halftone methods and the table-driven 180-degree turn.
#include "output/halftone.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "output/bit_tables.h"
#include "output/label_image.h"
#include "output/tone.h"
#include "output/turn180.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Grey {
  std::uint16_t width, height;
  std::uint32_t stride;
  Bytes pixels;
  Grey(std::uint16_t w, std::uint16_t h, std::uint8_t value)
      : width(w), height(h), stride((w + 3u) & ~3u), pixels(std::size_t{stride} * h, value) {}
};

Bytes Halftoned(const Grey& grey, int method) {
  Bytes out(std::size_t{output::LabelStride(grey.width)} * grey.height, 0xAA);
  EXPECT_TRUE(output::Halftone({grey.pixels.data(), grey.width, grey.stride, grey.height, method},
                               out.data()));
  return out;
}

std::size_t DarkDots(const Bytes& bits) {
  std::size_t dark = 0;
  for (std::uint8_t b : bits) dark += __builtin_popcount(b);
  return dark;
}

TEST(Halftone, FlatLevelsByMethod) {
  struct Case {
    std::uint8_t level;
    int method;
    double darkLow, darkHigh;  // fraction of dark dots
  };
  const Case cases[] = {
      {255, 1, 0, 0},      {255, 2, 0, 0},       {255, 3, 0, 0},       {255, 4, 0, 0},
      {0, 1, 1, 1},        {0, 2, 1, 1},         {0, 3, 1, 1},         {0, 4, 0, 0},
      {127, 1, 1, 1},      {128, 1, 0, 0},       {128, 2, 0.49, 0.51}, {128, 3, 0.45, 0.55},
      {64, 3, 0.70, 0.80}, {192, 3, 0.20, 0.30}, {128, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const Grey grey(203, 96, c.level);  // odd width: padding must stay clear
    const Bytes out = Halftoned(grey, c.method);
    const double dark = double(DarkDots(out)) / (203.0 * 96.0);
    EXPECT_GE(dark, c.darkLow) << int(c.level) << " method " << c.method;
    EXPECT_LE(dark, c.darkHigh) << int(c.level) << " method " << c.method;
  }
}

TEST(Halftone, ErrorDiffusionTextureIsEven) {
  // Grey 128 over a page: every 32 x 32 tile close to half dark (no clumps or
  // long worms concentrating the dots).
  const Grey grey(256, 256, 128);
  const Bytes out = Halftoned(grey, 3);
  const std::uint32_t stride = output::LabelStride(256);
  for (int ty = 0; ty < 8; ++ty) {
    for (int tx = 0; tx < 8; ++tx) {
      int dark = 0;
      for (int y = ty * 32; y < ty * 32 + 32; ++y) {
        for (int x = tx * 32; x < tx * 32 + 32; ++x)
          dark += (out[y * stride + x / 8] >> (7 - x % 8)) & 1;
      }
      EXPECT_NEAR(dark, 512, 60) << "tile " << tx << "," << ty;
    }
  }
}

TEST(Halftone, WidePagesAndBadInput) {
  // Wider than the fixed error rows: must neither overrun nor lose the right edge.
  const Grey wide(6000, 4, 0);
  const Bytes out = Halftoned(wide, 3);
  EXPECT_EQ(DarkDots(out), 6000u * 4u);
  Bytes buffer(16, 0x55);
  const Grey grey(8, 2, 0);
  EXPECT_FALSE(output::Halftone({grey.pixels.data(), 8, 4, 2, 1}, buffer.data()));
  EXPECT_FALSE(output::Halftone({nullptr, 8, 8, 2, 1}, buffer.data()));
  EXPECT_EQ(buffer, Bytes(16, 0x55));
}

TEST(Halftone, OrderedDitherFollowsTheMatrix) {
  Grey grey(8, 8, 0);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) grey.pixels[y * grey.stride + x] = output::kDitherMatrix[y][x];
  }
  EXPECT_EQ(DarkDots(Halftoned(grey, 2)), 0u);  // g < M fails exactly at M
  for (auto& p : grey.pixels) p = p ? p - 1 : 0;
  // Level M - 1 is dark wherever M > 0 (all 64 cells of the matrix are).
  EXPECT_EQ(DarkDots(Halftoned(grey, 2)), 64u);
}

TEST(Tone, ContrastAndBrightness) {
  struct Case {
    std::int32_t brightness, contrast;
    std::uint8_t in, out;
  };
  const Case cases[] = {
      {0, 0, 100, 100},       {0, 64, 200, 236}, {0, 64, 28, 0},     {0, 64, 100, 86},
      {0, -64, 200, 164},     {0, -64, 28, 78},  {0, 128, 250, 255}, {20, 0, 100, 120},
      {-200, 0, 100, 0},      {300, 0, 1, 255},  {50, 100, 0, 0},    {-50, 100, 255, 255},
      {0, 1000000, 129, 255},
  };
  for (const Case& c : cases) {
    std::uint8_t pixels[4] = {c.in, c.in, c.in, 77};
    output::AdjustTone(pixels, 3, 1, 4, c.brightness, c.contrast);
    EXPECT_EQ(pixels[0], c.out) << int(c.in) << " b " << c.brightness << " c " << c.contrast;
    EXPECT_EQ(pixels[3], 77) << "padding is not touched";
  }
  // d x |c| / 128 rounded half up: d = 1, c = 64 gives 0.5 -> 1.
  EXPECT_EQ(output::ContrastMap(64)[129], 130);
  EXPECT_EQ(output::ContrastMap(64)[127], 126);
}

// Reference: pixel (x, y) goes to (W - 1 - x, H - 1 - y), one bit at a time.
output::LabelImage TurnedBitByBit(const output::LabelImage& in) {
  auto out = output::CreateLabelImage(in.width, in.height);
  for (std::uint32_t y = 0; y < in.height; ++y) {
    for (std::uint32_t x = 0; x < in.width; ++x) {
      out->SetPixel(in.width - 1 - x, in.height - 1 - y, in.Pixel(x, y));
    }
  }
  return std::move(*out);
}

// Every width modulo 8, narrow and wide, so every shift table is read at
// many places.
TEST(Turn180, MatchesBitByBitReference) {
  std::mt19937 rng(180);
  std::vector<std::uint32_t> widths = {800, 801, 33, 812, 1200};
  for (std::uint32_t w = 1; w <= 16; ++w) widths.insert(widths.end(), {w, 240 + w});
  for (std::uint32_t width : widths) {
    for (std::uint32_t height : {1u, 2u, 5u}) {
      auto image = output::CreateLabelImage(width, height);
      for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) image->SetPixel(x, y, rng() & 1);
      }
      const auto expected = TurnedBitByBit(*image);
      ASSERT_TRUE(output::Turn180(image->bits.data(), width, image->stride, height));
      EXPECT_EQ(image->bits, expected.bits) << width << " x " << height;
    }
  }
  std::uint8_t row[4] = {};
  EXPECT_FALSE(output::Turn180(row, 33, 4, 1));  // 33 pixels need 5 bytes
  EXPECT_FALSE(output::Turn180(row, 7, 4, 1, nullptr, output::BitReversalTable()));
}

}  // namespace
