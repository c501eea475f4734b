// Code 39 (ISO/IEC 16388), no check character, no full ASCII.
#include <algorithm>

#include "barcode/linear_readers.h"

namespace barcode {

namespace {

const char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. *$/+%";
// Wide/narrow pattern of nine elements, first element in bit 8.
const uint16_t kPatterns[44] = {0x034, 0x121, 0x061, 0x160, 0x031, 0x130, 0x070, 0x025, 0x124,
                                0x064, 0x109, 0x049, 0x148, 0x019, 0x118, 0x058, 0x00D, 0x10C,
                                0x04C, 0x01C, 0x103, 0x043, 0x142, 0x013, 0x112, 0x052, 0x007,
                                0x106, 0x046, 0x016, 0x181, 0x0C1, 0x1C0, 0x091, 0x190, 0x0D0,
                                0x085, 0x184, 0x0C4, 0x094, 0x0A8, 0x0A2, 0x08A, 0x02A};
constexpr int kStarIndex = 39;

// Character at runs[i .. i + 8], or -1.
int Classify(const uint32_t* e) {
  uint32_t maxBar = 0, minBar = UINT32_MAX, maxSpace = 0, minSpace = UINT32_MAX;
  for (int k = 0; k < 9; k += 2) maxBar = std::max(maxBar, e[k]), minBar = std::min(minBar, e[k]);
  for (int k = 1; k < 9; k += 2)
    maxSpace = std::max(maxSpace, e[k]), minSpace = std::min(minSpace, e[k]);
  if (minBar == 0 || minSpace == 0) return -1;
  const double spaceThreshold = (maxSpace + minSpace) / 2.0;
  int wideSpaces = 0;
  for (int k = 1; k < 9; k += 2) wideSpaces += e[k] > spaceThreshold;
  // With three wide spaces every bar is narrow ($ / + %), and the bars'
  // own spread is only noise or ink: they count as all narrow when the
  // widest is under 1.5 times the narrowest (a wide bar would be twice it).
  double barThreshold = (maxBar + minBar) / 2.0;
  if (wideSpaces == 3 && 2 * maxBar < 3 * minBar) barThreshold = maxBar;
  int pattern = 0;
  for (int k = 0; k < 9; ++k) {
    bool wide = (k % 2 == 0) ? e[k] > barThreshold : e[k] > spaceThreshold;
    pattern = (pattern << 1) | (wide ? 1 : 0);
  }
  for (int c = 0; c < 44; ++c)
    if (kPatterns[c] == pattern) return c;
  return -1;
}

}  // namespace

int32_t ReadCode39(const RunList& runs, ReaderOutput* out, bool* found) {
  *found = false;
  const uint32_t* r = runs.runs;
  int start = -1;
  uint32_t startWidth = 0;
  for (int i = 0; i + 9 <= runs.count; i += 2) {
    if (Classify(r + i) != kStarIndex) continue;
    uint32_t w = SumRuns(runs, i, i + 9);
    if (i == 0 || (i == 2 && r[0] == 0) || (i > 0 && r[i - 1] > w / 2)) {
      start = i;
      startWidth = w;
      break;
    }
  }
  if (start < 0) return 0;
  char text[kReaderTextSize];
  size_t len = 0;
  bool ended = false;
  for (int i = start + 10; i + 9 <= runs.count; i += 10) {
    int c = Classify(r + i);
    if (c < 0) return 0;
    if (c != kStarIndex) {
      if (len + 1 >= sizeof(text)) return 0;
      text[len++] = kAlphabet[c];
      continue;
    }
    uint32_t w = SumRuns(runs, i, i + 9);
    if (w > 2 * startWidth || startWidth > 2 * w) return 0;
    const int following = runs.count - (i + 9);
    const uint32_t after = SumRuns(runs, i + 9, runs.count);
    if (following < 3 || after < w / 2 || r[i + 9] > w / 2) {
      ended = true;
      break;
    }
  }
  if (!ended || len == 0) return 0;
  text[len] = '\0';
  SetReaderText(out, "CODE_39", text, text);
  // The start "*" is 010010100: its narrow elements are 0, 2, 3, 5, 7, 8.
  static const int kNarrow[6] = {0, 2, 3, 5, 7, 8};
  double module = 0;
  for (int k : kNarrow) module += r[start + k];
  out->moduleSize = module / 6;
  *found = true;
  return 0;
}

}  // namespace barcode
