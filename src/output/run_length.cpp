#include "output/run_length.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace output {

namespace {

constexpr std::size_t kMaxLiteral = 128;
constexpr std::size_t kMaxRepeat = 130;
constexpr std::size_t kRunStart = 3;  // equal bytes that begin a run
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// The input is scanned eight bytes at a time, as little-endian words: byte k
// of a word is the byte at the lower address.
inline std::uint64_t LoadWord(const std::uint8_t* bytes) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "word loads assume little-endian");
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// Flags the zero bytes of a word. The lowest flag is always right; flags
// above it may be false, so only the lowest is ever used.
inline std::uint64_t ZeroBytes(std::uint64_t word) {
  return (word - kEveryByte) & ~word & kHighBits;
}

// The lowest nonzero byte of a nonzero word.
inline std::size_t LowestByte(std::uint64_t word) {
  return static_cast<std::size_t>(__builtin_ctzll(word) >> 3);
}

// The first k in [from, last] that begins three equal bytes, or kNone.
// last + 2 must be inside the input.
std::size_t FindRunStart(const std::uint8_t* bytes, std::size_t from, std::size_t last,
                         std::size_t length) {
  std::size_t k = from;
  for (; k <= last && k + 2 + sizeof(std::uint64_t) <= length; k += sizeof(std::uint64_t)) {
    const std::uint64_t a = LoadWord(bytes + k);
    const std::uint64_t b = LoadWord(bytes + k + 1);
    const std::uint64_t c = LoadWord(bytes + k + 2);
    if (const std::uint64_t flags = ZeroBytes((a ^ b) | (b ^ c))) {
      const std::size_t found = k + LowestByte(flags);
      return found <= last ? found : kNone;
    }
  }
  for (; k <= last; ++k) {
    if (bytes[k] == bytes[k + 1] && bytes[k + 1] == bytes[k + 2]) return k;
  }
  return kNone;
}

// The end of the run of bytes equal to bytes[from] that begins at from, at
// most at limit.
std::size_t FindRunEnd(const std::uint8_t* bytes, std::size_t from, std::size_t limit) {
  const std::uint8_t value = bytes[from];
  const std::uint64_t pattern = kEveryByte * value;
  std::size_t j = from;
  for (; j + sizeof(std::uint64_t) <= limit; j += sizeof(std::uint64_t)) {
    if (const std::uint64_t diff = LoadWord(bytes + j) ^ pattern) {
      return j + LowestByte(diff);
    }
  }
  while (j < limit && bytes[j] == value) ++j;
  return j;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> RunLengthEncode(const std::uint8_t* bytes,
                                                         std::size_t length) {
  if (bytes == nullptr || length == 0) return std::nullopt;
  std::vector<std::uint8_t> out;
  try {
    out.resize(length + length / kMaxLiteral + 2);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  std::uint8_t* put = out.data();
  auto putLiteral = [&put, bytes](std::size_t from, std::size_t count) {
    *put++ = static_cast<std::uint8_t>(count - 1);
    std::memcpy(put, bytes + from, count);
    put += count;
  };

  // Bytes go out as literals until three equal ones begin a run; a literal
  // packet that reaches 128 bytes is sent as it stands, and so is a run that
  // reaches 130.
  std::size_t start = 0;
  while (start < length) {
    const std::size_t window = std::min(kMaxLiteral, length - start);
    const std::size_t run = window >= kRunStart
                                ? FindRunStart(bytes, start, start + window - kRunStart, length)
                                : kNone;
    if (run == kNone) {
      putLiteral(start, window);
      start += window;
      continue;
    }
    if (run > start) putLiteral(start, run - start);
    const std::size_t end = FindRunEnd(bytes, run, std::min(run + kMaxRepeat, length));
    *put++ = static_cast<std::uint8_t>((2 - static_cast<int>(end - run)) & 0xFF);
    *put++ = bytes[run];
    start = end;
  }
  out.resize(static_cast<std::size_t>(put - out.data()));
  return out;
}

}  // namespace output
