#include <cstring>

#include "barcode/scan.h"

namespace barcode {

SymbolType SymbolTypeFromName(const char* name) {
  if (name == nullptr) return kUnknown;
  struct Entry {
    const char* name;
    SymbolType type;
  };
  // Compared in this order; the first equal name decides.
  static const Entry kNames[] = {
      {"AZTEC", kUnsupported},
      {"CODABAR", kCodabar},
      {"CODE_39", kCode39},
      {"CODE_93", kCode93},
      {"CODE_128", kCode128},
      {"DATA_MATRIX", kUnsupported},
      {"EAN_8", kEan8},
      {"EAN_13", kEan13},
      {"ITF", kItf},
      {"MAXICODE", kUnsupported},
      {"PDF_417", kUnsupported},
      {"QR_CODE", kQrCode},
      {"RSS_14", kUnsupported},
      {"RSS_EXPANDED", kUnsupported},
      {"UPC_A", kUpcA},
      {"UPC_E", kUpcE},
      {"UPC_EAN_EXTENSION", kUnsupported},
      {"GS1_128", kGs1_128},
      {"DATAMATRIX", kDataMatrix},
  };
  for (const Entry& e : kNames) {
    if (std::strcmp(name, e.name) == 0) return e.type;
  }
  return kUnknown;
}

int32_t PatternVariance(const uint32_t* runs, int n, const int32_t* pattern, int modules,
                        int maxVariance) {
  int32_t total = 0;
  for (int i = 0; i < n; ++i) total += static_cast<int32_t>(runs[i]);
  if (modules <= 0 || total < modules) return 65536;
  int32_t unit = (total * 256) / modules;
  int32_t limit = (maxVariance * unit) / 256;
  int32_t sum = 0;
  for (int i = 0; i < n; ++i) {
    int32_t v = static_cast<int32_t>(runs[i]) * 256 - pattern[i] * unit;
    if (v < 0) v = -v;
    if (v > limit) return 65536;
    sum += v;
  }
  return static_cast<int32_t>((static_cast<int64_t>(sum) * modules) / total);
}

}  // namespace barcode
