// Any block, counts, first root and polynomial: CorrectCodewords answers 0 or
// -5, and a block it calls corrected is a codeword (a second call finds
// nothing to change).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "barcode/reed_solomon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::int32_t dataCount = static_cast<std::int8_t>(data[0]) * 2;
  const std::int32_t ecCount = static_cast<std::int8_t>(data[1]);
  const std::int32_t b = static_cast<std::int8_t>(data[2]);
  const std::int32_t polynomial = (data[3] & 1) ? 19 : 256 + data[4];
  std::vector<std::uint8_t> block(data + 5, data + size);
  block.resize(512, 0);
  const std::int32_t rc = barcode::CorrectCodewords(block.data(), dataCount, ecCount, b, polynomial);
  if (rc != 0 && rc != barcode::kBlockUncorrectable) std::abort();
  if (rc == 0) {
    const std::vector<std::uint8_t> corrected = block;
    if (barcode::CorrectCodewords(block.data(), dataCount, ecCount, b, polynomial) != 0 ||
        block != corrected)
      std::abort();
  }
  return 0;
}
