// Code 93 with its two check characters and full-ASCII shifts.
#include <cstring>

#include "barcode/linear_readers.h"

namespace barcode {

namespace {

const char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%abcd*";
// Nine modules per character, first module in bit 8 (bar = 1).
const uint16_t kPatterns[48] = {
    0x114, 0x148, 0x144, 0x142, 0x128, 0x124, 0x122, 0x150, 0x112, 0x10A, 0x1A8, 0x1A4,
    0x1A2, 0x194, 0x192, 0x18A, 0x168, 0x164, 0x162, 0x134, 0x11A, 0x158, 0x14C, 0x146,
    0x12C, 0x116, 0x1B4, 0x1B2, 0x1AC, 0x1A6, 0x196, 0x19A, 0x16C, 0x166, 0x136, 0x13A,
    0x12E, 0x1D4, 0x1D2, 0x1CA, 0x16E, 0x176, 0x1AE, 0x126, 0x1DA, 0x1D6, 0x132, 0x15E};
constexpr int kStar = 47;

// Six elements of one to four modules, nine in all.
int Classify(const uint32_t* e) {
  uint32_t total = 0;
  for (int k = 0; k < 6; ++k) total += e[k];
  if (total < 9) return -1;
  int pattern = 0, modules = 0;
  for (int k = 0; k < 6; ++k) {
    int m = static_cast<int>((e[k] * 18 + total) / (2 * total));  // rounded e * 9 / total
    if (m < 1 || m > 4) return -1;
    modules += m;
    for (int j = 0; j < m; ++j) pattern = (pattern << 1) | (k % 2 == 0 ? 1 : 0);
  }
  if (modules != 9) return -1;
  for (int c = 0; c < 48; ++c)
    if (kPatterns[c] == pattern) return c;
  return -1;
}

bool CheckHolds(const int* values, int n, int weightLimit) {
  int sum = 0;
  for (int k = n - 1, weight = 1; k >= 0; --k) {
    sum += values[k] * weight;
    if (++weight > weightLimit) weight = 1;
  }
  return sum % 47 == values[n];
}

// The full-ASCII character of a shift (a-d) and the letter after it, or 0
// when the pair means nothing (NUL counts as nothing: it would end the text).
char ShiftedCharacter(char shift, char next) {
  if (next < 'A' || next > 'Z') return 0;
  switch (shift) {
    case 'a':  // ($) control characters
      return static_cast<char>(next - 'A' + 1);
    case 'b':  // (%)
      if (next <= 'E') return static_cast<char>(next - 'A' + 0x1B);
      if (next <= 'J') return static_cast<char>(next - 'F' + ';');
      if (next <= 'O') return static_cast<char>(next - 'K' + '[');
      if (next <= 'T') return static_cast<char>(next - 'P' + '{');
      if (next == 'U') return 0;
      if (next == 'V') return '@';
      if (next == 'W') return '`';
      return 0x7F;
    case 'c':  // (/)
      if (next <= 'O') return static_cast<char>(next - 'A' + '!');
      return next == 'Z' ? ':' : 0;
    default:  // (+) lower case
      return static_cast<char>(next - 'A' + 'a');
  }
}

// Expands the shift pairs a-d in place. A pair that means nothing, or a
// shift with nothing after it, stays as read, so one odd pair does not cost
// the symbol.
void ExpandShifts(char* text) {
  size_t out = 0;
  for (size_t i = 0; text[i] != '\0'; ++i) {
    const char c = text[i];
    const char shifted = c >= 'a' && c <= 'd' ? ShiftedCharacter(c, text[i + 1]) : 0;
    if (shifted == 0) {
      text[out++] = c;
      continue;
    }
    text[out++] = shifted;
    ++i;
  }
  text[out] = '\0';
}

}  // namespace

int32_t ReadCode93(const RunList& runs, ReaderOutput* out, bool* found) {
  *found = false;
  const uint32_t* r = runs.runs;
  int start = -1;
  uint32_t startWidth = 0;
  for (int i = 2; i + 6 <= runs.count; i += 2) {
    if (Classify(r + i) != kStar) continue;
    uint32_t w = SumRuns(runs, i, i + 6);
    if (r[i - 1] > w / 2) {
      start = i;
      startWidth = w;
      break;
    }
  }
  if (start < 0) return 0;
  int values[kReaderTextSize];
  int n = 0, stop = -1;
  for (int i = start + 6;; i += 6) {
    if (i + 6 > runs.count) return 0;
    int c = Classify(r + i);
    if (c < 0) return 0;
    if (c == kStar) {
      stop = i;
      break;
    }
    if (n + 1 >= kReaderTextSize) return 0;
    values[n++] = c;
  }
  if (n < 3) return 0;  // at least one character and the two checks
  if (!CheckHolds(values, n - 2, 20) || !CheckHolds(values, n - 1, 15)) return 0;
  // Termination bar after the stop, then the quiet zone.
  const int afterStop = stop + 6;
  const uint32_t stopWidth = SumRuns(runs, stop, stop + 6);
  if (runs.count - afterStop > 2 && r[afterStop + 1] < stopWidth / 2) return 0;
  char second[kReaderTextSize];
  for (int k = 0; k < n; ++k) second[k] = kAlphabet[values[k]];
  second[n] = '\0';
  char text[kReaderTextSize];
  std::memcpy(text, second, n - 2);
  text[n - 2] = '\0';
  ExpandShifts(text);
  ExpandShifts(second);
  SetReaderText(out, "CODE_93", text, second);
  out->moduleSize = startWidth / 9.0;
  const uint32_t after = SumRuns(runs, afterStop, runs.count);
  const uint32_t light = afterStop + 1 < runs.count ? r[afterStop + 1] : 0;
  out->readerPosition = after - light + 2;
  *found = true;
  return 0;
}

}  // namespace barcode
