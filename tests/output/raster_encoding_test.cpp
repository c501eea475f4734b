// Raster encoders on the cases whose bytes are fixed by the format.
#include <gtest/gtest.h>

#include <vector>

#include "output/lzss.h"
#include "output/raster_block.h"
#include "output/run_length.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

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
  // The ring holds no 0xFF yet: the first byte is a literal, then the run
  // matches itself one byte behind, 18 bytes at a time.
  ASSERT_GE(encoded->size(), 3u);
  EXPECT_EQ((*encoded)[0] & 1, 1);  // item 0 a literal
  EXPECT_EQ((*encoded)[1], 0xFF);
  EXPECT_EQ((*encoded)[0] & 2, 0);  // item 1 a reference
  EXPECT_EQ((*encoded)[2], 0xEE);   // position 4078 & 0xFF
  EXPECT_EQ((*encoded)[3], 0xFF);   // (4078 >> 4) & 0xF0 | (18 - 3)
  // 1 literal + 5 matches of 18 + one of 9 = 100 bytes, one group of 7 items.
  // Each full match replaces its tree node, so a match refers to the position
  // just behind it: 4078, then 0, 18, 36, 54 once the ring has wrapped.
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
