// The scan engine over a fixture page: binarised at the fixtures' threshold,
// every linear type wanted, results in a list of the engine's full size.
#pragma once

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

struct Scanner {
  std::unique_ptr<barcode::SymbolResult[]> items{new barcode::SymbolResult[barcode::kMaxResults]()};
  barcode::SymbolResultList list{0, items.get()};
  std::vector<uint8_t> bits;
  barcode::BinaryImage image{};
  explicit Scanner(const fixtures::Page& page) : bits(fixtures::Binarize(page)) {
    image = {uint32_t(page.width), uint32_t(page.width), uint32_t(page.height), 1, 8, bits.data()};
  }
  // Scans into `into` (the scanner's own list unless given another).
  int32_t Scan(int step = 1, barcode::SymbolResultList* into = nullptr) {
    barcode::ScanOptions o = LinearOptions();
    return barcode::ScanSymbols(&image, step, into != nullptr ? into : &list, &o);
  }
};

}  // namespace barcode_test
