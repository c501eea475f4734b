// From the 8-bit grey page (0 black .. 255 white) to the 1-bit image (1 =
// dark dot): 1 threshold at 128, 2 ordered dither with an 8 x 8 matrix, 3 error
// diffusion with a noisy threshold. Any other method leaves the image blank.
#pragma once

#include <cstdint>

namespace output {

inline constexpr int kHalftoneThreshold = 1;
inline constexpr int kHalftoneOrderedDither = 2;
inline constexpr int kHalftoneErrorDiffusion = 3;

// Error diffusion keeps three rows of this many cells; wider pages get rows
// of width + 6 cells instead, so nothing is overrun.
inline constexpr std::uint32_t kErrorRowCells = 4918;

struct GreyPage {
  const std::uint8_t* pixels = nullptr;
  std::uint16_t width = 0;
  std::uint32_t stride = 0;  // bytes per grey row
  std::uint16_t height = 0;
  int method = 0;  // halftone mode + 1
};

// Clears out (height x LabelStride(width) bytes) and fills it. False when the
// page does not describe its pixels (stride below width, no pixels; out is
// then untouched) or the error rows cannot be had (out is then blank).
bool Halftone(const GreyPage& page, std::uint8_t* out);

// The fixed tables, for tests and the texture notes.
extern const std::uint8_t kDitherMatrix[8][8];
extern const std::int8_t kNoiseA[1024];
extern const std::int8_t kNoiseB[32][32];

}  // namespace output
