// Every raster the encoders write, read back by labelview's own decoders.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "output/command_buffers.h"
#include "output/label_image.h"
#include "output/print_blocks.h"
#include "spool_capture.h"
#include "stream_reader.h"

namespace {

// Rasters of the kinds a label has: noise, runs, bars, blank and solid areas.
output::LabelImage MakeRaster(std::uint32_t width, std::uint32_t height, int style,
                              std::uint32_t seed) {
  auto image = output::CreateLabelImage(width, height);
  std::mt19937 rng(seed);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t i = 0; i < image->stride; ++i) {
      const auto noise = static_cast<std::uint8_t>(rng());
      const std::uint8_t run = y & 8 ? 0xFF : 0x00;
      const std::uint8_t bar = (i * 37 + seed) % 5 < 2 ? 0xF0 : 0x0F;  // the same on every row
      // Style 1: long runs broken now and then.
      const std::uint8_t styles[] = {noise, rng() % 50 == 0 ? noise : run, bar, 0x00, 0xFF};
      image->Row(y)[i] = styles[style];
    }
  }
  return std::move(*image);
}

// What the print blocks write for `image`, read back by labelview.
labelview::Stream ReadBack(const output::LabelImage& image, std::uint8_t compression,
                           const output::CutList& cuts) {
  output_test::SpoolCapture spool;
  auto record = output_test::ExampleRecord();
  record.rasterCompression = compression;
  output::WritePrintBlocks(&spool.devobj, nullptr, record, cuts, image);
  return labelview::ReadStream(spool.bytes.data(), spool.bytes.size());
}

TEST(RasterRoundTrip, EveryCompressionDecodesToTheImage) {
  struct Size {
    std::uint32_t width, height;
  };
  const Size sizes[] = {{1, 1}, {8, 3}, {31, 7}, {33, 40}, {812, 64}, {1200, 33}, {4000, 5}};
  for (const Size size : sizes) {
    for (int style = 0; style < 5; ++style) {
      for (std::uint8_t compression : {0, 1, 2}) {
        SCOPED_TRACE(::testing::Message() << size.width << "x" << size.height << " style " << style
                                          << " compression " << int(compression));
        const auto image = MakeRaster(size.width, size.height, style, size.width * 31 + style);
        const auto stream = ReadBack(image, compression, {{output::kNoCut, 1}, {2, 3}});
        ASSERT_FALSE(stream.error) << stream.error->offset << ": " << stream.error->expected;
        ASSERT_EQ(stream.rasters.size(), 2u);
        ASSERT_EQ(stream.labels.size(), 2u);
        EXPECT_EQ(stream.labels[1].copies, 3);
        for (const auto& raster : stream.rasters) {
          EXPECT_EQ(raster.bytesPerRow, image.stride);
          EXPECT_EQ(raster.rows, image.height);
          EXPECT_EQ(raster.data, image.bits);
        }
      }
    }
  }
}

TEST(RasterRoundTrip, LongRasterThroughTheRing) {
  // Far more than one ring's worth of data, with repeats at every distance.
  std::mt19937 rng(5);
  auto image = output::CreateLabelImage(1200, 1800);
  for (std::uint32_t y = 0; y < image->height; ++y) {
    for (std::uint32_t i = 0; i < image->stride; ++i) {
      if (rng() % 4 == 0) image->Row(y)[i] = static_cast<std::uint8_t>(rng() % 3);
    }
    if (y > 0 && rng() % 3 == 0) {
      std::copy(image->Row(y - 1), image->Row(y - 1) + image->stride / 2, image->Row(y));
    }
  }
  for (std::uint8_t compression : {0, 1}) {
    const auto stream = ReadBack(*image, compression, {{output::kNoCut, 1}});
    ASSERT_FALSE(stream.error) << stream.error->expected;
    ASSERT_EQ(stream.rasters.size(), 1u);
    EXPECT_EQ(stream.rasters[0].data, image->bits);
    EXPECT_LT(stream.rasters[0].encodedBytes, image->bits.size());
  }
}

TEST(StreamReader, MalformedStreamsNameOffsetAndExpectation) {
  struct Case {
    std::string bytes;
    std::size_t offset;
    const char* expectedPart;
  };
  const Case cases[] = {
      {"CLS\r\nPRINT 1,2", 14, "CR LF"},
      {"CLS\r\nBITMAP 0,0,2,2,1,abc", 25, "BITMAP data"},
      {"BITMAP 0,0,x", 11, "number"},
      {"BITMAP 0,0,1,1,1,a\r", 18, "CR LF after the raster"},
      {std::string("!R\0\0\0\0\1\0\1\0\1\0\0\0\x80\x03", 16), 16, "run-length"},
      {std::string("!S\0\0\0\0\1\0\1\0\1\0\0\0\x80\x03", 16), 14, "trailer"},
      {std::string("!R\0\0\0\0\4\0\1\0\1\0\0\0\x80\x03\xFB\x01", 18), 16, "at most 4"},
      {std::string("CLS\r\nA\x01\r\n", 9), 6, "printable"},
      {std::string(300, 'A') + "\r\n", 0, "255"},
      {"PRINT 1\r\n", 0, "PRINT m,n"},
  };
  for (const Case& c : cases) {
    const auto stream = labelview::ReadStream(reinterpret_cast<const std::uint8_t*>(c.bytes.data()),
                                              c.bytes.size());
    ASSERT_TRUE(stream.error) << c.expectedPart;
    EXPECT_EQ(stream.error->offset, c.offset) << c.expectedPart;
    EXPECT_NE(stream.error->expected.find(c.expectedPart), std::string::npos)
        << stream.error->expected;
  }
  // A block header claiming far more data than follows is refused before decoding.
  const std::string huge("!S\0\0\0\0\xFF\xFF\xFF\xFF\1\0\0\0\0\0\x01", 17);
  const auto stream =
      labelview::ReadStream(reinterpret_cast<const std::uint8_t*>(huge.data()), huge.size());
  ASSERT_TRUE(stream.error);
  EXPECT_EQ(stream.error->offset, 16u);
}

}  // namespace
