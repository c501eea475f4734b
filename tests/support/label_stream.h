// Reading a label command stream back through labelview's reader: its
// commands one line each (a raster as its header and data size), and its
// first raster as decoded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "stream_reader.h"

namespace testing_support {

inline std::vector<std::string> StreamLines(const std::vector<std::uint8_t>& stream) {
  std::vector<std::string> lines;
  for (auto& command : labelview::ReadStream(stream.data(), stream.size()).commands) {
    lines.push_back(std::move(command.text));
  }
  return lines;
}

inline int CountLines(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<int>(std::count_if(
      lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

// Empty when the stream holds no raster.
inline std::vector<std::uint8_t> FirstRaster(const std::vector<std::uint8_t>& stream) {
  labelview::Stream read = labelview::ReadStream(stream.data(), stream.size());
  if (read.rasters.empty()) return {};
  return std::move(read.rasters.front().data);
}

}  // namespace testing_support
