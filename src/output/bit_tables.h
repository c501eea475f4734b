// Byte tables of the 1-bit turn: the bit reversal R and the seven
// shift-reverse tables T1..T7, Ts[lo + 256 * hi] = R[((hi >> s) | (lo << (8 - s))) & 0xFF]
// for two adjacent row bytes lo (earlier) and hi (later).
#pragma once

#include <cstddef>
#include <cstdint>

namespace output {

inline constexpr std::size_t kShiftReverseTableSize = 65536;

// R[b] is b with its bit order reversed.
const std::uint8_t* BitReversalTable();

// Ts for s = 1 .. 7; null for any other s (s = 8 needs only R). Built once on
// first use and constant afterwards.
const std::uint8_t* ShiftReverseTable(int s);

}  // namespace output
