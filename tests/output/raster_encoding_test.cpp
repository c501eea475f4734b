// Raster encoders on the cases whose bytes are fixed by the format.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "output/lzss.h"
#include "output/raster_block.h"
#include "output/run_length.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Rows of a label-like raster from a seed: blank rows, bars, a sparse
// texture and a dithered band, repeating every 28 rows.
inline std::vector<std::uint8_t> LabelLikeRaster(std::uint32_t seed, int rows, int width) {
  std::vector<std::uint8_t> raster;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(seed >> 24);
  };
  for (int y = 0; y < rows; ++y) {
    const int band = (y / 7) % 4;
    for (int x = 0; x < width; ++x) {
      raster.push_back(band == 0   ? 0x00
                       : band == 1 ? ((x / 3) % 2 ? 0xFF : 0x00)
                       : band == 2 ? next() & next()
                                   : (x % 9 < 4 ? 0xF0 : next() % 3));
    }
  }
  return raster;
}

// FNV-1a: a short fingerprint of a long encoding.
inline std::uint64_t Fingerprint(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t hash = 14695981039346656037u;
  for (const std::uint8_t b : bytes) hash = (hash ^ b) * 1099511628211u;
  return hash;
}

// Fingerprints of the encodings a plain, one-step-at-a-time implementation of
// each format gives for these rasters: the fast encoders must give the same
// bytes, not merely bytes that decode to the same raster.
TEST(RasterEncoders, SameBytesAsTheStraightforwardEncoders) {
  struct Case {
    std::uint32_t seed;
    int rows, width;
    std::size_t lzssSize;
    std::uint64_t lzss;
    std::size_t runLengthSize;
    std::uint64_t runLength;
  };
  for (const Case& c :
       {Case{1, 120, 101, 4766, 0x047db6c7ac7e8adeu, 7276, 0x49d3c4d0cc7d71bdu},
        Case{7, 400, 150, 24075, 0x0634cca05615e481u, 37489, 0xf82591050212ad8fu}}) {
    const Bytes raster = LabelLikeRaster(c.seed, c.rows, c.width);
    const auto lzss = output::LzssEncode(raster.data(), raster.size());
    const auto runLength = output::RunLengthEncode(raster.data(), raster.size());
    ASSERT_TRUE(lzss && runLength);
    EXPECT_EQ(lzss->size(), c.lzssSize) << "seed " << c.seed;
    EXPECT_EQ(Fingerprint(*lzss), c.lzss) << "seed " << c.seed;
    EXPECT_EQ(runLength->size(), c.runLengthSize) << "seed " << c.seed;
    EXPECT_EQ(Fingerprint(*runLength), c.runLength) << "seed " << c.seed;
  }
}

TEST(RunLength, PacketBoundaries) {
  struct Case {
    Bytes input;
    Bytes expected;
  };
  Bytes distinct128;
  for (int i = 0; i < 128; ++i) distinct128.push_back(static_cast<std::uint8_t>(i));
  Bytes expected128{127};
  expected128.insert(expected128.end(), distinct128.begin(), distinct128.end());
  Bytes distinct129 = distinct128;
  distinct129.push_back(200);
  Bytes expected129 = expected128;
  expected129.insert(expected129.end(), {0, 200});
  const Case cases[] = {
      {Bytes(300, 7), {0x80, 7, 0x80, 7, 0xDA, 7}},  // 130, 130, 40
      {distinct128, expected128},
      {distinct129, expected129},
      {Bytes(3, 9), {0xFF, 9}},
      {Bytes(2, 9), {1, 9, 9}},
      {Bytes(131, 5), {0x80, 5, 0, 5}},  // the 131st byte stays as a literal
      {Bytes(133, 5), {0x80, 5, 0xFF, 5}},
      {{1, 2, 3, 3, 3, 4}, {1, 1, 2, 0xFF, 3, 0, 4}},
      {{1, 1, 2, 2, 2, 2, 2}, {1, 1, 1, 0xFD, 2}},
  };
  for (const Case& c : cases) {
    const auto encoded = output::RunLengthEncode(c.input.data(), c.input.size());
    ASSERT_TRUE(encoded);
    EXPECT_EQ(*encoded, c.expected) << "input of " << c.input.size() << " bytes";
  }
  EXPECT_FALSE(output::RunLengthEncode(nullptr, 0));
}

TEST(Lzss, RowOfFfStartsWithLiteralsThenFullMatches) {
  const Bytes row(100, 0xFF);
  const auto encoded = output::LzssEncode(row.data(), row.size());
  ASSERT_TRUE(encoded);
  // The ring holds no 0xFF yet: the first byte is a literal (flag bit 0 set,
  // then 0xFF), then the run matches itself one byte behind, 18 bytes at a
  // time: position 4078 (0xEE, 0xF0 | 18 - 3) first. 1 literal + 5 matches of
  // 18 + one of 9 = 100 bytes, one group of 7 items. Each full match replaces
  // its tree node, so a match refers to the position just behind it: 4078,
  // then 0, 18, 36, 54 once the ring has wrapped.
  ASSERT_EQ(encoded->size(), 14u);
  EXPECT_EQ(Bytes(encoded->begin(), encoded->begin() + 12),
            (Bytes{0x01, 0xFF, 0xEE, 0xFF, 0x00, 0x0F, 0x12, 0x0F, 0x24, 0x0F, 0x36, 0x0F}));
  EXPECT_EQ((*encoded)[13] & 0x0F, 6);  // the last 9 bytes
  EXPECT_FALSE(output::LzssEncode(row.data(), 0));
}

TEST(Lzss, SpacesMatchTheInitialRing) {
  const Bytes spaces(18, 0x20);
  const auto encoded = output::LzssEncode(spaces.data(), spaces.size());
  ASSERT_TRUE(encoded);
  ASSERT_EQ(encoded->size(), 3u);
  EXPECT_EQ((*encoded)[0], 0x00);
  EXPECT_EQ((*encoded)[2] & 0x0F, 15);  // one full-length reference into the ring
}

TEST(BlockHeader, Layout) {
  EXPECT_EQ(output::BlockHeader('S', 100, 1199),
            (std::array<std::uint8_t, 16>{'!', 'S', 0, 0, 0, 0, 100, 0, 0xAF, 0x04, 1, 0, 0, 0,
                                          0x00, 0x00}));
  EXPECT_EQ(output::BlockHeader('R', 0x12345, 0x10002),
            (std::array<std::uint8_t, 16>{'!', 'R', 0, 0, 0, 0, 0x45, 0x23, 0x02, 0x00, 1, 0, 0, 0,
                                          0x80, 0x03}));
}

}  // namespace
