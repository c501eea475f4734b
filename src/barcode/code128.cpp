// Code 128 and GS1-128 (ISO/IEC 15417).
#include <cstring>

#include "barcode/linear_readers.h"

namespace barcode {

namespace {

// Element widths in modules of values 0-106; the stop's final bar is apart.
const char kPatterns[107][7] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "233111"};

constexpr int kStartA = 103, kStartB = 104, kStartC = 105, kStop = 106;
constexpr int kFnc1 = 102, kShift = 98, kCodeC = 99;

struct Table {
  int32_t all[107 * 6];
  Table() {
    for (int v = 0; v < 107; ++v)
      for (int e = 0; e < 6; ++e) all[v * 6 + e] = kPatterns[v][e] - '0';
  }
};
const Table& Patterns() {
  static const Table t;
  return t;
}

int Match(const uint32_t* runs, const int32_t* table, int count) {
  return BestPatternMatch(runs, table, count, 6, 11, 179, 64);
}

enum CodeSet { kSetA, kSetB, kSetC };

}  // namespace

int32_t ReadCode128(const RunList& runs, ReaderOutput* out, bool* found) {
  *found = false;
  const int32_t* table = Patterns().all;
  const uint32_t* r = runs.runs;
  int start = -1, startValue = -1;
  uint32_t startWidth = 0;
  for (int i = 0; i < runs.count - 6; i += 2) {
    int m = Match(r + i, table + kStartA * 6, 3);
    if (m < 0) continue;
    uint32_t w = SumRuns(runs, i, i + 6);
    if (i < 3 || r[i - 1] >= (5 * w) / 11) {
      start = i;
      startValue = kStartA + m;
      startWidth = w;
      break;
    }
  }
  if (start < 0) return 0;
  const uint32_t quiet = (5 * startWidth) / 11;

  char text[kReaderTextSize];
  size_t len = 0;
  CodeSet set = startValue == kStartA ? kSetA : (startValue == kStartB ? kSetB : kSetC);
  bool shifted = false, gs1 = false, lastWasData = false;
  int64_t sum = startValue;
  int position = 0, lastValue = -1;
  size_t lastRenderLen = 0;
  int i = start + 6;
  for (;; i += 6) {
    if (i + 6 > runs.count) return 0;
    int v = Match(r + i, table, 107);
    if (v < 0 || (v >= kStartA && v <= kStartC)) return 0;
    if (v == kStop) break;
    ++position;
    sum += static_cast<int64_t>(position) * v;
    lastValue = v;
    CodeSet current = shifted ? (set == kSetA ? kSetB : kSetA) : set;
    shifted = false;
    size_t before = len;
    if (len + 2 >= sizeof(text)) return 0;
    if (current == kSetC) {
      if (v < 100) {
        text[len++] = static_cast<char>('0' + v / 10);
        text[len++] = static_cast<char>('0' + v % 10);
      } else if (v == 100) {
        set = kSetB;
      } else if (v == 101) {
        set = kSetA;
      } else if (v == kFnc1 && len == 0) {
        gs1 = true;
      }
    } else {
      const bool isA = current == kSetA;
      if (v < 64 || (!isA && v < 96)) {
        text[len++] = static_cast<char>(v + 32);
      } else if (v == kShift) {
        shifted = true;
      } else if (v == kCodeC) {
        set = kSetC;
      } else if (isA && v == 100) {
        set = kSetB;
      } else if (!isA && v == 101) {
        set = kSetA;
      } else if (v == kFnc1 && len == 0) {
        gs1 = true;
      }
    }
    lastWasData = len > before;
    lastRenderLen = len - before;
  }
  if (lastValue < 0) return 0;
  const int stopIndex = i;
  if (stopIndex + 7 > runs.count) return 0;  // the stop's final bar
  // Check: every character but the stop, the check character at its place.
  int64_t check = (sum - static_cast<int64_t>(lastValue) * position) % 103;
  if (check != lastValue) return 0;
  const uint32_t after = SumRuns(runs, stopIndex + 7, runs.count);
  if (after > quiet && stopIndex + 7 < runs.count && r[stopIndex + 7] < quiet) return 0;
  text[len] = '\0';
  char second[kReaderTextSize];
  std::memcpy(second, text, len + 1);
  if (lastWasData) text[len - lastRenderLen] = '\0';
  if (text[0] == '\0') return 0;
  SetReaderText(out, gs1 ? "GS1_128" : "CODE_128", text, second);
  out->readerPosition = (runs.count - (stopIndex + 7) >= 2) ? after - quiet : 0;
  double module = 0;
  const int32_t* sp = table + startValue * 6;
  for (int e = 0; e < 6; ++e) module += static_cast<double>(r[start + e]) / sp[e];
  out->moduleSize = module / 6;
  *found = true;
  return 0;
}

}  // namespace barcode
