// Run-length packets of one signed header byte h: 0..127 is followed by h + 1
// literal bytes, -128..-1 by one byte to repeat 2 - h times (3 to 130).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace output {

// Nothing for empty input or when memory runs out.
std::optional<std::vector<std::uint8_t>> RunLengthEncode(const std::uint8_t* bytes,
                                                         std::size_t length);

}  // namespace output
