// LZSS as the printer decodes it: a 4096-byte ring that starts as 4078 spaces,
// matches of 3 to 18 bytes found through binary search trees, groups of one
// flag byte (bit i set: item i is a literal byte) and up to eight items; a
// match is two bytes, p & 0xFF then ((p >> 4) & 0xF0) | (length - 3).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace output {

// Nothing for empty input or when memory runs out.
std::optional<std::vector<std::uint8_t>> LzssEncode(const std::uint8_t* bytes, std::size_t length);

}  // namespace output
