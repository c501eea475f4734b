// How the crop fuzz target turns bytes into a page. Header, 6 bytes:
//   0-1 width, 2-3 height (little-endian); 4 stride change (signed, so the
//   stride may fall short of a row); 5 format (0: 6, 1: 1, other: as given).
// The grey pixels follow, repeated to fill the page (white when none).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace crop_fuzz {

constexpr std::size_t kHeader = 6;
constexpr std::size_t kMaxPixels = 1u << 20;

struct Header {
  std::uint32_t width, height;
  int strideChange;
  std::uint8_t format;
};

inline Header ReadHeader(const std::uint8_t* p) {
  return Header{static_cast<std::uint32_t>(p[0] | (p[1] << 8)),
                static_cast<std::uint32_t>(p[2] | (p[3] << 8)), static_cast<std::int8_t>(p[4]),
                p[5]};
}

inline std::vector<std::uint8_t> Input(const Header& h, const std::vector<std::uint8_t>& grey) {
  std::vector<std::uint8_t> out = {
      static_cast<std::uint8_t>(h.width & 0xFF),  static_cast<std::uint8_t>(h.width >> 8),
      static_cast<std::uint8_t>(h.height & 0xFF), static_cast<std::uint8_t>(h.height >> 8),
      static_cast<std::uint8_t>(h.strideChange),  h.format};
  out.insert(out.end(), grey.begin(), grey.end());
  return out;
}

}  // namespace crop_fuzz
