// Scanning a test page with only the Han Xin group on.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "barcode/scan.h"

namespace hanxin_test {

struct Scan {
  std::unique_ptr<barcode::SymbolResult[]> items{new barcode::SymbolResult[barcode::kMaxResults]()};
  barcode::SymbolResultList list{0, items.get()};
  int32_t code = 0;
};

// Scans a one-byte page image (1 dark) of width x height; read symbols are
// erased from it.
inline Scan ScanHanXin(std::vector<uint8_t>* binary, int width, int height) {
  using namespace barcode;
  BinaryImage image{static_cast<uint32_t>(width), static_cast<uint32_t>(width),
                    static_cast<uint32_t>(height), 1, 8, binary->data()};
  Scan scan;
  ScanOptions options{};
  options.hanXin = 1;
  options.types[kHxCode] = 1;
  scan.code = ScanSymbols(&image, 1, &scan.list, &options);
  return scan;
}

}  // namespace hanxin_test
