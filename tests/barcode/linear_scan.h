// The scan engine over fixture pages, binarised at the fixtures' threshold,
// with a result list of the engine's full size; and fixture module rows as
// the run lists the linear readers take.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "barcode/scan.h"
#include "support/barcode_fixtures.h"

namespace barcode_test {

inline barcode::ScanOptions LinearOptions() {
  barcode::ScanOptions o{};
  o.linear = 1;
  for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13}) o.types[t] = 1;
  return o;
}

// One group and its types switched on.
inline barcode::ScanOptions GroupOptions(uint8_t barcode::ScanOptions::*group,
                                         std::initializer_list<int> types) {
  barcode::ScanOptions o{};
  o.*group = 1;
  for (int t : types) o.types[t] = 1;
  return o;
}

struct Scanner {
  std::unique_ptr<barcode::SymbolResult[]> items{new barcode::SymbolResult[barcode::kMaxResults]()};
  barcode::SymbolResultList list{0, items.get()};
  std::vector<uint8_t> bits;
  barcode::BinaryImage image{};
  explicit Scanner(const fixtures::Page& page) : bits(fixtures::Binarize(page)) {
    image = {uint32_t(page.width), uint32_t(page.width), uint32_t(page.height), 1, 8, bits.data()};
  }
  // Scans into `into` (the scanner's own list unless given another).
  int32_t Scan(int step = 1, barcode::SymbolResultList* into = nullptr,
               barcode::ScanOptions o = LinearOptions()) {
    return barcode::ScanSymbols(&image, step, into != nullptr ? into : &list, &o);
  }
};

// The results of one scan that must succeed.
inline std::vector<barcode::SymbolResult> ScanPage(const fixtures::Page& page,
                                                   const barcode::ScanOptions& o, int step = 1) {
  Scanner s(page);
  EXPECT_EQ(s.Scan(step, nullptr, o), 0);
  return std::vector<barcode::SymbolResult>(s.items.get(), s.items.get() + s.list.count);
}

// Runs (dark first) of a module row drawn x pixels a module, with `before`
// and `after` light pixels around its bars (zint may end a row light).
inline std::vector<uint32_t> ModuleRuns(const std::vector<uint8_t>& modules, uint32_t x,
                                        uint32_t before, uint32_t after) {
  std::vector<uint32_t> runs{0, before};
  size_t end = modules.size();
  while (end > 0 && modules[end - 1] == 0) --end;
  for (size_t k = 0; k < end; ++k) {
    const uint8_t m = modules[k];
    if ((runs.size() % 2 == 1) != (m != 0)) runs.push_back(0);
    runs.back() += x;
  }
  if (runs.size() % 2 == 1) runs.push_back(0);
  runs.back() += after;
  if (before == 0) runs.erase(runs.begin(), runs.begin() + 2);
  return runs;
}

}  // namespace barcode_test
