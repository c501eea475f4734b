#include "output/tone.h"

namespace output {

std::array<std::uint8_t, 256> ContrastMap(std::int32_t contrast) {
  std::array<std::uint8_t, 256> map{};
  const std::int64_t magnitude = contrast < 0 ? -std::int64_t{contrast} : contrast;
  const std::int64_t k = magnitude * 1000000 / 128;
  for (int i = 0; i < 256; ++i) {
    const std::int64_t d = i >= 128 ? i - 128 : 128 - i;
    // v = d x |c| / 128, rounded half up in two decimal steps.
    const std::int64_t t = d * k;
    std::int64_t u = t / 100000 + (t % 100000 > 49999 ? 1 : 0);
    const std::int64_t v = u / 10 + (u % 10 > 4 ? 1 : 0);
    const bool away = (i >= 128 && contrast >= 0) || (i < 128 && contrast < 0);
    if (away) {
      map[i] = static_cast<std::uint8_t>(i + v >= 256 ? 255 : i + v);
    } else {
      map[i] = static_cast<std::uint8_t>(v > i ? 0 : i - v);
    }
  }
  return map;
}

void AdjustTone(std::uint8_t* pixels, std::uint32_t width, std::uint32_t rows, std::uint32_t stride,
                std::int32_t brightness, std::int32_t contrast) {
  if (pixels == nullptr || width > stride) return;
  // Level -> final value, brightness included, so the pixel loop is one lookup.
  const auto map = ContrastMap(contrast);
  std::array<std::uint8_t, 256> final{};
  for (int i = 0; i < 256; ++i) {
    const std::int64_t value = std::int64_t{map[i]} + brightness;
    final[i] = static_cast<std::uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
  }
  final[0] = 0;
  final[255] = 255;
  for (std::uint32_t y = 0; y < rows; ++y) {
    std::uint8_t* row = pixels + std::size_t{y} * stride;
    for (std::uint32_t x = 0; x < width; ++x) row[x] = final[row[x]];
  }
}

}  // namespace output
