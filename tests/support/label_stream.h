// Reading a label command stream back: its text lines, with the plain BITMAP
// rasters set apart from the text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

// The size of the plain BITMAP raster whose command starts at `at`; *data is
// where its bytes begin (after the command's fifth comma).
inline std::size_t BitmapAt(const std::string& text, std::size_t at, std::size_t* data) {
  int x = 0, y = 0, bytesPerRow = 0, rows = 0;
  std::sscanf(text.c_str() + at, "BITMAP %d,%d,%d,%d", &x, &y, &bytesPerRow, &rows);
  for (int commas = 0; commas < 5; ++commas) at = text.find(',', at) + 1;
  *data = at;
  return static_cast<std::size_t>(bytesPerRow) * static_cast<std::size_t>(rows);
}

// The lines of a stream; a plain raster shows as "<n raster bytes>" after its
// BITMAP command.
inline std::vector<std::string> StreamLines(const std::vector<std::uint8_t>& stream) {
  const std::string text(stream.begin(), stream.end());
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < text.size();) {
    if (text.compare(i, 7, "BITMAP ") == 0) {
      std::size_t data = 0;
      const std::size_t size = BitmapAt(text, i, &data);
      lines.push_back(text.substr(i, data - i) + "<" + std::to_string(size) + " raster bytes>");
      i = data + size + 2;
      continue;
    }
    const std::size_t end = std::min(text.find("\r\n", i), text.size());
    lines.push_back(text.substr(i, end - i));
    i = end + 2;
  }
  return lines;
}

inline int CountLines(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<int>(std::count_if(
      lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

// The bytes of the first plain raster; empty when there is none.
inline std::vector<std::uint8_t> FirstRaster(const std::vector<std::uint8_t>& stream) {
  const std::string text(stream.begin(), stream.end());
  const std::size_t at = text.find("BITMAP ");
  if (at == std::string::npos) return {};
  std::size_t data = 0;
  const std::size_t size = BitmapAt(text, at, &data);
  const std::size_t end = std::min(data + size, stream.size());
  return std::vector<std::uint8_t>(stream.begin() + static_cast<long>(data),
                                   stream.begin() + static_cast<long>(end));
}

}  // namespace testing_support
