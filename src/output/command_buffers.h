// The process-wide 256-byte command buffers, one per command kind, reused for
// every page. The REVERSE buffer is filled before a page's raster and written
// after it, so a buffer may hold its command for a while.
#pragma once

#include <cstddef>
#include <initializer_list>

#include "output/number_format.h"

namespace output {

inline constexpr std::size_t kCommandBufferSize = 256;

struct CommandBuffer {
  char text[kCommandBufferSize] = {};
  std::size_t length = 0;

  // Clears the buffer and formats into it (at most 255 characters).
  void Format(const char* format, std::initializer_list<FormatArg> args);
};

struct CommandBuffers {
  CommandBuffer size, gap, bline, speed, density, ribbon, direction, reference, offset, tear,
      rewind, peel, cutter, partialCutter, reverse, bitmap, print;
};

CommandBuffers& GetCommandBuffers();
// Empties every buffer (tests start from a clean process state).
void ResetCommandBuffers();

}  // namespace output
