// Codabar: start and stop characters A-D kept apart from the text.
#include <algorithm>

#include "barcode/linear_readers.h"

namespace barcode {

namespace {

const char kAlphabet[] = "0123456789-$:/.+ABCD";
// Seven elements, first element in bit 6.
const uint8_t kPatterns[20] = {0x03, 0x06, 0x09, 0x60, 0x12, 0x42, 0x21, 0x24, 0x30, 0x48,
                               0x0C, 0x18, 0x45, 0x51, 0x54, 0x15, 0x1A, 0x29, 0x0B, 0x0E};
constexpr int kFirstGuard = 16;

// Wide when above the midpoint of its kind; a kind whose spread is small
// (every element narrow, as the spaces of ":" or the bars of "A") has none.
double Threshold(uint32_t mx, uint32_t mn) {
  if (2 * mx < 3 * mn) return mx;
  return (mx + mn) / 2.0;
}

int Classify(const uint32_t* e) {
  uint32_t maxBar = 0, minBar = UINT32_MAX, maxSpace = 0, minSpace = UINT32_MAX;
  for (int k = 0; k < 7; k += 2) maxBar = std::max(maxBar, e[k]), minBar = std::min(minBar, e[k]);
  for (int k = 1; k < 7; k += 2)
    maxSpace = std::max(maxSpace, e[k]), minSpace = std::min(minSpace, e[k]);
  if (minBar == 0 || minSpace == 0) return -1;
  const double bar = Threshold(maxBar, minBar), space = Threshold(maxSpace, minSpace);
  int pattern = 0;
  for (int k = 0; k < 7; ++k) {
    bool wide = e[k] > ((k % 2 == 0) ? bar : space);
    pattern = (pattern << 1) | (wide ? 1 : 0);
  }
  for (int c = 0; c < 20; ++c)
    if (kPatterns[c] == pattern) return c;
  return -1;
}

}  // namespace

int32_t ReadCodabar(const RunList& runs, ReaderOutput* out, bool* found) {
  *found = false;
  const uint32_t* r = runs.runs;
  int start = -1, startChar = -1;
  uint32_t startWidth = 0;
  for (int i = 2; i + 7 <= runs.count; i += 2) {
    int c = Classify(r + i);
    if (c < kFirstGuard) continue;
    uint32_t w = SumRuns(runs, i, i + 7);
    if (r[i - 1] > w / 2) {
      start = i;
      startChar = c;
      startWidth = w;
      break;
    }
  }
  if (start < 0) return 0;
  char text[kReaderTextSize];
  size_t len = 0;
  int stopChar = -1, characters = 1;
  for (int i = start + 8; i + 7 <= runs.count; i += 8) {
    int c = Classify(r + i);
    if (c < 0) return 0;
    ++characters;
    if (c < kFirstGuard) {
      if (len + 1 >= sizeof(text)) return 0;
      text[len++] = kAlphabet[c];
      continue;
    }
    uint32_t w = SumRuns(runs, i, i + 7);
    if (w > 2 * startWidth || startWidth > 2 * w) return 0;
    const int following = runs.count - (i + 7);
    const uint32_t after = SumRuns(runs, i + 7, runs.count);
    if (!(following < 3 || after < w / 2 || r[i + 7] > w / 2)) return 0;
    stopChar = c;
    break;
  }
  if (stopChar < 0 || characters < 3) return 0;
  text[len] = '\0';
  SetReaderText(out, "CODABAR", text, text);
  out->codabarStart = static_cast<uint8_t>(kAlphabet[startChar]);
  out->codabarStop = static_cast<uint8_t>(kAlphabet[stopChar]);
  double narrowSum = 0;
  int narrowCount = 0;
  for (int k = 0; k < 7; ++k) {
    if (kPatterns[startChar] & (1 << (6 - k))) continue;
    narrowSum += r[start + k];
    ++narrowCount;
  }
  out->moduleSize = narrowSum / narrowCount;
  *found = true;
  return 0;
}

}  // namespace barcode
