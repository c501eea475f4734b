#include "barcode/result_store.h"

#include <cstring>

namespace barcode {

namespace {
// The reader's text may lack its terminator; the copy never does.
void CopyText(char* to, const char* from) {
  const void* end = std::memchr(from, '\0', kReaderTextSize);
  const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - from)
                            : static_cast<size_t>(kReaderTextSize);
  std::memcpy(to, from, length);
  to[length] = '\0';
}
}  // namespace

SymbolResult* StoreResult(BinaryImage* image, SymbolResultList* results, uint32_t type,
                          const ReaderOutput& out, const SymbolRect& rect, double angleDegrees,
                          Erase erase) {
  if (results->count < 0 || results->count >= kMaxResults) return nullptr;
  SymbolResult& res = results->items[results->count];
  std::memset(&res, 0, sizeof(res));
  res.centreX = rect.centreX;
  res.centreY = rect.centreY;
  res.width = rect.width;
  res.height = rect.height;
  res.angle = angleDegrees;
  res.type = type;
  static_assert(kReaderTextSize < kResultTextSize, "reader texts fit the result");
  CopyText(res.text, out.text);
  CopyText(res.secondText, out.secondText);
  res.codabarStart = out.codabarStart;
  res.codabarStop = out.codabarStop;
  res.moduleSize = out.moduleSize;
  res.readerPosition = out.readerPosition;
  ++results->count;
  if (erase == Erase::kYes) EraseSymbolArea(image, rect, angleDegrees);
  return &res;
}

}  // namespace barcode
