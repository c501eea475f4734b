#include "block_decoders.h"

#include <array>

namespace labelview {

DecodeResult DecodeLzss(const std::uint8_t* data, std::size_t available, std::size_t size,
                        std::vector<std::uint8_t>& out) {
  DecodeResult result;
  out.clear();
  out.reserve(size);
  std::array<std::uint8_t, 4096> ring{};
  for (std::size_t i = 0; i < 4078; ++i) ring[i] = 0x20;
  std::size_t write = 4078;
  std::size_t at = 0;
  auto need = [&](std::size_t bytes) {
    if (available - at >= bytes) return true;
    result.consumed = at;
    result.expected = std::to_string(size - out.size()) + " more decoded bytes of LZSS data";
    return false;
  };
  while (out.size() < size) {
    if (!need(1)) return result;
    const std::uint8_t flags = data[at++];
    for (int bit = 0; bit < 8 && out.size() < size; ++bit) {
      if (flags & (1u << bit)) {
        if (!need(1)) return result;
        const std::uint8_t b = data[at++];
        out.push_back(b);
        ring[write] = b;
        write = (write + 1) % ring.size();
        continue;
      }
      if (!need(2)) return result;
      const std::size_t from = data[at] | (std::size_t{data[at + 1] & 0xF0u} << 4);
      const std::size_t count = (data[at + 1] & 0x0Fu) + 3;
      at += 2;
      if (size - out.size() < count) {
        result.consumed = at;
        result.expected = "a reference of at most " + std::to_string(size - out.size()) +
                          " bytes (the block's size)";
        return result;
      }
      for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t b = ring[(from + k) % ring.size()];
        out.push_back(b);
        ring[write] = b;
        write = (write + 1) % ring.size();
      }
    }
  }
  result.ok = true;
  result.consumed = at;
  return result;
}

DecodeResult DecodeRunLength(const std::uint8_t* data, std::size_t available, std::size_t size,
                             std::vector<std::uint8_t>& out) {
  DecodeResult result;
  out.clear();
  out.reserve(size);
  std::size_t at = 0;
  while (out.size() < size) {
    if (at >= available) {
      result.consumed = at;
      result.expected =
          std::to_string(size - out.size()) + " more decoded bytes of run-length data";
      return result;
    }
    const auto header = static_cast<std::int8_t>(data[at]);
    const std::size_t count = header >= 0 ? std::size_t(header) + 1 : std::size_t(2 - header);
    const std::size_t dataBytes = header >= 0 ? count : 1;
    if (size - out.size() < count) {
      result.consumed = at;
      result.expected =
          "a packet of at most " + std::to_string(size - out.size()) + " bytes (the block's size)";
      return result;
    }
    if (available - at - 1 < dataBytes) {
      result.consumed = at;
      result.expected = std::to_string(dataBytes) + " bytes of packet data";
      return result;
    }
    if (header >= 0) {
      out.insert(out.end(), data + at + 1, data + at + 1 + count);
    } else {
      out.insert(out.end(), count, data[at + 1]);
    }
    at += 1 + dataBytes;
  }
  result.ok = true;
  result.consumed = at;
  return result;
}

}  // namespace labelview
