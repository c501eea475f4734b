// Reads a label command stream: text lines ended by CR LF, and raster blocks
// (BITMAP with plain bytes, or a 16-byte "!S"/"!R" header with LZSS or
// run-length data) each followed by CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace labelview {

enum class RasterKind { kPlain, kLzss, kRunLength };

struct Raster {
  RasterKind kind = RasterKind::kPlain;
  std::uint32_t bytesPerRow = 0;
  std::uint32_t rows = 0;
  std::size_t encodedBytes = 0;    // data bytes in the stream
  std::vector<std::uint8_t> data;  // decoded, as sent: a 0 bit is a dark dot
};

struct Command {
  std::size_t offset = 0;
  std::string text;                   // ESC shown as "ESC"; a raster's header text
  std::optional<std::size_t> raster;  // index into Stream::rasters
};

// One PRINT: the raster since the last CLS, if any, and its copies.
struct PrintedLabel {
  std::optional<std::size_t> raster;
  std::int64_t sets = 0;
  std::int64_t copies = 0;
};

struct StreamError {
  std::size_t offset = 0;
  std::string expected;
};

struct Stream {
  std::vector<Command> commands;
  std::vector<Raster> rasters;
  std::vector<PrintedLabel> labels;
  std::optional<StreamError> error;  // reading stops at the first one
};

// Longest command line accepted.
inline constexpr std::size_t kMaxLineLength = 255;

Stream ReadStream(const std::uint8_t* bytes, std::size_t size);

}  // namespace labelview
