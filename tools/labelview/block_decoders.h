// Decoders of the two compressed raster blocks, written from the block format
// alone. Each decodes exactly `size` bytes and says how much data it used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace labelview {

struct DecodeResult {
  bool ok = false;
  std::size_t consumed = 0;  // data bytes used (up to the failure when not ok)
  std::string expected;      // what the data failed to provide
};

// LZSS: 4096-byte ring starting as 4078 spaces at write position 4078; groups
// of a flag byte (low bit first, 1 = literal) and items; a reference is
// position (b0 | (b1 & 0xF0) << 4) and length (b1 & 0x0F) + 3.
DecodeResult DecodeLzss(const std::uint8_t* data, std::size_t available, std::size_t size,
                        std::vector<std::uint8_t>& out);

// Run-length: header h >= 0 copies h + 1 bytes; h < 0 repeats the next byte
// 2 - h times.
DecodeResult DecodeRunLength(const std::uint8_t* data, std::size_t available, std::size_t size,
                             std::vector<std::uint8_t>& out);

// Most decoded bytes one data byte can stand for (bounds a block's size before
// anything is allocated).
inline constexpr std::size_t kLzssMaxExpansion = 9;
inline constexpr std::size_t kRunLengthMaxExpansion = 65;

}  // namespace labelview
