#include "output/label_image.h"

#include <new>

namespace output {

std::optional<LabelImage> CreateLabelImage(std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0 || width > kMaxLabelSide || height > kMaxLabelSide) {
    return std::nullopt;
  }
  LabelImage image;
  image.width = width;
  image.height = height;
  image.stride = LabelStride(width);
  try {
    image.bits.assign(std::size_t{image.stride} * height, 0);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return image;
}

void InvertImage(LabelImage& image) {
  for (std::uint8_t& b : image.bits) b = static_cast<std::uint8_t>(~b);
}

}  // namespace output
