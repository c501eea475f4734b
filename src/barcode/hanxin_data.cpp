// Han Xin data stage: the corrected data codewords as a bit stream of mode
// segments, each opened by a 4-bit indicator, turned into GB 18030 bytes.
//
//   0001 numeric     10 bits per three digits; 1021/1022/1023 end the mode,
//                    saying the last group held 1, 2 or 3 digits
//   0010 text        6 bits a character in two sets; 62 swaps the set,
//                    63 ends the mode
//   0011 binary      13-bit byte count, then the bytes
//   0100 region 1    12 bits a GB 2312 character of rows B0-D7, A1-A3 and
//                    A8 A1-C0; 4094 swaps to region 2, 4095 ends the mode
//   0101 region 2    12 bits a character of rows D8-F7; 4094 swaps back
//   0110 double-byte 15 bits a GB 18030 two-byte character; 32767 ends
//   0111 four-byte   21 bits, one GB 18030 four-byte character
//   0000             end of data
// Anything else, or a segment cut off by the end of the data, is refused
// whole: a half character never reaches the text.
#include <cstring>
#include <initializer_list>

#include "barcode/error_trail.h"
#include "barcode/hanxin.h"
#include "barcode/reed_solomon.h"

namespace barcode {

namespace {

constexpr int32_t kInvalid = -3;
constexpr int32_t kInvalidModeData = -40104501;
constexpr int kRowChars = 94;            // characters in a GB 2312 row
constexpr uint32_t kRegion1Rows = 0xEB0;  // 40 rows B0-D7
constexpr uint32_t kRegion1Symbols = 0xFCA;  // then 3 rows A1-A3
constexpr uint32_t kRegion1End = 0xFEA;      // then A8 A1-C0
constexpr uint32_t kRegion2End = 32 * kRowChars;  // rows D8-F7
constexpr uint32_t kSwapRegion = 0xFFE, kEndRegion = 0xFFF;
constexpr uint32_t kTrailBytes = 0xBE;  // second bytes 40-7E and 80-FE
constexpr uint32_t kEndDoubleByte = 0x7FFF;
constexpr uint32_t kFourByteSpan = 10 * 126 * 10;

struct Bits {
  const uint8_t* data;
  int64_t total, pos = 0;
  int64_t Left() const { return total - pos; }
  // Next n bits, most significant first; false when the data ends first.
  bool Read(int n, uint32_t* v) {
    if (Left() < n) return false;
    uint32_t r = 0;
    for (int i = 0; i < n; ++i, ++pos) r = (r << 1) | ((data[pos >> 3] >> (7 - (pos & 7))) & 1);
    *v = r;
    return true;
  }
};

struct Text {
  char* out;
  int32_t capacity, length = 0;
  bool Put(uint32_t byte) {
    if (length + 1 >= capacity) return false;
    out[length++] = static_cast<char>(byte);
    return true;
  }
  bool Put2(uint32_t a, uint32_t b) { return Put(a) && Put(b); }
};

char TextChar(bool second, uint32_t v) {
  if (!second) {
    if (v < 10) return static_cast<char>('0' + v);
    if (v < 36) return static_cast<char>('A' + v - 10);
    return static_cast<char>('a' + v - 36);
  }
  // Controls, then the punctuation between the letters and digits.
  static const struct {
    uint32_t from, first;
  } kRanges[] = {{0, 0x00}, {28, 0x20}, {44, 0x3A}, {51, 0x5B}, {57, 0x7B}};
  int r = 4;
  while (v < kRanges[r].from) --r;
  return static_cast<char>(kRanges[r].first + v - kRanges[r].from);
}

bool Numeric(Bits* bits, Text* text) {
  uint32_t group = 0, v;
  bool have = false;
  while (bits->Read(10, &v)) {
    if (v >= 1021) {
      if (!have) return false;
      const int digits = static_cast<int>(v - 1020);
      if (digits < 3 && group >= (digits == 1 ? 10u : 100u)) return false;
      char s[3];
      for (int i = digits - 1; i >= 0; --i, group /= 10) s[i] = static_cast<char>('0' + group % 10);
      for (int i = 0; i < digits; ++i)
        if (!text->Put(static_cast<uint8_t>(s[i]))) return false;
      return true;
    }
    if (v > 999) return false;
    if (have) {
      const uint32_t digits[3] = {group / 100, group / 10 % 10, group % 10};
      for (uint32_t d : digits)
        if (!text->Put('0' + d)) return false;
    }
    group = v, have = true;
  }
  return false;
}

bool TextMode(Bits* bits, Text* text) {
  bool second = false;
  uint32_t v;
  while (bits->Read(6, &v)) {
    if (v == 63) return true;
    if (v == 62) {
      second = !second;
      continue;
    }
    if (!text->Put(static_cast<uint8_t>(TextChar(second, v)))) return false;
  }
  return false;
}

bool Binary(Bits* bits, Text* text) {
  uint32_t count, v;
  if (!bits->Read(13, &count) || bits->Left() < static_cast<int64_t>(count) * 8) return false;
  for (uint32_t i = 0; i < count; ++i)
    if (!bits->Read(8, &v) || !text->Put(v)) return false;
  return true;
}

bool Region(Bits* bits, Text* text, bool second) {
  uint32_t v;
  while (bits->Read(12, &v)) {
    if (v == kEndRegion) return true;
    if (v == kSwapRegion) {
      second = !second;
      continue;
    }
    bool ok;
    if (second) {
      ok = v < kRegion2End && text->Put2(0xD8 + v / kRowChars, 0xA1 + v % kRowChars);
    } else if (v < kRegion1Rows) {
      ok = text->Put2(0xB0 + v / kRowChars, 0xA1 + v % kRowChars);
    } else if (v < kRegion1Symbols) {
      const uint32_t w = v - kRegion1Rows;
      ok = text->Put2(0xA1 + w / kRowChars, 0xA1 + w % kRowChars);
    } else {
      ok = v < kRegion1End && text->Put2(0xA8, 0xA1 + (v - kRegion1Symbols));
    }
    if (!ok) return false;
  }
  return false;
}

bool DoubleByte(Bits* bits, Text* text) {
  uint32_t v;
  while (bits->Read(15, &v)) {
    if (v == kEndDoubleByte) return true;
    const uint32_t lead = 0x81 + v / kTrailBytes, r = v % kTrailBytes;
    if (lead > 0xFE || !text->Put2(lead, r < 0x3F ? 0x40 + r : 0x41 + r)) return false;
  }
  return false;
}

bool FourByte(Bits* bits, Text* text) {
  uint32_t v;
  if (!bits->Read(21, &v)) return false;
  const uint32_t first = v / kFourByteSpan, rest = v % kFourByteSpan;
  if (first > 0xFE - 0x81) return false;
  return text->Put2(0x81 + first, 0x30 + rest / 1260) &&
         text->Put2(0x81 + rest % 1260 / 10, 0x30 + rest % 10);
}

}  // namespace

int32_t DecodeHanXinData(const uint8_t* codewords, int32_t count, char* out, int32_t capacity,
                         int32_t* length) {
  *length = 0;
  if (capacity <= 0) return kInvalid;
  out[0] = '\0';
  if (codewords == nullptr || count < 0) return kInvalid;
  Bits bits{codewords, static_cast<int64_t>(count) * 8};
  Text text{out, capacity};
  uint32_t mode;
  while (bits.Read(4, &mode) && mode != 0) {
    bool ok;
    switch (mode) {
      case 1: ok = Numeric(&bits, &text); break;
      case 2: ok = TextMode(&bits, &text); break;
      case 3: ok = Binary(&bits, &text); break;
      case 4: ok = Region(&bits, &text, false); break;
      case 5: ok = Region(&bits, &text, true); break;
      case 6: ok = DoubleByte(&bits, &text); break;
      case 7: ok = FourByte(&bits, &text); break;
      default: ok = false; break;
    }
    if (!ok) {
      out[0] = '\0';
      ReaderLastError() = kInvalidModeData;
      return kInvalid;
    }
  }
  out[text.length] = '\0';
  *length = text.length;
  return 0;
}

}  // namespace barcode

namespace barcode {

int32_t DecodeHanXinFunctionInfo(const uint8_t first[7], const uint8_t second[7], int* version,
                                 int* level, int* mask) {
  constexpr int32_t kUnreadable = -6;
  constexpr int32_t kVersionTooLarge = -40104313;
  uint8_t symbols[7];
  bool corrected = false;
  for (const uint8_t* copy : {first, second}) {
    for (int i = 0; i < 7; ++i) symbols[i] = copy[i] & 0x0F;
    if (CorrectCodewords(symbols, 3, 4, 1, kPolynomialGf16) == 0) {
      corrected = true;
      break;
    }
  }
  if (!corrected) return kUnreadable;
  const int v = symbols[0] * 16 + symbols[1] - 20;
  if (v >= 85) {
    ReaderLastError() = kVersionTooLarge;
    return kUnreadable;
  }
  if (v < 1) return kUnreadable;
  *version = v;
  *level = (symbols[2] / 4) & 3;
  *mask = symbols[2] & 3;
  return 0;
}

}  // namespace barcode
