// The 1-bit label image the pixel steps hand on: rows top to bottom, stride a
// multiple of 4 bytes, most significant bit first. Until the final inversion a
// 1 bit is a dark dot and a 0 bit is paper; padding bits stay 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "output/page_memory.h"

namespace output {

// Largest side we accept: the block header carries 16-bit sizes.
inline constexpr std::uint32_t kMaxLabelSide = 65535;

struct LabelImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t stride = 0;  // bytes per row
  PageVector<std::uint8_t> bits;

  std::uint8_t* Row(std::uint32_t y) { return bits.data() + std::size_t{y} * stride; }
  const std::uint8_t* Row(std::uint32_t y) const { return bits.data() + std::size_t{y} * stride; }
  bool Pixel(std::uint32_t x, std::uint32_t y) const {
    return (Row(y)[x >> 3] >> (7 - (x & 7))) & 1;
  }
  void SetPixel(std::uint32_t x, std::uint32_t y, bool dark) {
    std::uint8_t& b = Row(y)[x >> 3];
    const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
    b = dark ? static_cast<std::uint8_t>(b | mask) : static_cast<std::uint8_t>(b & ~mask);
  }
};

// ((width + 31) div 32) x 4.
constexpr std::uint32_t LabelStride(std::uint32_t width) { return ((width + 31) / 32) * 4; }

// A new all-paper image; nothing for a zero or oversized side or when the
// memory cannot be had.
std::optional<LabelImage> CreateLabelImage(std::uint32_t width, std::uint32_t height);

// Complements every byte, padding included: the sent raster has 0 for dark.
void InvertImage(LabelImage& image);

}  // namespace output
