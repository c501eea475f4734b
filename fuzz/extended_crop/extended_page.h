// How the crop fuzz target turns bytes into a page. Header, 8 bytes:
//   0-1 width, 2-3 height, 4-5 printable width (little-endian);
//   6 flags: bit 0 the 203-dpi flag, bit 1 three bytes per pixel, bit 2 a
//   flag value of 2 (out of range); 7 stride change (signed: a row may fall
//   short). The pixels follow, repeated to fill the page.
#pragma once

#include <cstddef>
#include <cstdint>

namespace extended_fuzz {

constexpr std::size_t kHeader = 8;
constexpr std::size_t kMaxBytes = std::size_t{1} << 21;

struct PageHeader {
  std::uint32_t width, height, printableWidth;
  std::uint8_t flags;
  int strideChange;
};

inline PageHeader ReadHeader(const std::uint8_t* p) {
  return {std::uint32_t(p[0] | p[1] << 8), std::uint32_t(p[2] | p[3] << 8),
          std::uint32_t(p[4] | p[5] << 8), p[6], static_cast<std::int8_t>(p[7])};
}

}  // namespace extended_fuzz
