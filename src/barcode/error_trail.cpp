#include "barcode/error_trail.h"

namespace barcode {

namespace {
ErrorTrail g_trail{};
int32_t g_readerLastError = 0;
}  // namespace

ErrorTrail& GetErrorTrail() { return g_trail; }

void ClearErrorTrail() { g_trail = ErrorTrail{}; }

void PushErrorTrail(int32_t a, int32_t b, int32_t c) {
  // Summed in 64 bits and wrapped, so a hostile site number cannot overflow.
  int64_t sum = static_cast<int64_t>(a) + b + c;
  int32_t value = (b == 0 && c == 0) ? a : static_cast<int32_t>(static_cast<uint32_t>(-sum));
  if (g_trail.count < 5) {
    g_trail.slots[g_trail.count++] = value;
    return;
  }
  for (int i = 0; i < 4; ++i) g_trail.slots[i] = g_trail.slots[i + 1];
  g_trail.slots[4] = value;
}

int32_t& ReaderLastError() { return g_readerLastError; }

}  // namespace barcode
