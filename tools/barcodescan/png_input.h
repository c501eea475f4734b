// PNG pages in the forms the location front-end takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crop/source_image.h"

struct PngPage {
  std::vector<uint8_t> pixels;
  crop::SourceImage image{};
  uint32_t dpi = 0;  // from pHYs, 0 when the file has none
};

// 8-bit grey, 3-byte colour, or packed one bit for one-bit grey files.
// False with a message on any error.
bool ReadPngPage(const std::string& path, PngPage* page, std::string* error);
