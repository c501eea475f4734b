// The in-place 180-degree turn of a 1-bit image by table lookup: rows swap
// top for bottom and each row is mirrored a byte at a time.
#pragma once

#include <cstdint>

namespace output {

// s = 8 - (width mod 8) selects the shift-reverse table (ShiftReverseTable(s));
// for a width that is a multiple of 8 only the bit reversal table is used and
// shiftReverse may be null. The s padding bits of each mirrored row come out
// 0; bytes after the last pixel byte of a row keep their value. Returns false
// (and changes nothing) for a stride too small for the width, a missing table
// or no memory.
bool Turn180(std::uint8_t* pixels, std::uint32_t width, std::uint32_t stride, std::uint32_t rows,
             const std::uint8_t* shiftReverse, const std::uint8_t* bitReversal);

// The same with the tables picked for the width.
bool Turn180(std::uint8_t* pixels, std::uint32_t width, std::uint32_t stride, std::uint32_t rows);

}  // namespace output
