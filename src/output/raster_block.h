// How the finished (inverted) label image goes into a print block: a plain
// BITMAP command with the bytes as they are, an LZSS block ('S') or a
// run-length block ('R'), each compressed block behind a 16-byte header.
#pragma once

#include <array>
#include <cstdint>

#include "output/label_image.h"
#include "output/output_channel.h"

namespace output {

inline constexpr std::uint8_t kCompressionLzss = 0;
inline constexpr std::uint8_t kCompressionRunLength = 1;
inline constexpr std::size_t kBlockHeaderSize = 16;

// letter is 'S' (LZSS) or 'R' (run-length); sizes go in as their low 16 bits.
std::array<std::uint8_t, kBlockHeaderSize> BlockHeader(char letter, std::uint32_t bytesPerRow,
                                                       std::uint32_t rows);

// Writes the raster of a finished image by the raster compression setting,
// through WriteRawBlock and without the line end that follows it.
void WriteRaster(winabi::DEVOBJ* devobj, CopyFile copy, std::uint8_t rasterCompression,
                 const LabelImage& image);

}  // namespace output
