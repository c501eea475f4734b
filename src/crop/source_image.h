// The crop code's page image record.
#pragma once

#include <cstdint>

namespace crop {

enum SourceFormat : uint32_t {
  kFormatGrey8 = 1,     // 8-bit samples
  kFormatSamples8 = 6,  // 8-bit samples, treated as format 1
  kFormatBilevel = 7,   // one bit per pixel, most significant bit first, set = white
};

struct SourceImage {
  const uint8_t* pixels;  // first row; rows top to bottom
  uint32_t width;
  uint32_t stride;
  uint32_t height;
  uint32_t format;
  uint32_t bytesPerPixel;  // 1 grey, 3 red-green-blue
};

}  // namespace crop
