#include <algorithm>
#include <cstring>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/linear_readers.h"

namespace barcode {

int32_t ReaderPatternVariance(const uint32_t* runs, int n, const int32_t* pattern, int modules,
                              int maxIndividual) {
  int64_t total = 0;
  for (int i = 0; i < n; ++i) total += runs[i];
  if (modules <= 0 || total < modules || total > (int64_t{1} << 22)) return 65536;
  int64_t unit = (total * 256) / modules;
  int64_t limit = (maxIndividual * unit) / 256;
  int64_t sum = 0;
  for (int i = 0; i < n; ++i) {
    int64_t v = static_cast<int64_t>(runs[i]) * 256 - pattern[i] * unit;
    if (v < 0) v = -v;
    if (v > limit) return 65536;
    sum += v;
  }
  return static_cast<int32_t>(sum / total);
}

int BestPatternMatch(const uint32_t* runs, const int32_t* table, int count, int n, int modules,
                     int maxIndividual, int limit) {
  int best = -1;
  int32_t bestScore = limit;
  for (int k = 0; k < count; ++k) {
    int32_t score = ReaderPatternVariance(runs, n, table + k * n, modules, maxIndividual);
    if (score < bestScore) {
      bestScore = score;
      best = k;
    }
  }
  return best;
}

int FindGuardPattern(const RunList& runs, const int32_t* pattern, int n, int from) {
  int modules = 0;
  for (int i = 0; i < n; ++i) modules += pattern[i];
  if (from < 0) from = 0;
  if (from % 2) ++from;
  for (int i = from; i + n <= runs.count; i += 2) {
    if (ReaderPatternVariance(runs.runs + i, n, pattern, modules, 180) < 256) return i + n;
  }
  return -1;
}

uint32_t SumRuns(const RunList& runs, int from, int to) {
  uint32_t sum = 0;
  if (from < 0) from = 0;
  for (int i = from; i < to && i < runs.count; ++i) sum += runs.runs[i];
  return sum;
}

void SetReaderText(ReaderOutput* out, const char* name, const char* text, const char* second) {
  std::strncpy(out->name, name, kReaderNameSize - 1);
  std::strncpy(out->text, text, kReaderTextSize - 1);
  std::strncpy(out->secondText, second, kReaderTextSize - 1);
}

namespace {

// One strip row as runs; light is luminance above half.
void RowRuns(const BinaryImage& strip, uint32_t y, bool reversed, RunList* list) {
  const uint8_t* row = strip.pixels + static_cast<size_t>(y) * strip.stride;
  const uint32_t w = strip.width;
  int32_t count = 0;
  bool dark = true;
  uint32_t len = 0;
  for (uint32_t k = 0; k < w; ++k) {
    uint32_t x = reversed ? w - 1 - k : k;
    bool light;
    if (strip.channels >= 3) {
      const uint8_t* p = row + static_cast<size_t>(x) * strip.channels;
      light = 77u * p[0] + 150u * p[1] + 29u * p[2] > 32768u;
    } else {
      light = row[x] > 128;
    }
    if (light == !dark) {
      ++len;
    } else {
      list->runs[count++] = len;
      len = 1;
      dark = !dark;
    }
  }
  list->runs[count++] = len;
  list->count = count;
}

}  // namespace

void LinearStripRows(int32_t height, int32_t rows[5]) {
  const int32_t u = height / 5, middle = height / 2;
  const int32_t order[5] = {middle, middle + u, middle - u, middle + 2 * u, middle - 2 * u};
  std::copy(order, order + 5, rows);
}

int32_t ReadLinearStrip(const BinaryImage& strip, ReaderOutput* out, const uint8_t* typeFlags,
                        bool* found) {
  *found = false;
  if (strip.pixels == nullptr || strip.width == 0 || strip.height == 0) return 0;
  Buffer<uint32_t> runs = AllocArray<uint32_t>(static_cast<size_t>(strip.width) + 2);
  if (!runs) {
    ReaderLastError() = -10102001;
    return 1;
  }
  RunList list{0, runs.get()};
  struct Entry {
    LinearReader read;
    bool on;
  };
  auto on = [&](int t) { return typeFlags[t] == 1; };
  const Entry readers[] = {
      {ReadCode39, on(kCode39)},
      {ReadItf, on(kItf)},
      {ReadCode128, on(kCode128) || on(kGs1_128)},
      {ReadEanUpc, on(kUpcA) || on(kUpcE) || on(kEan8) || on(kEan13)},
      {ReadCodabar, on(kCodabar)},
      {ReadCode93, on(kCode93)},
  };
  const int32_t h = static_cast<int32_t>(strip.height);
  int32_t rows[5];
  LinearStripRows(h, rows);
  for (int32_t y : rows) {
    if (y < 0 || y >= h) continue;
    for (int pass = 0; pass < 2; ++pass) {
      RowRuns(strip, static_cast<uint32_t>(y), pass == 1, &list);
      for (const Entry& e : readers) {
        if (!e.on) continue;
        bool read = false;
        int32_t code = e.read(list, out, &read);
        if (code != 0) return code;
        if (read) {
          out->orientation = pass == 0 ? kLeftToRight : kReversed;
          *found = true;
          return 0;
        }
      }
    }
  }
  return 0;
}

}  // namespace barcode
