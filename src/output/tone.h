// Tone adjustment of the 8-bit page before halftoning: contrast pushes levels
// away from 128 (or pulls them toward it when negative), then brightness is
// added. Pure black and pure white stay as they are.
#pragma once

#include <array>
#include <cstdint>

namespace output {

// The contrast map of the 256 levels.
std::array<std::uint8_t, 256> ContrastMap(std::int32_t contrast);

// width pixels of each of the rows, rows stepped by stride bytes.
void AdjustTone(std::uint8_t* pixels, std::uint32_t width, std::uint32_t rows, std::uint32_t stride,
                std::int32_t brightness, std::int32_t contrast);

}  // namespace output
