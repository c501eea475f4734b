#include "output/run_length.h"

#include <new>

namespace output {

namespace {

constexpr std::size_t kMaxLiteral = 128;
constexpr std::size_t kMaxRepeat = 130;
constexpr std::size_t kRunStart = 3;  // equal bytes that begin a run

void PutLiteral(std::vector<std::uint8_t>& out, const std::uint8_t* bytes, std::size_t count) {
  out.push_back(static_cast<std::uint8_t>(count - 1));
  out.insert(out.end(), bytes, bytes + count);
}

void PutRepeat(std::vector<std::uint8_t>& out, std::uint8_t value, std::size_t count) {
  out.push_back(static_cast<std::uint8_t>(static_cast<int>(2 - static_cast<int>(count)) & 0xFF));
  out.push_back(value);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> RunLengthEncode(const std::uint8_t* bytes,
                                                         std::size_t length) {
  if (bytes == nullptr || length == 0) return std::nullopt;
  std::vector<std::uint8_t> out;
  try {
    out.reserve(length + length / kMaxLiteral + 1);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  // The pending bytes are always bytes[start, i]: a window of the input.
  std::size_t start = 0;
  bool inRun = false;
  for (std::size_t i = 0; i < length; ++i) {
    const std::size_t pending = i + 1 - start;
    if (inRun) {
      if (bytes[i] != bytes[i - 1]) {
        PutRepeat(out, bytes[i - 1], pending - 1);
        start = i;
        inRun = false;
      } else if (pending == kMaxRepeat + 1) {
        PutRepeat(out, bytes[i], kMaxRepeat);
        start = i;
        inRun = false;
      }
      continue;
    }
    if (pending >= kRunStart && bytes[i] == bytes[i - 1] && bytes[i] == bytes[i - 2]) {
      if (pending > kRunStart) PutLiteral(out, bytes + start, pending - kRunStart);
      start = i + 1 - kRunStart;
      inRun = true;
    } else if (pending == kMaxLiteral) {
      PutLiteral(out, bytes + start, kMaxLiteral);
      start = i + 1;
    }
  }
  const std::size_t pending = length - start;
  if (pending > 0) {
    if (inRun) {
      PutRepeat(out, bytes[length - 1], pending);
    } else {
      PutLiteral(out, bytes + start, pending);
    }
  }
  return out;
}

}  // namespace output
