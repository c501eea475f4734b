// QrPostStage: pairs the confirmed finder points into symbols and reads
// each one from a crop around it.
#include <cmath>
#include <cstdio>

#include "barcode/error_trail.h"
#include "barcode/group_stages.h"
#include "barcode/qr.h"
#include "barcode/result_store.h"

namespace barcode {

namespace {

// A finder is 7 modules wide and its size measures the 3 of its centre.
constexpr double kFinderWidthPerSize = 7.0 / 3.0;

// Reads the symbol a triple frames. 0 when done with it (read or not), 1 when
// memory ran out.
int32_t ReadTriple(ScanContext* ctx, const FinderPoint* p[3], const FinderTriple& t,
                   SymbolResultList* results, bool* read) {
  *read = false;
  const double s = p[0]->size;
  const double side = 2 * (7.0 / 6.0) * s + t.leg;
  if (!std::isfinite(side) || side <= 0 || side > 4.0 * (ctx->image.width + ctx->image.height))
    return 0;
  const int32_t size = static_cast<int32_t>(side);
  const int64_t cropSide = static_cast<int64_t>(std::sqrt(2.0 * size * size));
  Buffer<uint8_t> pixels;
  BinaryImage crop{};
  int32_t ox = 0, oy = 0;
  bool outOfMemory = false;
  if (!CropImage(ctx->image, t.centreX, t.centreY, cropSide, &pixels, &crop, &ox, &oy,
                 &outOfMemory)) {
    if (!outOfMemory) return 0;
    PushErrorTrail(kCategoryMemory, kModuleScan, 125);
    return 1;
  }
  Buffer<ReaderOutput> out = AllocArray<ReaderOutput>(1);
  if (!out) {
    PushErrorTrail(kCategoryMemory, kModuleScan, 161);
    return 1;
  }
  double centres[3][2];
  for (int k = 0; k < 3; ++k) centres[k][0] = p[k]->x - ox, centres[k][1] = p[k]->y - oy;
  const int32_t code = ReadQr(crop, centres, s * kFinderWidthPerSize, out.get());
  if (code == 1) {
    PushErrorTrail(ReaderLastError(), 0, 0);
    PushErrorTrail(kCategoryStageFailed, kModuleScan, 163);
    PushErrorTrail(kCategoryMemory, kModuleScan, 127);
    return 1;
  }
  if (out[0].text[0] == '\0') return 0;
  const SymbolRect rect{static_cast<int32_t>(t.centreX), static_cast<int32_t>(t.centreY), size,
                        size};
  StoreResult(&ctx->image, results, kQrCode, out[0], rect, t.angle);
  *read = true;
  return 0;
}

}  // namespace

int32_t QrPostStage(ScanContext* ctx, SymbolResultList* results) {
  ObserveStage("qr", *ctx);
  FinderList& list = ctx->qrFinders;
  // Points of a decoded symbol are marked used in their own flag.
  const int32_t n = list.count;
  Buffer<uint8_t> used = AllocArray<uint8_t>(static_cast<size_t>(n));
  if (!used) {
    PushErrorTrail(kCategoryMemory, kModuleScan, 161);
    return 1;
  }
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = i + 1; j < n && !used[i]; ++j) {
      if (used[j]) continue;
      for (int32_t k = j + 1; k < n && !used[i] && !used[j]; ++k) {
        if (used[k]) continue;
        if (results->count >= kMaxResults) return 0;
        const FinderPoint* p[3] = {&list.items[i], &list.items[j], &list.items[k]};
        FinderTriple t;
        if (!TestFinderTriple(*p[0], *p[1], *p[2], &t)) continue;
        bool read = false;
        if (ReadTriple(ctx, p, t, results, &read) != 0) return 1;
        if (read) used[i] = used[j] = used[k] = 1;
      }
    }
  return 0;
}

}  // namespace barcode
