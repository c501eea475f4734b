// The lookup from a pattern read back to its cluster and codeword (the
// patterns themselves are in the generated pdf417_table.cpp).
#include <algorithm>
#include <array>

#include "barcode/pdf417.h"

namespace barcode {

namespace {

struct Entry {
  uint32_t pattern;
  uint16_t value;  // cluster * 1000 + codeword
};

// Every pattern, sorted for the binary search; built on first use.
const std::array<Entry, 3 * 929>& SortedPatterns() {
  static const std::array<Entry, 3 * 929> sorted = [] {
    std::array<Entry, 3 * 929> all{};
    for (int c = 0; c < 3; ++c)
      for (int w = 0; w < 929; ++w)
        all[c * 929 + w] = Entry{kPdf417Patterns[c][w], static_cast<uint16_t>(c * 1000 + w)};
    std::sort(all.begin(), all.end(),
              [](const Entry& a, const Entry& b) { return a.pattern < b.pattern; });
    return all;
  }();
  return sorted;
}

}  // namespace

uint32_t Pdf417Pattern(int cluster, int codeword) {
  if (cluster < 0 || cluster > 2 || codeword < 0 || codeword > 928) return 0;
  return kPdf417Patterns[cluster][codeword];
}

int32_t Pdf417Lookup(uint32_t pattern, int* cluster) {
  const auto& sorted = SortedPatterns();
  auto it = std::lower_bound(sorted.begin(), sorted.end(), pattern,
                             [](const Entry& e, uint32_t p) { return e.pattern < p; });
  if (it == sorted.end() || it->pattern != pattern) return -1;
  *cluster = it->value / 1000;
  return it->value % 1000;
}

}  // namespace barcode
